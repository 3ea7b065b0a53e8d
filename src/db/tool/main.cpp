// lumaro-db: the installer's and the demo's database tool.
//
//   lumaro-db ledger-crear RUTA
//       creates the ledger (an SQLite file with table TablasFTP) when it does not exist.
//   lumaro-db ledger-iniciar RUTA IDLOCAL DD/MM/AAAA
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
//       --cfg, also points that settings file at them.
//   lumaro-db actividad CLIENTE.db LOGISTICA.db IDLOCAL DD/MM/AAAA [--filas N] [--semilla S]
//       writes one day of the store's activity into its existing databases (ActividadDemo.h).
//   lumaro-db espejo-esquema BASE
//       prints the statements that create the MySQL mirror's tables in database BASE (a plain
//       name: letters, digits, "_" and "$", at most 64).
//
// Paths are relative to the current folder. The ledger commands write their log lines next to
// the ledger. Exit status: 0 done, 1 failed, 2 a mistake in the command line.
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <cstdio>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "db/InformeLedger.h"
#include "db/Ledger.h"
#include "db/LedgerMigracion.h"
#include "db/tool/ActividadDemo.h"
#include "db/tool/DemoDatabases.h"
#include "db/tool/EsquemaEspejo.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "uso:\n"
                 "  lumaro-db ledger-crear RUTA\n"
                 "  lumaro-db ledger-iniciar RUTA IDLOCAL DD/MM/AAAA\n"
                 "  lumaro-db ledger-migrar RUTA\n"
                 "  lumaro-db ledger-informe RUTA [--desde DD/MM/AAAA] [--local N] [--csv]\n"
                 "  lumaro-db demo CLIENTE.db LOGISTICA.db IDLOCAL CLIENTES [--locales N] "
                 "[--semilla S] [--cfg RUTA.cfg] [--hoy DD/MM/AAAA]\n"
                 "  lumaro-db actividad CLIENTE.db LOGISTICA.db IDLOCAL DD/MM/AAAA [--filas N] "
                 "[--semilla S]\n"
                 "  lumaro-db espejo-esquema BASE\n");
    return 2;
}

int fail(const QString& message, int status = 1) {
    std::fprintf(stderr, "lumaro-db: %s\n", message.toLocal8Bit().constData());
    return status;
}

// A mistake in the command line, with what was wrong.
int refuse(const QString& message) { return fail(message, 2); }

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
    if (a.size() != 1) return usage();
    QString error;
    if (!lumaro::db::crearLedger(ledgerAt(a[0]), &error)) return fail(error);
    return 0;
}

int ledgerIniciar(const QStringList& a) {
    if (a.size() != 3) return usage();
    const QString ruta = ledgerAt(a[0]);
    if (QFileInfo(ruta).fileName().compare(QLatin1String("Seguridad.mdb"), Qt::CaseInsensitive))
        return refuse(QStringLiteral("el ledger debe llamarse Seguridad.mdb: ") + ruta);
    if (!lumaro::db::idLocalValido(a[1]))
        return refuse(QStringLiteral("IDLOCAL no es un numero mayor que cero: ") + a[1]);
    const QDate desde = QDate::fromString(a[2], QStringLiteral("dd/MM/yyyy"));
    if (!desde.isValid()) return refuse(QStringLiteral("fecha no valida (DD/MM/AAAA): ") + a[2]);
    // A day outside these bounds would keep the store from ever being fetched.
    const QDate hoy = lumaro::config::Clock::today();
    if (desde < QDate(2000, 1, 1) || desde > hoy)
        return refuse(QStringLiteral("la fecha ") + a[2] +
                      QStringLiteral(" debe estar entre el 01/01/2000 y hoy (") +
                      hoy.toString(QStringLiteral("dd/MM/yyyy")) + u')');
    const QDate previo = desde.addDays(-1);
    if (!lumaro::db::registrarDescarga(a[1], previo, QStringLiteral("1")) ||
        !lumaro::db::registrarSync(a[1], previo, QStringLiteral("1"), 2))
        return fail(QStringLiteral("no se pudo registrar en ") + ruta + seeLog());
    return 0;
}

