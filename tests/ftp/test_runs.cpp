// The download run and the upload run against a loopback FTP server and a real ledger.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "FtpServerFixture.h"
#include "config/Clock.h"
#include "config/RunState.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "db/clsLocal.h"
#include "ftp/DownloadRun.h"
#include "ftp/ImportSeam.h"
#include "ftp/Ledger.h"
#include "ftp/UploadRun.h"

using namespace lumaro::ftp;
using namespace lumaro::ftp::test;
using lumaro::config::runState;

namespace {

const QDate kToday(2026, 12, 5);

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running()) << "the loopback FTP server did not start";
        QDir(server.root()).mkpath(QStringLiteral("intercambio"));
        lumaro::config::Clock::setFixed(QDateTime(kToday, QTime(14, 30, 15)));
        ASSERT_TRUE(crearLedger(rutaLedger()));
        auto& registro = lumaro::db::locales();
        registro.setNroLocales(3);
        registro.addLocal(QStringLiteral("1"), QStringLiteral("Centro"));
        registro.addLocal(QStringLiteral(" 2 "), QStringLiteral("Norte"));
        registro.addLocal(QStringLiteral("3"), QStringLiteral("Sur"));
        lumaro::db::setLocalPropio(QStringLiteral("3"), QString());
        setImportRun({});
    }
    void TearDown() override {
        setImportRun({});
        QSqlDatabase::removeDatabase(QStringLiteral("ledger-check"));
    }

    QString remote(const QString& name) const {
        return server.remote(QStringLiteral("intercambio/") + name);
    }
    void offer(const QString& store, int day) {
        const QString name = store + QLatin1Char('_') +
                             QDate(2026, 12, day).toString(QStringLiteral("ddMMyyyy")) +
                             QStringLiteral(".mdb");
        ASSERT_TRUE(writeFile(remote(name), bytes(20000 + day)));
    }
    // Ledger rows as "store dd ok sync", oldest first.
    QStringList ledgerRows() {
        QStringList rows;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                        QStringLiteral("ledger-check"));
            db.setDatabaseName(rutaLedger());
            if (!db.open()) return {QStringLiteral("cannot open")};
            QSqlQuery q(db);
            q.exec(
                QStringLiteral("select idLocal, fecha, iDescargaOK, iSincronizacionOK from "
                               "TablasFTP order by idLocal, fecha"));
            while (q.next())
                rows << QStringLiteral("%1 %2 %3 %4")
                            .arg(q.value(0).toString(), q.value(1).toString().mid(8, 2),
                                 q.value(2).toString(), q.value(3).toString());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("ledger-check"));
        return rows;
    }
    QStringList downloadedFiles() const {
        return QDir(store.path(QStringLiteral("MDB_descargadas"))).entryList(QDir::Files);
    }
    int retrCount() const { return server.commands().filter(QStringLiteral("RETR ")).size(); }

    FtpServer server;
    StoreFolder store{server.port()};
};

TEST_F(RunTest, WalksEveryOtherStoreDayByDayToToday) {
    registrarDescarga(QStringLiteral("1"), kToday.addDays(-3), QStringLiteral("1"));
    registrarDescarga(QStringLiteral("2"), kToday, QStringLiteral("1"));
    for (int day : {3, 4, 5}) offer(QStringLiteral("1"), day);
    offer(QStringLiteral("3"), 5);  // this store's own snapshot is never fetched

    descargarOtrosLocales();
    EXPECT_EQ(downloadedFiles(),
              (QStringList{QStringLiteral("1_03122026.mdb"), QStringLiteral("1_04122026.mdb"),
                           QStringLiteral("1_05122026.mdb")}));
    EXPECT_EQ(ledgerRows(), (QStringList{QStringLiteral("1 02 1 0"), QStringLiteral("1 03 1 0"),
                                         QStringLiteral("1 04 1 0"), QStringLiteral("1 05 1 0"),
                                         QStringLiteral("2 05 1 0")}));
    EXPECT_EQ(runState().results.downloadCount, 3) << store.log().toStdString();
    EXPECT_TRUE(runState().results.downloadAnswered);
    EXPECT_TRUE(
        store.logHas(QStringLiteral("Al parecer las DESCARGAS estan correctas a la fecha...")));
    EXPECT_TRUE(store.logHas(QStringLiteral("Cerrando conexion FTP (2)...")));
    EXPECT_TRUE(store.console().problems().isEmpty());
}

