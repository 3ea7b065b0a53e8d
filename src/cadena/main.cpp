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
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

#include "cadena/Estado.h"
#include "cadena/Verificar.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("estado")) {
        QTextStream out(stdout), err(stderr);
        return lumaro::cadena::estado(args.mid(1), out, err);
    }
    lumaro::cadena::Opciones o;
    bool ok = !args.isEmpty() && args.takeFirst() == QLatin1String("verificar");
    for (qsizetype i = 0; ok && i < args.size(); ++i) {
        if (args[i] == QLatin1String("--espejo") || args[i] == QLatin1String("--principal")) {
            ok = i + 1 < args.size();
            // The value is read after the option's name is: an assignment evaluates its right
            // side first.
            QString& destino = args[i] == QLatin1String("--espejo") ? o.espejo : o.principal;
            if (ok) destino = args[++i];
        } else {
            o.carpetas << args[i];
        }
    }
    if (!ok || o.carpetas.isEmpty()) {
        std::fprintf(stderr,
                     "uso: lumaro-cadena verificar DIR1 DIR2 ... "
                     "[--espejo HOST:PUERTO:USUARIO:CLAVE:BASE] [--principal DIR]\n%s\n",
                     lumaro::cadena::kUsoEstado);
        return lumaro::cadena::kEntradaMala;
    }
    QTextStream out(stdout), err(stderr);
    return lumaro::cadena::verificar(o, out, err);
}
