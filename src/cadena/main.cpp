// lumaro-cadena: checks a simulated chain of stores on one machine.
//
//   lumaro-cadena verificar DIR1 DIR2 ... [--espejo HOST:PUERTO:USUARIO:CLAVE:BASE]
//                 [--principal DIR]
//       every store must hold exactly the rows the other stores sent (MDB_enviadas), as the
//       merge rules leave them; with --espejo, the MySQL mirror must hold exactly the
//       principal store's rows of the mirrored tables. Exit 0 when all agrees, 1 when not,
//       2 on bad arguments or unreadable input.
//
//   lumaro-cadena estado CFG [--json] [--html ARCHIVO] [--dias-tarde N]
//       per store, the latest day sent to the FTP exchange folder of the settings file CFG,
//       the days since and its size; see cadena/Estado.h for the exit codes.
//
//   lumaro-cadena --help | --version
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

#include "cadena/Estado.h"
#include "cadena/Verificar.h"

namespace {

constexpr char kUsoVerificar[] =
    "uso: lumaro-cadena verificar DIR1 DIR2 ... [--espejo HOST:PUERTO:USUARIO:CLAVE:BASE] "
    "[--principal DIR]";

constexpr char kAyuda[] =
    "uso: lumaro-cadena verificar DIR1 DIR2 ... [--espejo HOST:PUERTO:USUARIO:CLAVE:BASE]\n"
    "                   [--principal DIR]\n"
    "     lumaro-cadena estado CFG [--json] [--html ARCHIVO] [--dias-tarde N]\n"
    "     lumaro-cadena --help | --version\n"
    "\n"
    "Ordenes:\n"
    "  verificar  cada tienda (carpeta de programa DIR) debe tener exactamente las filas que\n"
    "             las demas enviaron, como las dejan las reglas de fusion; con --espejo, el\n"
    "             espejo MySQL debe tener las filas del local principal (--principal DIR, o\n"
    "             el que su tabla Local marca)\n"
    "  estado     por tienda, el ultimo dia enviado a la carpeta de intercambio del FTP que\n"
    "             nombra el archivo de configuracion CFG, los dias de retraso y su tamano;\n"
    "             --json lo da en JSON, --html escribe ademas un informe de una pagina\n"
    "             (con CorreoCentral en [Correo] de CFG, el informe va ademas por correo a\n"
    "             esa direccion cuando alguna tienda va tarde)\n"
    "\n"
    "Estado de salida de verificar: 0 todo coincide; 1 no coincide; 2 linea de ordenes mal\n"
    "escrita o una entrada que no se puede leer.\n"
    "Estado de salida de estado: 0 ninguna tienda tiene mas de N dias de retraso (2 por\n"
    "defecto); 1 alguna los tiene; 2 linea de ordenes mal escrita; 3 el servidor no se puede\n"
    "leer o el informe no se puede escribir.\n"
    "\n"
    "Ejemplos:\n"
    "  lumaro-cadena verificar tienda1 tienda2 tienda3 --principal tienda1\n"
    "  lumaro-cadena estado /var/lib/lumaro-sync/lumaro-sync.cfg --html informe.html\n";

int malUso(const QString& problema, const char* uso) {
    std::fprintf(stderr, "lumaro-cadena: %s\n%s\n", problema.toLocal8Bit().constData(), uso);
    return lumaro::cadena::kEntradaMala;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return malUso(QStringLiteral("falta la orden (verificar o estado)"), kUsoVerificar);
    const QString orden = args.takeFirst();
    if (orden == QLatin1String("--help") || orden == QLatin1String("-h")) {
        std::fputs(kAyuda, stdout);
        return 0;
    }
    if (orden == QLatin1String("--version") || orden == QLatin1String("-v")) {
        std::printf("lumaro-cadena %s\n", LUMARO_VERSION);
        return 0;
    }
    QTextStream out(stdout), err(stderr);
    if (orden == QLatin1String("estado")) return lumaro::cadena::estado(args, out, err);
    if (orden != QLatin1String("verificar"))
        return malUso(QStringLiteral("orden desconocida \"%1\" (verificar o estado)").arg(orden),
                      kUsoVerificar);
    lumaro::cadena::Opciones o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--espejo") || args[i] == QLatin1String("--principal")) {
            if (i + 1 >= args.size())
                return malUso(args[i] + QStringLiteral(" necesita un valor"), kUsoVerificar);
            // The value is read after the option's name is: an assignment evaluates its right
            // side first.
            QString& destino = args[i] == QLatin1String("--espejo") ? o.espejo : o.principal;
            destino = args[++i];
        } else if (args[i].startsWith(QLatin1String("--"))) {
            return malUso(QStringLiteral("opcion desconocida: ") + args[i], kUsoVerificar);
        } else {
            o.carpetas << args[i];
        }
    }
    if (o.carpetas.isEmpty())
        return malUso(QStringLiteral("faltan las carpetas de las tiendas (DIR1 DIR2 ...)"),
                      kUsoVerificar);
    return lumaro::cadena::verificar(o, out, err);
}