TEST_F(RunTest, MissingDayIsSilentFirstAndRecordedOnTheSecondSynchronisation) {
    registrarDescarga(QStringLiteral("1"), kToday.addDays(-2), QStringLiteral("1"));
    registrarDescarga(QStringLiteral("2"), kToday, QStringLiteral("1"));
    offer(QStringLiteral("1"), 5);  // the 4th is missing: the 5th waits behind it

    lumaro::config::GrabarConfig(QStringLiteral("SyncActual"), QStringLiteral("1"));
    descargarOtrosLocales();
    EXPECT_TRUE(downloadedFiles().isEmpty());
    EXPECT_EQ(ledgerRows(), (QStringList{QStringLiteral("1 03 1 0"), QStringLiteral("2 05 1 0")}));
    EXPECT_TRUE(store.console().problems().isEmpty());
    EXPECT_TRUE(runState().results.downloadAnswered);
    EXPECT_EQ(runState().results.downloadCount, 0);

    lumaro::config::GrabarConfig(QStringLiteral("SyncActual"), QStringLiteral("2"));
    descargarOtrosLocales();
    EXPECT_EQ(ledgerRows(), (QStringList{QStringLiteral("1 03 1 0"), QStringLiteral("1 04 0 0"),
                                         QStringLiteral("2 05 1 0")}));
    ASSERT_EQ(store.console().problems().size(), 2);
    EXPECT_TRUE(store.console().problems()[0].endsWith(
        QStringLiteral(" - (1) Problemas de DESCARGA para Local : 1 - Centro")));
    EXPECT_TRUE(store.console().problems()[1].endsWith(
        QStringLiteral(" - (2) Segunda Sincronizacion y no se encontro archivo: 1_04122026")));
    EXPECT_TRUE(store.logHas(QStringLiteral(
        "MainProcesoSinc.descargarOtrosLocales >>> (2) Segunda Sincrinizacion y no se encontro "
        "archivo: 1_04122026")));
}

TEST_F(RunTest, DaysAlreadyMergedOrFailedHereAreSteppedOver) {
    registrarDescarga(QStringLiteral("1"), kToday.addDays(-3), QStringLiteral("1"));
    registrarDescarga(QStringLiteral("2"), kToday, QStringLiteral("1"));
    for (int day : {3, 4, 5}) offer(QStringLiteral("1"), day);
    ASSERT_TRUE(writeFile(store.path(QStringLiteral("MDB_Syncronizadas/1_03122026.mdb")), "m"));
    ASSERT_TRUE(writeFile(store.path(QStringLiteral("Error/101010_1_04122026.mdb")), "e"));

    descargarOtrosLocales();
    EXPECT_EQ(downloadedFiles(), QStringList{QStringLiteral("1_05122026.mdb")});
    EXPECT_EQ(ledgerRows(), (QStringList{QStringLiteral("1 02 1 0"), QStringLiteral("1 05 1 0"),
                                         QStringLiteral("2 05 1 0")}));
    EXPECT_EQ(retrCount(), 1);
}

TEST_F(RunTest, AStoreWithoutLedgerRowsOrAnUnreadableLedgerFetchesNothing) {
    offer(QStringLiteral("1"), 5);
    descargarOtrosLocales();  // no rows at all: every store counts as up to date
    EXPECT_TRUE(downloadedFiles().isEmpty());
    EXPECT_FALSE(runState().results.downloadAnswered);
    EXPECT_FALSE(store.logHas(QStringLiteral("Cerrando conexion FTP (2)...")));

    ASSERT_TRUE(QFile::remove(rutaLedger()));
    ASSERT_TRUE(QDir().mkpath(rutaLedger()));  // a folder where the ledger should be
    descargarOtrosLocales();
    EXPECT_TRUE(downloadedFiles().isEmpty());
    EXPECT_TRUE(store.logHas(QStringLiteral("se omite en esta ejecucion.")));
    EXPECT_EQ(retrCount(), 0);
}

