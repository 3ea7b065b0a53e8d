// lumaro-db: the installer's and the demo's database tool.
//
//   lumaro-db ledger-crear RUTA
//       creates the ledger (an SQLite file with table TablasFTP) when it does not exist.
//   lumaro-db ledger-iniciar RUTA IDLOCAL DD/MM/AAAA
//       records that downloads of that store start on that day (the day before is recorded
//       as downloaded and merged). A store with no recorded download is never fetched.
//   lumaro-db demo CLIENTE.db LOGISTICA.db IDLOCAL CLIENTES [--locales N] [--semilla S]
//                  [--cfg RUTA.cfg] [--hoy DD/MM/AAAA]
//       creates the embedded client and logistics databases of a store, filled with
//       generated rows (change dates relative to --hoy, the clock's day by default); with
//       --cfg, also points that settings file at them.
//   lumaro-db actividad CLIENTE.db LOGISTICA.db IDLOCAL DD/MM/AAAA [--filas N] [--semilla S]
//       writes one day of the store's activity into its existing databases (ActividadDemo.h).
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "db/Ledger.h"
#include "db/tool/ActividadDemo.h"
#include "db/tool/DemoDatabases.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "uso:\n"
                 "  lumaro-db ledger-crear RUTA\n"
                 "  lumaro-db ledger-iniciar RUTA IDLOCAL DD/MM/AAAA\n"
                 "  lumaro-db demo CLIENTE.db LOGISTICA.db IDLOCAL CLIENTES [--locales N] "
                 "[--semilla S] [--cfg RUTA.cfg] [--hoy DD/MM/AAAA]\n"
                 "  lumaro-db actividad CLIENTE.db LOGISTICA.db IDLOCAL DD/MM/AAAA [--filas N] "
                 "[--semilla S]\n");
    return 2;
}

int fail(const QString& message) {
    std::fprintf(stderr, "lumaro-db: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// The ledger calls work on <program folder>/Seguridad.mdb: point the program folder at RUTA.
bool useLedgerAt(const QString& path) {
    const QFileInfo info(path);
    if (info.fileName().compare(QLatin1String("Seguridad.mdb"), Qt::CaseInsensitive) != 0)
        return false;
    lumaro::config::setProgramFolder(info.absolutePath());
    return true;
}

int ledgerCrear(const QStringList& a) {
    if (a.size() != 1) return usage();
    QString error;
    if (!lumaro::db::crearLedger(a[0], &error)) return fail(error);
    return 0;
}

int ledgerIniciar(const QStringList& a) {
    if (a.size() != 3) return usage();
    if (!useLedgerAt(a[0])) return fail(QStringLiteral("el ledger debe llamarse Seguridad.mdb"));
    if (!lumaro::db::esNumeroEntero(a[1]))
        return fail(QStringLiteral("IDLOCAL no es un numero: ") + a[1]);
    const QDate desde = QDate::fromString(a[2], QStringLiteral("dd/MM/yyyy"));
    if (!desde.isValid()) return fail(QStringLiteral("fecha no valida: ") + a[2]);
    const QDate previo = desde.addDays(-1);
    if (!lumaro::db::registrarDescarga(a[1], previo, QStringLiteral("1")) ||
        !lumaro::db::registrarSync(a[1], previo, QStringLiteral("1"), 2))
        return fail(QStringLiteral("no se pudo registrar (ver el log en ") +
                    lumaro::config::programFolder() + u')');
    return 0;
}

int demo(const QStringList& a) {
    if (a.size() < 4) return usage();
    lumaro::db::tool::DemoOptions o;
    o.clientePath = QFileInfo(a[0]).absoluteFilePath();
    o.logisticaPath = QFileInfo(a[1]).absoluteFilePath();
    bool ok1 = false, ok2 = false;
    o.idLocal = a[2].toInt(&ok1);
    o.clientes = a[3].toInt(&ok2);
    if (!ok1 || !ok2) return usage();
    QString cfg;
    for (int i = 4; i + 1 < a.size(); i += 2) {
        bool ok = false;
        if (a[i] == QLatin1String("--locales"))
            o.locales = a[i + 1].toInt(&ok);
        else if (a[i] == QLatin1String("--semilla"))
            o.semilla = a[i + 1].toUInt(&ok);
        else if (a[i] == QLatin1String("--cfg"))
            cfg = a[i + 1], ok = true;
        else if (a[i] == QLatin1String("--hoy"))
            o.hoy = QDate::fromString(a[i + 1], QStringLiteral("dd/MM/yyyy")), ok = o.hoy.isValid();
        if (!ok) return usage();
    }
    if (a.size() % 2 != 0) return usage();
    QString error;
    if (!lumaro::db::tool::crearBasesDemo(o, &error)) return fail(error);
    if (!cfg.isEmpty() && !lumaro::db::tool::escribirConexionesDemo(cfg, o, &error))
        return fail(error);
    return 0;
}

int actividad(const QStringList& a) {
    if (a.size() < 4 || a.size() % 2 != 0) return usage();
    lumaro::db::tool::ActividadOptions o;
    o.clientePath = QFileInfo(a[0]).absoluteFilePath();
    o.logisticaPath = QFileInfo(a[1]).absoluteFilePath();
    bool ok = false;
    o.idLocal = a[2].toInt(&ok);
    o.dia = QDate::fromString(a[3], QStringLiteral("dd/MM/yyyy"));
    if (!ok || !o.dia.isValid()) return usage();
    for (int i = 4; i + 1 < a.size(); i += 2) {
        ok = false;
        if (a[i] == QLatin1String("--filas"))
            o.filas = a[i + 1].toInt(&ok);
        else if (a[i] == QLatin1String("--semilla"))
            o.semilla = a[i + 1].toUInt(&ok);
        if (!ok) return usage();
    }
    QString error;
    if (!lumaro::db::tool::generarActividad(o, &error)) return fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return usage();
    const QString command = args.takeFirst();
    if (command == QLatin1String("ledger-crear")) return ledgerCrear(args);
    if (command == QLatin1String("ledger-iniciar")) return ledgerIniciar(args);
    if (command == QLatin1String("demo")) return demo(args);
    if (command == QLatin1String("actividad")) return actividad(args);
    return usage();
}
