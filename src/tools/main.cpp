// lumaro-db: the installer's and the demo's database tool.
//
//   lumaro-db ledger-crear RUTA
//       creates the ledger (an SQLite file with table TablasFTP) when it does not exist.
//   lumaro-db ledger-iniciar RUTA IDLOCAL[,IDLOCAL...] DD/MM/AAAA
//       records that downloads of that store start on that day (the day before is recorded
//       as downloaded and merged), a day from 01/01/2000 to today. A store with no recorded
//       download is never fetched.
//   lumaro-db ledger-migrar RUTA
//       converts the Jet ledger of the program a store moves over from into our ledger,
//       keeping the original as RUTA.jet (see db/LedgerMigracion.h).
//   lumaro-db ledger-informe RUTA [--desde DD/MM/AAAA] [--local N] [--csv]
//       per store and day: downloaded, merged, not found, no row (gaps), and the snapshots
//       waiting in MDB_descargadas or set aside in Error beside the ledger. Reads only. A row
//       that cannot be read is reported and left out.
//   lumaro-db demo CLIENTE.db LOGISTICA.db IDLOCAL CLIENTES [--locales N] [--semilla S]
//                  [--cfg RUTA.cfg] [--hoy DD/MM/AAAA]
//       creates the embedded client and logistics databases of a store, filled with
//       generated rows (change dates relative to --hoy, the clock's day by default); with
//       --cfg, also writes a settings file that runs as it stands (escribirConfiguracionDemo).
//   lumaro-db actividad CLIENTE.db LOGISTICA.db IDLOCAL DD/MM/AAAA [--filas N] [--semilla S]
//       writes one day of the store's activity into its existing databases (ActividadDemo.h).
//   lumaro-db espejo-esquema BASE
//       prints the statements that create the MySQL mirror's tables in database BASE (a plain
//       name: letters, digits, "_" and "$", at most 64).
//
// Paths are relative to the current folder. The ledger commands write their log lines next to
// the ledger. A command that changes something says what it did in one line on standard
// output. Exit status: 0 done, 1 failed, 2 a mistake in the command line (named on standard
// error). --help prints kOrdenes and kDescripcion.
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <utility>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "ledger/InformeLedger.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerMigracion.h"
#include "tools/ActividadDemo.h"
#include "tools/DemoDatabases.h"
#include "tools/EsquemaEspejo.h"