TEST_F(RunTest, ALedgerThatCannotRecordEndsTheStoresWalk) {
    registrarDescarga(QStringLiteral("1"), kToday.addDays(-3), QStringLiteral("1"));
    for (int day : {3, 4, 5}) offer(QStringLiteral("1"), day);
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("ledger-check"));
        db.setDatabaseName(rutaLedger());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(
            QStringLiteral("create trigger refuse before insert on TablasFTP "
                           "begin select raise(abort, 'read only'); end"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("ledger-check"));

    descargarOtrosLocales();
    EXPECT_EQ(retrCount(), 1);
    EXPECT_EQ(runState().results.downloadCount, 0);
    EXPECT_EQ(ledgerRows(), QStringList{QStringLiteral("1 02 1 0")});
}

TEST_F(RunTest, FailedTransfersRecordNothingAndTheNextRunRetries) {
    registrarDescarga(QStringLiteral("1"), kToday.addDays(-1), QStringLiteral("1"));
    registrarDescarga(QStringLiteral("2"), kToday.addDays(-1), QStringLiteral("1"));
    offer(QStringLiteral("1"), 5);
    offer(QStringLiteral("2"), 5);
    server.setFault(QStringLiteral("cut_retr"), true);

    descargarOtrosLocales();
    EXPECT_TRUE(downloadedFiles().isEmpty());
    EXPECT_EQ(ledgerRows(), (QStringList{QStringLiteral("1 04 1 0"), QStringLiteral("2 04 1 0")}));
    EXPECT_EQ(store.console().problems().size(), 2);  // one per store: the second still tried
    EXPECT_FALSE(runState().results.downloadAnswered);

    server.setFault(QStringLiteral("cut_retr"), false);
    descargarOtrosLocales();
    EXPECT_EQ(downloadedFiles().size(), 2);
    EXPECT_EQ(runState().results.downloadCount, 2);
}

TEST_F(RunTest, ServerDownIsReportedPerStore) {
    registrarDescarga(QStringLiteral("1"), kToday.addDays(-1), QStringLiteral("1"));
    lumaro::db::setLocalPropio(QStringLiteral("3"), QStringLiteral("sur@example.com"));
    store.setPort(unusedPort());
    descargarOtrosLocales();
    ASSERT_EQ(store.console().problems().size(), 1);
    EXPECT_TRUE(store.console().problems()[0].endsWith(
        QStringLiteral(" - Problemas de DESCARGA para Local : 1 - Centro")));
    EXPECT_TRUE(store.logHas(QStringLiteral(
        "Se intento enviar correo: (1) Problemas de DESCARGA del archivo < 1_05/12/2026 > MDB del "
        "Local: 1 - Centro")));
    EXPECT_FALSE(store.logHas(QStringLiteral("Cerrando conexion FTP (2)...")));
}

// Upload run.
class UploadRunTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        // A snapshot folder under a path that names the product.
        snapshots = store.path(QStringLiteral("LUMARO/out"));
        ASSERT_TRUE(QDir().mkpath(snapshots));
        lumaro::config::GrabarConfig(QStringLiteral("RtDbf"), snapshots);
    }
    void put(const QString& name, const QByteArray& data = "x") {
        ASSERT_TRUE(writeFile(snapshots + QLatin1Char('/') + name, data));
    }
    QStringList stored() const {
        QStringList names;
        for (const QString& c : server.commands())
            if (c.startsWith(QStringLiteral("STOR "))) names << c.mid(5).chopped(5);
        return names;
    }

    QString snapshots;
};

