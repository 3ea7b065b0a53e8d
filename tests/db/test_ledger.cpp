// The transfer ledger on a real SQLite Seguridad.mdb in a temporary program folder; converting
// the older program's Jet ledger (each layout, damage, interruption); the report; the
// installer's command-line tool, run as a process.

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>

#include "DbFixture.h"
#include "JetLedger.h"
#include "ledger/InformeLedger.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerMigracion.h"

using namespace lumaro::db;
using namespace lumaro::ledger;
using lumaro::jet::ColumnType;
using lumaro::testing::DbFixture;
using lumaro::testing::escribirJetLedger;
using lumaro::testing::filasLedger;
using lumaro::testing::TiposLedger;
using Estado = UltimaDescarga::Estado;

namespace {

// The stored rows as "idLocal|fecha|iDescargaOK|iSincronizacionOK", by store and day.
QStringList rows() {
    return filasLedger(rutaLedger(),
                       "select idLocal, fecha, iDescargaOK, iSincronizacionOK "
                       "from TablasFTP order by idLocal, fecha");
}

class Ledger : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        QString error;
        ASSERT_TRUE(crearLedger(rutaLedger(), &error)) << error.toStdString();
    }
    const QDate d4{2026, 12, 4};
};

// One row per store and day, whatever the time of day stored in it.
TEST_F(Ledger, RegistrationsReplaceTheDayAndKeepOtherStores) {
    ASSERT_EQ(
        filasLedger(rutaLedger(), "insert into TablasFTP values (2, '2026/12/04 15:30:00', 1, 0)"),
        QStringList());
    ASSERT_TRUE(registrarDescarga("3", d4, "1"));
    EXPECT_EQ(getUltimaDescarga("2").fecha, d4);
    ASSERT_TRUE(registrarSync("2", d4, "1", 2));
    EXPECT_EQ(rows(), QStringList({"2|2026/12/04 15:30:00|1|1", "3|2026/12/04 00:00:00|1|0"}));
    ASSERT_TRUE(registrarDescarga("2", d4, "0"));  // again: replaces, merged flag back to 0
    // Other modes and days without a row change nothing and are no failure.
    EXPECT_TRUE(registrarSync("2", d4, "1", 1));
    EXPECT_TRUE(registrarSync("2", d4.addDays(-9), "1", 2));
    EXPECT_EQ(rows(), QStringList({"2|2026/12/04 00:00:00|0|0", "3|2026/12/04 00:00:00|1|0"}));
    EXPECT_EQ(logCount("registrarDescarga=sSQL[Insert into TablasFTP values (3, '2026/12/04 "
                       "00:00:00', 1, 0)]"),
              1);
    EXPECT_EQ(logCount("registrarSync=sSQL[Update TablasFTP set iSincronizacionOK = 1 where "
                       "idLocal=2 and year(fecha)=2026 and month(fecha)=12 and day(fecha)=4]"),
              1);
}