void print(const QStringList& lines) {
    for (const QString& line : lines) std::printf("%s\n", line.toLocal8Bit().constData());
}

int ledgerMigrar(const QStringList& a) {
    if (a.size() != 1) return usage();
    const QString ruta = QFileInfo(a[0]).absoluteFilePath();
    switch (lumaro::db::tipoArchivoLedger(ruta)) {
        case lumaro::db::TipoArchivoLedger::NoExiste:
            return fail(QStringLiteral("no existe el archivo ") + ruta);
        case lumaro::db::TipoArchivoLedger::Sqlite:
            print({ruta + QStringLiteral(" ya es un ledger SQLite; no hay nada que convertir")});
            return 0;
        case lumaro::db::TipoArchivoLedger::Otro:
            return fail(ruta + QStringLiteral(" no es un ledger (ni Jet ni SQLite)"));
        case lumaro::db::TipoArchivoLedger::Jet:
            break;
    }
    // Any line the ledger calls log goes to the program folder the ledger belongs to.
    lumaro::config::setProgramFolder(QFileInfo(ruta).absolutePath());
    const lumaro::db::MigracionLedger m = lumaro::db::migrarLedger(ruta);
    if (m.estado != lumaro::db::MigracionLedger::Estado::Convertido) return fail(m.mensaje);
    lumaro::config::EscribirLog(m.mensaje);
    print({m.mensaje});
    return 0;
}

int ledgerInforme(const QStringList& a) {
    if (a.isEmpty()) return usage();
    lumaro::db::FiltroInforme filtro;
    bool csv = false;
    for (int i = 1; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--csv")) {
            csv = true;
        } else if (i + 1 < a.size() && a[i] == QLatin1String("--desde")) {
            filtro.desde = QDate::fromString(a[++i], QStringLiteral("dd/MM/yyyy"));
            if (!filtro.desde.isValid())
                return refuse(QStringLiteral("fecha no valida (DD/MM/AAAA): ") + a[i]);
        } else if (i + 1 < a.size() && a[i] == QLatin1String("--local")) {
            if (!lumaro::db::esNumeroEntero(a[++i]))
                return refuse(QStringLiteral("IDLOCAL no es un numero: ") + a[i]);
            filtro.local = a[i].trimmed().toLongLong();
        } else {
            return usage();
        }
    }
    const QString ruta = ledgerAt(a[0]);
    QString error;
    const auto informe = lumaro::db::leerInforme(ruta, filtro, &error);
    if (!informe) return fail(ruta + QStringLiteral(": ") + error);
    print(csv ? lumaro::db::lineasCsv(*informe) : lumaro::db::lineasTexto(*informe));
    for (const QString& mala : informe->filasMalas)
        fail(ruta + QStringLiteral(": fila no valida, se omite: ") + mala);
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
    if (command == QLatin1String("ledger-migrar")) return ledgerMigrar(args);
    if (command == QLatin1String("ledger-informe")) return ledgerInforme(args);
    if (command == QLatin1String("demo")) return demo(args);
    if (command == QLatin1String("actividad")) return actividad(args);
    if (command == QLatin1String("espejo-esquema") && args.size() == 1) {
        // The name goes into the statements as it is.
        static const QRegularExpression nombre(QStringLiteral("^[A-Za-z0-9_$]{1,64}$"));
        if (!nombre.match(args[0]).hasMatch())
            return refuse(QStringLiteral("nombre de base no valido (solo letras, digitos, _ y "
                                         "$; de 1 a 64): '") +
                          args[0] + u'\'');
        std::printf("%s\n", lumaro::db::tool::esquemaEspejo(args[0]).toUtf8().constData());
        return 0;
    }
    return usage();
}