TEST_F(UploadRunTest, SendsThisStoresFilesDatabasesFirst) {
    put(QStringLiteral("3_C_QC5.dbf"));
    put(QStringLiteral("3_04122026.mdb"));
    put(QStringLiteral("3_05122026.mdb"));
    put(QStringLiteral("3_03122026.mdb"));  // sent before
    ASSERT_TRUE(writeFile(store.path(QStringLiteral("MDB_enviadas/020000_3_03122026.mdb")), "s"));
    put(QStringLiteral("Seguridad.mdb"));
    put(QStringLiteral("lumaro_copia.mdb"));
    put(QStringLiteral("2_05122026.mdb"));  // another store's file
    put(QStringLiteral("clientes.dbf"));    // another program's file
    put(QStringLiteral(".3_01122026.mdb"));
    put(QStringLiteral("3_02122026.mdb"));
    QFile::setPermissions(snapshots + QStringLiteral("/3_02122026.mdb"), QFileDevice::ReadOwner);
    ASSERT_TRUE(writeFile(store.path(QStringLiteral("temp/3_30112026.mdb")), "t"));

    Main();
    EXPECT_EQ(stored(),
              (QStringList{QStringLiteral("3_30112026.mdb"), QStringLiteral("3_05122026.mdb"),
                           QStringLiteral("3_04122026.mdb"), QStringLiteral("3_C_QC5.dbf")}));
    EXPECT_TRUE(runState().results.importCompleted);
    EXPECT_TRUE(runState().results.uploadDone);
    EXPECT_TRUE(store.logHas(QStringLiteral("Se termino la SUBIDA de archivos.")));
    EXPECT_TRUE(store.logHas(QStringLiteral("Importacion no disponible")));
    EXPECT_TRUE(store.logHas(QStringLiteral("Se omite el archivo < 2_05122026.mdb >")));
    EXPECT_TRUE(store.logHas(QStringLiteral("Se omite el archivo < clientes.dbf >")));
    for (const char* left : {"3_03122026.mdb", "Seguridad.mdb", "lumaro_copia.mdb",
                             "2_05122026.mdb", "clientes.dbf", ".3_01122026.mdb", "3_02122026.mdb"})
        EXPECT_TRUE(QFileInfo::exists(snapshots + QLatin1Char('/') + QLatin1String(left))) << left;
    EXPECT_EQ(QDir(snapshots).entryList(QDir::Files | QDir::Hidden).size(), 7);
}

TEST_F(UploadRunTest, ARefusedFileDoesNotHoldBackTheOthers) {
    put(QStringLiteral("3_05122026.mdb"));
    put(QStringLiteral("3_04122026.mdb"));
    put(QStringLiteral("3_C_QC5.dbf"));
    ASSERT_TRUE(writeFile(remote(QStringLiteral("3_04122026.mdb")), "another PC"));

    Main();
    EXPECT_EQ(stored(),
              (QStringList{QStringLiteral("3_05122026.mdb"), QStringLiteral("3_C_QC5.dbf")}));
    EXPECT_FALSE(runState().results.uploadDone);
    EXPECT_TRUE(store.console().problems().last().endsWith(
        QStringLiteral(" - Problemas al SUBIR archivo < 3_04122026.mdb >.")));
    EXPECT_TRUE(QFileInfo::exists(snapshots + QStringLiteral("/3_04122026.mdb")));
}

TEST_F(UploadRunTest, NothingIsSentWhenTheImportDidNotComplete) {
    put(QStringLiteral("3_05122026.mdb"));
    setImportRun([] { return false; });
    Main();
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_FALSE(runState().results.importCompleted);
    EXPECT_FALSE(runState().results.uploadDone);
}