namespace {

struct Orden {
    const char* nombre;
    const char* uso;  // the arguments after the name
    const char* ejemplo;
};

const Orden kOrdenes[] = {
    {"ledger-crear", "RUTA", "lumaro-db ledger-crear /var/lib/lumaro-sync/Seguridad.mdb"},
    {"ledger-iniciar", "RUTA IDLOCAL[,IDLOCAL...] DD/MM/AAAA",
     "lumaro-db ledger-iniciar /var/lib/lumaro-sync/Seguridad.mdb 3 01/12/2026"},
    {"ledger-migrar", "RUTA", "lumaro-db ledger-migrar /var/lib/lumaro-sync/Seguridad.mdb"},
    {"ledger-informe", "RUTA [--desde DD/MM/AAAA] [--local N] [--csv]",
     "lumaro-db ledger-informe Seguridad.mdb --desde 01/12/2026 --local 3"},
    {"demo",
     "CLIENTE.db LOGISTICA.db IDLOCAL CLIENTES [--locales N] [--semilla S] [--cfg RUTA.cfg] "
     "[--hoy DD/MM/AAAA]",
     "lumaro-db demo cliente.db logistica.db 1 50 --cfg lumaro-sync.cfg"},
    {"actividad", "CLIENTE.db LOGISTICA.db IDLOCAL DD/MM/AAAA [--filas N] [--semilla S]",
     "lumaro-db actividad cliente.db logistica.db 1 07/12/2026 --filas 200"},
    {"espejo-esquema", "BASE", "lumaro-db espejo-esquema lumaro_espejo"},
};

constexpr char kDescripcion[] =
    "Herramienta del instalador y de la demostracion: crea y consulta el ledger de\n"
    "transferencias (Seguridad.mdb) y crea bases embebidas de demostracion.\n"
    "\n"
    "  ledger-crear     crea el ledger si no existe (uno existente no se toca)\n"
    "  ledger-iniciar   las descargas de la tienda IDLOCAL (o de varias: 2,3,4) empiezan ese\n"
    "                   dia (de 01/01/2000 a hoy); una tienda sin descarga registrada no se\n"
    "                   pide nunca\n"
    "  ledger-migrar    convierte el ledger Jet del programa anterior; el original queda\n"
    "                   como RUTA.jet\n"
    "  ledger-informe   por tienda y dia: descargado, fusionado, no encontrado, sin fila\n"
    "  demo             crea las bases cliente y logistica embebidas con filas generadas; con\n"
    "                   --cfg escribe un archivo de configuracion que funciona tal cual\n"
    "  actividad        escribe un dia de actividad de la tienda en sus bases\n"
    "  espejo-esquema   imprime las sentencias que crean las tablas del espejo MySQL\n"
    "\n"
    "Las rutas son relativas a la carpeta actual. Las ordenes del ledger escriben su registro\n"
    "junto al ledger.\n"
    "\n"
    "Estado de salida: 0 hecho; 1 fallo (la causa en la salida de errores); 2 linea de ordenes\n"
    "mal escrita.\n";

void ayuda() {
    std::printf("uso: lumaro-db ORDEN ARGUMENTOS\n     lumaro-db --help | --version\n\n");
    std::printf("Ordenes:\n");
    for (const Orden& o : kOrdenes) std::printf("  %s %s\n", o.nombre, o.uso);
    std::printf("\n%s\nEjemplos:\n", kDescripcion);
    for (const Orden& o : kOrdenes) std::printf("  %s\n", o.ejemplo);
}

int fail(const QString& message, int status = 1) {
    std::fprintf(stderr, "lumaro-db: %s\n", message.toLocal8Bit().constData());
    return status;
}

// A mistake in the command line, with what was wrong and the command's usage.
int refuse(const QString& message) { return fail(message, 2); }

int usoDe(const char* nombre, const QString& problema) {
    for (const Orden& o : kOrdenes)
        if (qstrcmp(o.nombre, nombre) == 0)
            return refuse(problema + QStringLiteral("\nuso: lumaro-db %1 %2")
                                         .arg(QLatin1String(o.nombre), QLatin1String(o.uso)));
    return refuse(problema);
}

// Refuses a command given the wrong number of arguments; true when it was.
bool cuentaMal(const char* nombre, const QStringList& a, qsizetype esperados, int* status) {
    if (a.size() == esperados) return false;
    *status = usoDe(nombre, QStringLiteral("%1 espera %2 argumento(s), recibio %3")
                                .arg(QLatin1String(nombre))
                                .arg(esperados)
                                .arg(a.size()));
    return true;
}

// Says on standard output what a command did.
void hecho(const QString& linea) { std::printf("%s\n", linea.toLocal8Bit().constData()); }

// The ledger file named on the command line, from the current folder. The program folder (where
// the ledger calls look for Seguridad.mdb and the log is written) becomes the ledger's folder.
QString ledgerAt(const QString& path) {
    const QFileInfo info(path);
    lumaro::config::setProgramFolder(info.absolutePath());
    return info.absoluteFilePath();
}

QString seeLog() {
    return QStringLiteral(" (ver el log ") +
           lumaro::config::logPath(lumaro::config::Clock::today()) + u')';
}

int ledgerCrear(const QStringList& a) {
    int status = 0;
    if (cuentaMal("ledger-crear", a, 1, &status)) return status;
    const QString ruta = ledgerAt(a[0]);
    const bool existia = QFileInfo::exists(ruta);
    QString error;
    if (!lumaro::ledger::crearLedger(ruta, &error)) return fail(error);
    hecho(existia ? QStringLiteral("El ledger %1 ya existia; se deja como estaba").arg(ruta)
                  : QStringLiteral("Ledger creado: %1").arg(ruta));
    return 0;
}

int ledgerIniciar(const QStringList& a) {
    int status = 0;
    if (cuentaMal("ledger-iniciar", a, 3, &status)) return status;
    const QString ruta = ledgerAt(a[0]);
    if (QFileInfo(ruta).fileName().compare(QLatin1String("Seguridad.mdb"), Qt::CaseInsensitive))
        return refuse(QStringLiteral("el ledger debe llamarse Seguridad.mdb: ") + ruta);
    // Several stores at once ("2,3,4"): a chain's set-up registers every other store.
    const QStringList locales = a[1].split(u',');
    for (const QString& local : locales)
        if (!lumaro::ledger::idLocalValido(local))
            return refuse(QStringLiteral("IDLOCAL no es un numero mayor que cero: ") + local);
    const QDate desde = QDate::fromString(a[2], QStringLiteral("dd/MM/yyyy"));
    if (!desde.isValid()) return refuse(QStringLiteral("fecha no valida (DD/MM/AAAA): ") + a[2]);
    // A day outside these bounds would keep the store from ever being fetched.
    const QDate hoy = lumaro::config::Clock::today();
    if (desde < QDate(2000, 1, 1) || desde > hoy)
        return refuse(QStringLiteral("la fecha ") + a[2] +
                      QStringLiteral(" debe estar entre el 01/01/2000 y hoy (") +
                      hoy.toString(QStringLiteral("dd/MM/yyyy")) + u')');
    const QDate previo = desde.addDays(-1);
    for (const QString& local : locales) {
        if (!lumaro::ledger::registrarDescarga(local, previo, QStringLiteral("1")) ||
            !lumaro::ledger::registrarSync(local, previo, QStringLiteral("1"), 2))
            return fail(QStringLiteral("no se pudo registrar en ") + ruta + seeLog());
        hecho(QStringLiteral("Local %1: las descargas empiezan el %2 (registrado en %3)")
                  .arg(local.trimmed(), a[2], ruta));
    }
    return 0;
}

void print(const QStringList& lines) {
    for (const QString& line : lines) std::printf("%s\n", line.toLocal8Bit().constData());
}

int ledgerMigrar(const QStringList& a) {
    int status = 0;
    if (cuentaMal("ledger-migrar", a, 1, &status)) return status;
    const QString ruta = QFileInfo(a[0]).absoluteFilePath();
    switch (lumaro::ledger::tipoArchivoLedger(ruta)) {
        case lumaro::ledger::TipoArchivoLedger::NoExiste:
            return fail(QStringLiteral("no existe el archivo ") + ruta);
        case lumaro::ledger::TipoArchivoLedger::Sqlite:
            print({ruta + QStringLiteral(" ya es un ledger SQLite; no hay nada que convertir")});
            return 0;
        case lumaro::ledger::TipoArchivoLedger::Otro:
            return fail(ruta + QStringLiteral(" no es un ledger (ni Jet ni SQLite)"));
        case lumaro::ledger::TipoArchivoLedger::Jet:
            break;
    }
    // Any line the ledger calls log goes to the program folder the ledger belongs to.
    lumaro::config::setProgramFolder(QFileInfo(ruta).absolutePath());
    const lumaro::ledger::MigracionLedger m = lumaro::ledger::migrarLedger(ruta);
    if (m.estado != lumaro::ledger::MigracionLedger::Estado::Convertido) return fail(m.mensaje);
    lumaro::config::EscribirLog(m.mensaje);
    print({m.mensaje});
    return 0;
}

int ledgerInforme(const QStringList& a) {
    if (a.isEmpty()) return usoDe("ledger-informe", QStringLiteral("falta RUTA, el ledger"));
    lumaro::ledger::FiltroInforme filtro;
    bool csv = false;
    for (int i = 1; i < a.size(); ++i) {
        const bool conValor = a[i] == QLatin1String("--desde") || a[i] == QLatin1String("--local");
        if (conValor && i + 1 >= a.size())
            return usoDe("ledger-informe", a[i] + QStringLiteral(" necesita un valor"));
        if (a[i] == QLatin1String("--csv")) {
            csv = true;
        } else if (a[i] == QLatin1String("--desde")) {
            filtro.desde = QDate::fromString(a[++i], QStringLiteral("dd/MM/yyyy"));
            if (!filtro.desde.isValid())
                return refuse(QStringLiteral("fecha no valida (DD/MM/AAAA): ") + a[i]);
        } else if (a[i] == QLatin1String("--local")) {
            if (!lumaro::db::esNumeroEntero(a[++i]))
                return refuse(QStringLiteral("IDLOCAL no es un numero: ") + a[i]);
            filtro.local = a[i].trimmed().toLongLong();
        } else {
            return usoDe("ledger-informe", QStringLiteral("argumento inesperado: ") + a[i]);
        }
    }
    const QString ruta = ledgerAt(a[0]);
    QString error;
    const auto informe = lumaro::ledger::leerInforme(ruta, filtro, &error);
    if (!informe) return fail(ruta + QStringLiteral(": ") + error);
    print(csv ? lumaro::ledger::lineasCsv(*informe) : lumaro::ledger::lineasTexto(*informe));
    for (const QString& mala : informe->filasMalas)
        fail(ruta + QStringLiteral(": fila no valida, se omite: ") + mala);
    return 0;
}

// Reads "--name value" options after the positional arguments into `leer`; the name of a
// mistake (unknown option, missing or bad value) in *error.
template <typename Leer>
bool opciones(const QStringList& a, qsizetype desde, Leer leer, QString* error) {
    for (qsizetype i = desde; i < a.size(); i += 2) {
        if (i + 1 >= a.size()) {
            *error = a[i].startsWith(QLatin1String("--"))
                         ? a[i] + QStringLiteral(" necesita un valor")
                         : QStringLiteral("argumento inesperado: ") + a[i];
            return false;
        }
        const std::optional<bool> ok = leer(a[i], a[i + 1]);
        if (!ok) {
            *error = QStringLiteral("opcion desconocida: ") + a[i];
            return false;
        }
        if (!*ok) {
            *error = QStringLiteral("valor no valido para %1: %2").arg(a[i], a[i + 1]);
            return false;
        }
    }
    return true;
}

int demo(const QStringList& a) {
    if (a.size() < 4)
        return usoDe("demo",
                     QStringLiteral("demo espera al menos 4 argumentos, recibio %1").arg(a.size()));
    lumaro::tools::DemoOptions o;
    o.clientePath = QFileInfo(a[0]).absoluteFilePath();
    o.logisticaPath = QFileInfo(a[1]).absoluteFilePath();
    bool ok1 = false, ok2 = false;
    o.idLocal = a[2].toInt(&ok1);
    o.clientes = a[3].toInt(&ok2);
    if (!ok1 || o.idLocal <= 0)
        return refuse(QStringLiteral("IDLOCAL no es un numero mayor que cero: ") + a[2]);
    if (!ok2 || o.clientes < 0)
        return refuse(QStringLiteral("CLIENTES no es un numero (0 o mas): ") + a[3]);
    QString cfg, error;
    const auto leer = [&](const QString& n, const QString& v) -> std::optional<bool> {
        bool ok = false;
        if (n == QLatin1String("--locales"))
            o.locales = v.toInt(&ok);
        else if (n == QLatin1String("--semilla"))
            o.semilla = v.toUInt(&ok);
        else if (n == QLatin1String("--cfg"))
            cfg = v, ok = !v.isEmpty();
        else if (n == QLatin1String("--hoy"))
            o.hoy = QDate::fromString(v, QStringLiteral("dd/MM/yyyy")), ok = o.hoy.isValid();
        else
            return std::nullopt;
        return ok;
    };
    if (!opciones(a, 4, leer, &error)) return usoDe("demo", error);
    if (!lumaro::tools::crearBasesDemo(o, &error)) return fail(error);
    if (!cfg.isEmpty() && !lumaro::tools::escribirConfiguracionDemo(cfg, o, &error))
        return fail(error);
    hecho(QStringLiteral("Bases de demostracion del local %1 creadas (%2 clientes, %3 locales): "
                         "%4 y %5%6")
              .arg(o.idLocal)
              .arg(o.clientes)
              .arg(o.locales)
              .arg(o.clientePath, o.logisticaPath,
                   cfg.isEmpty() ? QString()
                                 : QStringLiteral("; configuracion en ") +
                                       QFileInfo(cfg).absoluteFilePath()));
    return 0;
}

int actividad(const QStringList& a) {
    if (a.size() < 4)
        return usoDe(
            "actividad",
            QStringLiteral("actividad espera al menos 4 argumentos, recibio %1").arg(a.size()));
    lumaro::tools::ActividadOptions o;
    o.clientePath = QFileInfo(a[0]).absoluteFilePath();
    o.logisticaPath = QFileInfo(a[1]).absoluteFilePath();
    bool ok = false;
    o.idLocal = a[2].toInt(&ok);
    if (!ok || o.idLocal <= 0)
        return refuse(QStringLiteral("IDLOCAL no es un numero mayor que cero: ") + a[2]);
    o.dia = QDate::fromString(a[3], QStringLiteral("dd/MM/yyyy"));
    if (!o.dia.isValid()) return refuse(QStringLiteral("fecha no valida (DD/MM/AAAA): ") + a[3]);
    QString error;
    const auto leer = [&](const QString& n, const QString& v) -> std::optional<bool> {
        bool ok = false;
        if (n == QLatin1String("--filas"))
            o.filas = v.toInt(&ok);
        else if (n == QLatin1String("--semilla"))
            o.semilla = v.toUInt(&ok);
        else
            return std::nullopt;
        return ok;
    };
    if (!opciones(a, 4, leer, &error)) return usoDe("actividad", error);
    if (!lumaro::tools::generarActividad(o, &error)) return fail(error);
    hecho(QStringLiteral("Actividad del local %1 del %2 escrita en %3 y %4")
              .arg(o.idLocal)
              .arg(a[3], o.clientePath, o.logisticaPath));
    return 0;
}

int espejoEsquema(const QStringList& a) {
    int status = 0;
    if (cuentaMal("espejo-esquema", a, 1, &status)) return status;
    // The name goes into the statements as it is.
    static const QRegularExpression nombre(QStringLiteral("^[A-Za-z0-9_$]{1,64}$"));
    if (!nombre.match(a[0]).hasMatch())
        return refuse(QStringLiteral("nombre de base no valido (solo letras, digitos, _ y "
                                     "$; de 1 a 64): '") +
                      a[0] + u'\'');
    std::printf("%s\n", lumaro::tools::esquemaEspejo(a[0]).toUtf8().constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return refuse(QStringLiteral("falta la orden (lumaro-db --help la explica)"));
    const QString command = args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        ayuda();
        return 0;
    }
    if (command == QLatin1String("--version") || command == QLatin1String("-v")) {
        std::printf("lumaro-db %s\n", LUMARO_VERSION);
        return 0;
    }
    using Ejecutar = int (*)(const QStringList&);
    const std::pair<const char*, Ejecutar> ordenes[] = {{"ledger-crear", ledgerCrear},
                                                        {"ledger-iniciar", ledgerIniciar},
                                                        {"ledger-migrar", ledgerMigrar},
                                                        {"ledger-informe", ledgerInforme},
                                                        {"demo", demo},
                                                        {"actividad", actividad},
                                                        {"espejo-esquema", espejoEsquema}};
    for (const auto& [nombre, ejecutar] : ordenes)
        if (command == QLatin1String(nombre)) return ejecutar(args);
    return refuse(
        QStringLiteral("orden desconocida: \"%1\" (lumaro-db --help las lista)").arg(command));
}