// A ledger error is never a date (the download run skips the store, not fetching 31/12/1899).
TEST_F(Ledger, ErrorsAreReportedNotTurnedIntoDates) {
    ASSERT_EQ(filasLedger(rutaLedger(), "drop table TablasFTP"), QStringList());
    EXPECT_EQ(getUltimaDescarga("2").estado, Estado::Error);
    EXPECT_FALSE(registrarDescarga("2", d4, "1"));
    EXPECT_EQ(logCount("Verificar [sSQL=select count(*) as i_qx from TablasFTP where "
                       "year(fecha)=2026 and month(fecha)=12 and day(fecha)=4 and idLocal = 2].D="),
              1);

    ASSERT_TRUE(QFile::remove(rutaLedger()));
    const UltimaDescarga u = getUltimaDescarga("2");
    EXPECT_EQ(u.estado, Estado::Error);
    EXPECT_FALSE(u.ok());
    EXPECT_FALSE(u.fecha.isValid());
    EXPECT_FALSE(registrarDescarga("2", d4, "1"));
    EXPECT_FALSE(registrarSync("2", d4, "1", 2));
    EXPECT_FALSE(listarPendientes("1").has_value());
    EXPECT_FALSE(QFileInfo::exists(rutaLedger()));  // the program never creates the ledger
    const std::pair<QString, int> lines[] = {
        {"getUltimaDescarga - Error: ", 2},
        {"Error Al Registrar Descarga. MDB Seguridad Local - Verificar [sSQL=].D=", 1},
        {"MainProcesoSinc.registrarSync - Error al actualizar registro de Sincronizacion en MDB < "
         "Seguridad.mdb >. Los detalles se muestran en la siguiente linea.",
         1},
        {"MainProcesoSinc.registrarSync - Error: [sSQL=", 1}};
    for (const auto& [line, times] : lines) EXPECT_EQ(logCount(line), times) << line.toStdString();
    QString error;
    EXPECT_FALSE(crearLedger(path("no/such/folder/Seguridad.mdb"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// The last downloaded day (a "0" row never advances it; no download recorded: today, and a line
// that says why nothing is fetched) and the rows pending for the import run.
TEST_F(Ledger, LastDownloadedDayAndPendingRows) {
    ASSERT_TRUE(registrarDescarga("4", QDate(2026, 12, 3), "1"));
    ASSERT_TRUE(registrarDescarga("5", QDate(2026, 12, 3), "0"));
    for (const int day : {4, 2}) ASSERT_TRUE(registrarDescarga("2", QDate(2026, 12, day), "1"));
    ASSERT_TRUE(registrarDescarga("2", QDate(2026, 11, 30), "1"));
    ASSERT_TRUE(registrarSync("2", QDate(2026, 11, 30), "1", 2));  // merged
    ASSERT_TRUE(registrarDescarga("2", QDate(2026, 12, 5), "0"));  // absent on the server
    ASSERT_TRUE(registrarDescarga("3", QDate(2026, 12, 3), "1"));  // own store
    // Rows no store number or day can come from: logged and left out.
    for (const char* fila :
         {"'../../outside/evil', '2026/12/01 00:00:00', 1, 0", "2, '2062/12/07 00:00:00', 1, 0",
          "2, 'ayer', 1, 0", "-4, '2026/12/01 00:00:00', 1, 0"})
        ASSERT_EQ(filasLedger(rutaLedger(), QString("insert into TablasFTP values (") + fila + ")"),
                  QStringList());
    UltimaDescarga u = getUltimaDescarga("2");
    EXPECT_EQ(u.estado, Estado::Registrada);
    EXPECT_EQ(u.fecha, QDate(2026, 12, 4));
    for (const char* store : {"5", "9"}) {
        u = getUltimaDescarga(store);
        EXPECT_EQ(u.estado, Estado::SinRegistro);
        EXPECT_EQ(u.fecha, QDate(2026, 12, 5));
    }
    EXPECT_EQ(logCount("getUltimaDescarga - No hay descarga registrada del Local 9"), 1);
    const auto p = listarPendientes("3");
    ASSERT_TRUE(p.has_value());
    QStringList got;
    for (const auto& r : *p) got << r.idLocal + u'_' + r.fecha.toString("ddMMyyyy");
    EXPECT_EQ(got, QStringList({"2_02122026", "2_04122026", "4_03122026"}));
    EXPECT_EQ(logCount("Fila de TablasFTP no valida (idLocal '../../outside/evil'"), 1);
    ASSERT_TRUE(borrarDescarga("2", QDate(2026, 12, 4)));
    EXPECT_EQ(listarPendientes("3")->size(), 2);
    // Store numbers go into statements: anything but a whole number is refused.
    EXPECT_EQ(getUltimaDescarga("2 or 1=1").estado, Estado::Error);
    EXPECT_FALSE(registrarDescarga("1; delete from TablasFTP", d4, "1"));
    EXPECT_FALSE(registrarSync("2", d4, "1 where 1=1 --", 2));
    EXPECT_FALSE(borrarDescarga("x", d4));
    EXPECT_FALSE(registrarDescarga("-1", d4, "1"));
    EXPECT_EQ(rows().size(), 10);
}

// One history in each layout: a day twice (the "yes" wins), a day missing, a gap on the 3rd.
const struct {
    const char* nombre;
    TiposLedger tipos;
    QStringList filas;
} kLayouts[] = {
    {"Integer, Date/Time, Yes/No",
     {ColumnType::Integer, ColumnType::DateTime, ColumnType::Boolean, ColumnType::Boolean},
     {"2|2026/12/01|1|1", "2|2026/12/02|1|0", "2|2026/12/02|0|0", "2|2026/12/04|0|0",
      "4|2026/11/30|1|1"}},
    {"Long, dd/mm/yyyy text, Integer -1",
     {ColumnType::Long, ColumnType::Text, ColumnType::Integer, ColumnType::Integer},
     {"2|01/12/2026|-1|-1", "2|2/12/2026 10:15:00|-1|0", "2|02/12/2026|0|0", "2|04/12/2026|0|0",
      "4|30/11/2026|-1|-1"}},
    {"Text, yyyy/mm/dd text, Long",
     {ColumnType::Text, ColumnType::Text, ColumnType::Long, ColumnType::Long},
     {" 2|2026/12/01 00:00:00|1|1", "2|2026-12-02|1|0", "2|2026/12/02|0|0", "2|2026/12/04|0|0",
      "4|2026-11-30T08:00:00|1|1"}},
};

// Jet ledgers of the older program written by layout, and the installer's command-line tool
// (lumaro-db) run as a process in the program folder.
class Migracion : public DbFixture {
protected:
    QString jet() const { return rutaLedger() + ".jet"; }
    void escribirLayout(int layout) {
        ASSERT_TRUE(
            escribirJetLedger(rutaLedger(), kLayouts[layout].tipos, kLayouts[layout].filas));
    }
    int run(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral(LUMARO_BINARY_DIR "/src/tools/lumaro-db"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        m_stderr = QString::fromLocal8Bit(p.readAllStandardError());
        m_stdout = QString::fromLocal8Bit(p.readAllStandardOutput());
#ifdef _WIN32
        // A Windows program's text output ends its lines with CR LF.
        m_stderr.replace("\r\n", "\n");
        m_stdout.replace("\r\n", "\n");
#endif
        return p.exitCode();
    }
    // Every file under the folder with its bytes.
    QMap<QString, QByteArray> disk() const {
        QMap<QString, QByteArray> out;
        for (QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile f(it.next());
            out.insert(it.filePath(), f.open(QIODevice::ReadOnly) ? f.readAll() : "?");
        }
        return out;
    }
    QString m_stderr, m_stdout;
};

TEST_F(Migracion, EveryColumnLayoutKeepsTheHistory) {
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kLayouts[i].nombre);
        QFile::remove(rutaLedger());
        QFile::remove(jet());
        escribirLayout(i);
        const QByteArray original = contenido(rutaLedger());
        ASSERT_TRUE(prepararLedger());
        EXPECT_EQ(rows(), QStringList({"2|2026/12/01 00:00:00|1|1", "2|2026/12/02 00:00:00|1|0",
                                       "2|2026/12/04 00:00:00|0|0", "4|2026/11/30 00:00:00|1|1"}));
        EXPECT_EQ(contenido(jet()), original);
        // Downloads go on from the day after the last one downloaded.
        EXPECT_EQ(getUltimaDescarga("2").fecha, QDate(2026, 12, 2));
        EXPECT_EQ(getUltimaDescarga("4").fecha, QDate(2026, 11, 30));
        EXPECT_EQ(QDir(m_dir.path()).entryList({"Seguridad.mdb*"}, QDir::Files),
                  QStringList({"Seguridad.mdb", "Seguridad.mdb.jet"}));
    }
    EXPECT_EQ(logCount("convertido del formato Jet del programa anterior: 4 filas (Local 2: 3 "
                       "filas, ultima descarga 02/12/2026; Local 4: 1 filas, ultima descarga "
                       "30/11/2026); el original queda en " +
                       jet()),
              3);
    // Converted once: the SQLite ledger is left alone.
    EXPECT_EQ(migrarLedger(rutaLedger()).estado, MigracionLedger::Estado::NoEsJet);
    EXPECT_TRUE(m_console.problems().isEmpty());
}

TEST_F(Migracion, InterruptedConversionIsRedoneAndAForeignCopyIsNeverOverwritten) {
    escribirLayout(0);
    const QByteArray original = contenido(rutaLedger());
    // Interrupted after saving the original, a half-written new ledger left behind.
    ASSERT_TRUE(QFile::copy(rutaLedger(), jet()));
    ASSERT_TRUE(escribir(rutaLedger() + ".nuevo", "SQLite format 3"));
    EXPECT_EQ(migrarLedger(rutaLedger()).estado, MigracionLedger::Estado::Convertido);
    EXPECT_EQ(rows().size(), 4);
    EXPECT_EQ(contenido(jet()), original);
    EXPECT_FALSE(QFile::exists(rutaLedger() + ".nuevo"));

    // A different file under the .jet name is someone else's: refused, nothing touched.
    ASSERT_TRUE(QFile::remove(rutaLedger()));
    escribirLayout(1);
    const QByteArray otro = contenido(rutaLedger());
    const MigracionLedger m = migrarLedger(rutaLedger());
    EXPECT_EQ(m.estado, MigracionLedger::Estado::Fallo);
    EXPECT_TRUE(m.mensaje.contains("ya existe " + jet() + " y es distinto"))
        << m.mensaje.toStdString();
    EXPECT_EQ(contenido(rutaLedger()), otro);
    EXPECT_EQ(contenido(jet()), original);
}

// A damaged Jet ledger is kept, reported, and fails the ledger calls, so no store is fetched.
TEST_F(Migracion, DamagedLedgerIsKeptAndDownloadsStayOff) {
    escribirLayout(0);
    const QByteArray sano = contenido(rutaLedger());
    QByteArray basura = sano;
    for (qsizetype i = 2 * 4096; i < basura.size(); ++i) basura[i] = char(i * 7);
    for (const QByteArray& danado : {sano.left(3 * 4096), basura}) {
        ASSERT_TRUE(escribir(rutaLedger(), danado));
        m_console.clearProblems();
        EXPECT_FALSE(prepararLedger());
        EXPECT_EQ(contenido(rutaLedger()), danado);
        EXPECT_FALSE(QFile::exists(jet()));
        EXPECT_EQ(getUltimaDescarga("2").estado, Estado::Error);
        ASSERT_EQ(m_console.problems().size(), 1);
        EXPECT_TRUE(m_console.problems()[0].contains("No se convirtio el ledger Jet"));
    }
    EXPECT_EQ(logCount("No se convirtio el ledger Jet " + rutaLedger() + " ("), 2);
}

// The report: per store and day, gaps, the snapshots in the working folders, a filter.
TEST_F(Migracion, ReportShowsEachDayGapsAndFiles) {
    escribirLayout(0);
    ASSERT_TRUE(prepararLedger());
    for (const char* carpeta : {"MDB_descargadas", "Error"})
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(carpeta));
    for (const char* archivo :
         {"MDB_descargadas/2_02122026.mdb", "Error/101500_4_02122026.mdb", "Error/notas.txt"})
        ASSERT_TRUE(escribir(path(archivo), ""));
    QString error;
    auto informe = leerInforme(rutaLedger(), {}, &error);
    ASSERT_TRUE(informe.has_value()) << error.toStdString();
    EXPECT_EQ(
        lineasCsv(*informe),
        QStringList({"local,fecha,estado,carpeta", "2,01/12/2026,\"sincronizado\",",
                     "2,02/12/2026,\"descargado, sin sincronizar\",MDB_descargadas",
                     "2,03/12/2026,\"sin registro\",", "2,04/12/2026,\"buscado y no encontrado\",",
                     "4,30/11/2026,\"sincronizado\",", "4,01/12/2026,\"sin registro\",",
                     "4,02/12/2026,\"sin registro\",Error"}));
    const QStringList texto = lineasTexto(*informe);
    EXPECT_TRUE(
        texto.contains("  Hueco: del 03/12/2026 al 03/12/2026, 1 dias sin registro en el ledger"));
    EXPECT_TRUE(texto.contains(
        "  Resumen Local 4: del 30/11/2026 al 02/12/2026, 1 sincronizados, 0 descargados sin "
        "sincronizar, 0 no encontrados, 2 dias sin registro en 1 huecos; 0 en MDB_descargadas, "
        "1 en Error"))
        << texto.join('\n').toStdString();

    informe = leerInforme(rutaLedger(), {QDate(2026, 12, 2), 2}, &error);
    ASSERT_TRUE(informe.has_value());
    EXPECT_EQ(informe->dias.size(), 3);
    EXPECT_EQ(informe->huecos.size(), 1);
}

using Tool = Migracion;

// Paths from the current folder; a message that points at the log says where it is.
TEST_F(Tool, SeedsTheLedgerSoDownloadsStartOnTheGivenDay) {
    const QString ledger = rutaLedger();
    ASSERT_EQ(run({"ledger-crear", "Seguridad.mdb"}), 0) << m_stderr.toStdString();
    ASSERT_EQ(run({"ledger-iniciar", ledger, "2,3", "01/12/2026"}), 0) << m_stderr.toStdString();
    ASSERT_EQ(run({"ledger-crear", ledger}), 0);  // again: keeps the rows
    for (const char* local : {"2", "3"}) {
        const auto u = getUltimaDescarga(local);
        EXPECT_EQ(u.estado, Estado::Registrada);
        EXPECT_EQ(u.fecha, QDate(2026, 11, 30));
    }
    // The seeded day is not a snapshot to merge.
    ASSERT_TRUE(listarPendientes("1").has_value());
    EXPECT_TRUE(listarPendientes("1")->isEmpty());

    EXPECT_NE(run({"ledger-iniciar", ledger, "2 or 1=1", "01/12/2026"}), 0);
    EXPECT_NE(run({"ledger-iniciar", ledger, "2", "31/02/2026"}), 0);
    EXPECT_NE(run({"ledger-iniciar", path("otro.db"), "2", "01/12/2026"}), 0);
    EXPECT_NE(run({"nada"}), 0);
    // Mistakes in the command line: exit 2, a message, nothing recorded.
    const QStringList errores[] = {{"ledger-iniciar", ledger, "2", "07/12/2062"},
                                   {"ledger-iniciar", ledger, "4,x", "01/12/2026"},
                                   {"ledger-iniciar", ledger, "2", "01/01/0100"},
                                   {"espejo-esquema", "x`; drop database y; -- "},
                                   {"espejo-esquema", ""}};
    for (const QStringList& args : errores) {
        EXPECT_EQ(run(args), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(m_stderr.startsWith("lumaro-db: ")) << m_stderr.toStdString();
    }
    EXPECT_EQ(getUltimaDescarga("2").fecha, QDate(2026, 11, 30));
    EXPECT_NE(getUltimaDescarga("4").estado, Estado::Registrada);
    ASSERT_TRUE(escribir(path("basura.mdb"), "idLocal;fecha\r\n"));
    EXPECT_EQ(run({"ledger-crear", "basura.mdb"}), 1);
    EXPECT_TRUE(m_stderr.contains("No se pudo abrir " + path("basura.mdb") + " (ver el log " +
                                  QDir::toNativeSeparators(path("Err_")) +
                                  QDate::currentDate().toString("yyyyMMdd") + ".log)"))
        << m_stderr.toStdString();
}

const TiposLedger kTextos = {ColumnType::Text, ColumnType::Text, ColumnType::Long,
                             ColumnType::Long};

TEST_F(Tool, MovesAStoreOverByHandAndReportsIt) {
    const QString ledger = rutaLedger();
    ASSERT_TRUE(escribirJetLedger(ledger, kTextos, {"3|01/12/2026|1|1", "3|03/12/2026|1|0"}));
    ASSERT_EQ(run({"ledger-migrar", ledger}), 0) << m_stderr.toStdString();
    EXPECT_TRUE(m_stdout.contains("2 filas (Local 3: 2 filas, ultima descarga 03/12/2026)"));
    ASSERT_EQ(run({"ledger-migrar", ledger}), 0);  // again: already ours, nothing to do
    EXPECT_TRUE(m_stdout.contains("ya es un ledger SQLite"));
    ASSERT_EQ(run({"ledger-informe", ledger, "--csv", "--local", "3"}), 0);
    EXPECT_EQ(m_stdout.split('\n', Qt::SkipEmptyParts),
              QStringList({"local,fecha,estado,carpeta", "3,01/12/2026,\"sincronizado\",",
                           "3,02/12/2026,\"sin registro\",",
                           "3,03/12/2026,\"descargado, sin sincronizar\","}));
    ASSERT_EQ(run({"ledger-informe", ledger, "--desde", "02/12/2026"}), 0);
    EXPECT_TRUE(
        m_stdout.contains("  Resumen Local 3: del 03/12/2026 al 03/12/2026, 0 sincronizados"))
        << m_stdout.toStdString();
    EXPECT_FALSE(m_stdout.contains("01/12/2026"));
}

// Malformed input: a clear message, the exit status, nothing changed on disk.
TEST_F(Tool, MalformedInputIsRefusedAndChangesNothing) {
    const char* const migrar = "ledger-migrar";
    const char* const informe = "ledger-informe";
    const char* const sana = "sqlite:2, '2026/12/01 00:00:00', 1, 0";
    const struct {
        const char* comando;
        const char* ledger;     // "" none, "texto", "jet:<row>" or "sqlite:<values>"
        const char* mensaje;    // in the message on stderr
        QStringList args = {};  // after the command and the ledger's path
        int salida = 1;         // the exit status: a report with a row left out is still made
    } casos[] = {
        {migrar, "", "no existe el archivo"},
        {migrar, "texto", "no es un ledger (ni Jet ni SQLite)"},
        {migrar, "jet:2|31/02/2026|1|0", "TablasFTP, fila 1: fecha imposible: '31/02/2026'"},
        {migrar, "jet:2|06/12/2999|1|0", "fecha imposible"},
        {migrar, "jet:x7|01/12/2026|1|0", "IdLocal no numerico: 'x7'"},
        {informe, "", "no existe el archivo"},
        {informe, "texto", "no es un ledger"},
        {informe,
         "jet:2|1/13/2026|1|0",
         "fila no valida, se omite: TablasFTP, fila 1: fecha "
         "imposible: '1/13/2026'",
         {},
         0},
        {informe, "sqlite:2, '0100/01/01 00:00:00', 1, 0", "fecha imposible: '0100/01/01", {}, 0},
        {informe, "sqlite:'abc', '2026/12/01 00:00:00', 1, 0", "IdLocal no numerico: 'abc'", {}, 0},
        {informe, sana, "IDLOCAL no es un numero: x", {"--local", "x"}, 2},
        {informe, sana, "fecha no valida (DD/MM/AAAA): 31/02/2026", {"--desde", "31/02/2026"}, 2},
    };
    int n = 0;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.mensaje);
        const QString carpeta = path(QString::number(++n));
        ASSERT_TRUE(QDir().mkpath(carpeta));
        const QString ledger = carpeta + "/Seguridad.mdb";
        const QString tipo = QString::fromLatin1(c.ledger).section(':', 0, 0);
        const QString fila = QString::fromLatin1(c.ledger).section(':', 1);
        if (tipo == "texto") {
            ASSERT_TRUE(escribir(ledger, "idLocal;fecha\r\n"));
        } else if (tipo == "jet") {
            ASSERT_TRUE(escribirJetLedger(ledger, kTextos, {fila}));
        } else if (tipo == "sqlite") {
            ASSERT_TRUE(crearLedger(ledger));
            ASSERT_EQ(filasLedger(ledger, "insert into TablasFTP values (" + fila + ")"),
                      QStringList());
        }
        const auto antes = disk();
        EXPECT_EQ(run(QStringList{c.comando, ledger} + c.args), c.salida);
        EXPECT_TRUE(m_stderr.contains(c.mensaje)) << m_stderr.toStdString();
        EXPECT_EQ(disk(), antes);
    }
}

}  // namespace