// The registry could not be loaded in this cycle (connections down): the active store
// recorded by its last load names this store; with none recorded nothing is sent and the run
// does not count as done.
TEST_F(UploadRunTest, WithoutTheRegistryTheRecordedActiveStoreIsUsed) {
    put(QStringLiteral("3_05122026.mdb"));
    lumaro::db::setLocalPropio(QString(), QString());
    lumaro::config::GrabarConfig(QStringLiteral("Local_Activo"), QStringLiteral("3"));
    Main();
    EXPECT_EQ(stored(), QStringList{QStringLiteral("3_05122026.mdb")});
    EXPECT_TRUE(runState().results.uploadDone);

    put(QStringLiteral("3_04122026.mdb"));
    lumaro::config::GrabarConfig(QStringLiteral("Local_Activo"), QString());
    Main();
    EXPECT_EQ(stored(), QStringList{QStringLiteral("3_05122026.mdb")});
    EXPECT_FALSE(runState().results.uploadDone);
    EXPECT_TRUE(store.logHas(QStringLiteral("no se conoce el Local propio")));
}

TEST_F(UploadRunTest, WithoutTodaysSnapshotOlderOnesWait) {
    put(QStringLiteral("3_04122026.mdb"));
    Main();
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_TRUE(runState().results.uploadDone);
    EXPECT_TRUE(store.logHas(QStringLiteral(
        "archivo < 3_05122026.mdb > para SUBIRLO al FTP (si esta es la primera sincronizacion")));
}

TEST_F(UploadRunTest, RefusedUploadsAreReportedWithTheMailLine) {
    put(QStringLiteral("3_05122026.mdb"));
    lumaro::db::setLocalPropio(QStringLiteral("3"), QStringLiteral("sur@example.com"));
    server.setFault(QStringLiteral("refuse_stor"), true);
    Main();
    EXPECT_FALSE(runState().results.uploadDone);
    EXPECT_TRUE(QFileInfo::exists(snapshots + QStringLiteral("/3_05122026.mdb")));
    EXPECT_TRUE(
        store.logHas(QStringLiteral("Problemas al SUBIR archivo local < 3_05122026.mdb >.")));
    EXPECT_TRUE(
        store.logHas(QStringLiteral("Se intento enviar correo: Detallando problemas al SUBIR "
                                    "archivo local < 3 - 05122026.mdb >.")));
}

struct OwnFileRow {
    const char* name;
    bool own;
};
class OwnFileTest : public ::testing::TestWithParam<OwnFileRow> {};

TEST_P(OwnFileTest, RecognisesThisStoresExchangeFiles) {
    EXPECT_EQ(esArchivoPropio(QString::fromUtf8(GetParam().name), QStringLiteral("3")),
              GetParam().own)
        << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OwnFileTest,
    ::testing::Values(OwnFileRow{"3_05122026.mdb", true}, OwnFileRow{"3_05122026.MDB", true},
                      OwnFileRow{"3_K_QC5.dbf", true}, OwnFileRow{"3_A_C5.dbf", true},
                      OwnFileRow{"33_05122026.mdb", false}, OwnFileRow{"3_0512202.mdb", false},
                      OwnFileRow{"3_X_QC5.dbf", false},
                      OwnFileRow{"backup_3_05122026.mdb", false}));

}  // namespace

// Two program folders set up as stores 3 and 1 exchange today's snapshot through the server.
TEST_F(UploadRunTest, TwoStoresExchangeASnapshot) {
    put(QStringLiteral("3_05122026.mdb"), bytes(30000));
    Main();
    ASSERT_TRUE(runState().results.uploadDone);

    StoreFolder other(server.port());  // store 1, which last received store 3's 4th
    ASSERT_TRUE(crearLedger(rutaLedger()));
    registrarDescarga(QStringLiteral("3"), kToday.addDays(-1), QStringLiteral("1"));
    lumaro::db::setLocalPropio(QStringLiteral("1"), QString());
    descargarOtrosLocales();
    EXPECT_EQ(readAll(other.path(QStringLiteral("MDB_descargadas/3_05122026.mdb"))), bytes(30000));
    EXPECT_EQ(runState().results.downloadCount, 1);
    EXPECT_EQ(ledgerRows(), (QStringList{QStringLiteral("3 04 1 0"), QStringLiteral("3 05 1 0")}));
}
