// The download run and the upload run against a loopback FTP server and a real ledger, and
// the problem mails of a cycle against a loopback SMTP server.

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>

#include "../db/JetLedger.h"
#include "FtpServerFixture.h"
#include "db/ConfigLocales.h"
#include "db/clsLocal.h"
#include "ftp/Correo.h"
#include "ftp/DownloadRun.h"
#include "ftp/UploadRun.h"
#include "ledger/Ledger.h"

using namespace lumaro::ftp;
using namespace lumaro::ftp::test;
using lumaro::config::GrabarConfig;
using lumaro::ledger::rutaLedger;
using lumaro::run::runState;

namespace {

class RunTest : public ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        ASSERT_TRUE(lumaro::ledger::crearLedger(rutaLedger()));
        auto& registro = lumaro::db::locales();
        registro.setNroLocales(4);
        registro.addLocal("1", "Centro");
        registro.addLocal(" 2 ", "Norte");
        registro.addLocal("3", "Sur");
        registro.addLocal("4", "Oeste");
        lumaro::db::setLocalPropio("3", QString());
    }

    // The snapshot of a store for a day of December 2026 on the server.
    void offer(const QString& store, int day) {
        ASSERT_TRUE(
            writeFile(remote(store + u'_' + QDate(2026, 12, day).toString("ddMMyyyy") + ".mdb"),
                      jetFile(day)));
    }
    // A download recorded and merged for a store `daysAgo` days before today.
    static void recorded(const char* store, int daysAgo) {
        const QDate day = QDate(2026, 12, 5).addDays(-daysAgo);
        ASSERT_TRUE(lumaro::ledger::registrarDescarga(store, day, "1"));
        ASSERT_TRUE(lumaro::ledger::registrarSync(store, day, "1", 2));
    }
    // Ledger rows as "store dd ok sync", oldest first.
    static QStringList ledgerRows() {
        return lumaro::testing::filasLedger(
            rutaLedger(),
            "select idLocal, substr(fecha, 9, 2), iDescargaOK, iSincronizacionOK from TablasFTP "
            "order by idLocal, fecha",
            u' ');
    }
    QStringList downloadedFiles() const {
        return QDir(store.path("MDB_descargadas")).entryList(QDir::Files);
    }
    int retrCount() const { return server.commands().filter("RETR ").size(); }
    QString problem(int i) { return store.console().problems().value(i); }
};

// A store moved over from the older program (its Jet ledger converted at the start) is owed
// every day from each store's first row that is not merged, gaps included: store 1's 1st (set
// aside in Error, the server's copy now of another size), store 2's 2nd (row cleared) and 4th
// (downloaded, its file gone) are fetched again, oldest first. A day merged here (2's 3rd) is
// not owed; one in Error as large as the server's copy (1's 4th) waits a day. Store 4 is up to
// date.
TEST_F(RunTest, FetchesEveryOwedDayOfEveryOtherStoreOldestFirst) {
    using lumaro::jet::ColumnType;
    ASSERT_TRUE(QFile::remove(rutaLedger()));
    ASSERT_TRUE(lumaro::testing::escribirJetLedger(
        rutaLedger(),
        {ColumnType::Long, ColumnType::DateTime, ColumnType::Boolean, ColumnType::Boolean},
        {"1|2026/12/02|1|1", "1|2026/11/30|1|1", "2|2026/12/01|1|1", "2|2026/12/04|1|0",
         "4|2026/12/05|1|1"}));
    for (int day : {1, 2, 3, 4, 5})
        for (const char* id : {"1", "2", "3"}) offer(id, day);  // never this store's own
    ASSERT_TRUE(writeFile(store.path("MDB_Syncronizadas/2_03122026.mdb"), "m"));
    ASSERT_TRUE(writeFile(store.path("Error/101010_1_01122026.mdb"), "e"));
    ASSERT_TRUE(
        writeFile(store.path("Error/101010_1_04122026.mdb"), readAll(remote("1_04122026.mdb"))));

    const DownloadRunOutcome seis = descargarOtrosLocales();
    EXPECT_EQ(downloadedFiles(),
              QStringList({"1_01122026.mdb", "1_03122026.mdb", "1_05122026.mdb", "2_02122026.mdb",
                           "2_04122026.mdb", "2_05122026.mdb"}));
    EXPECT_EQ(retrCount(), 6);
    EXPECT_EQ(server.commands().filter(QRegularExpression("^(MLSD|NLST|LIST)")).size(), 1);
    EXPECT_EQ(ledgerRows(),
              QStringList({"1 30 1 1", "1 01 1 0", "1 02 1 1", "1 03 1 0", "1 05 1 0", "2 01 1 1",
                           "2 02 1 0", "2 04 1 0", "2 05 1 0", "4 05 1 1"}));
    EXPECT_EQ(seis.count, 6) << store.log().toStdString();
    EXPECT_TRUE(seis.answered);
    EXPECT_TRUE(seis.failure.isEmpty());
    EXPECT_TRUE(store.logged({"Al parecer las DESCARGAS estan correctas a la fecha...",
                              "Cerrando conexion FTP (2)..."}));
    EXPECT_TRUE(store.console().problems().isEmpty());

    lumaro::config::Clock::advance(24 * 3600);  // a day later the same copy is asked for again
    descargarOtrosLocales();
    EXPECT_EQ(retrCount(), 7);
    EXPECT_TRUE(downloadedFiles().contains("1_04122026.mdb"));
}

// The second synchronisation's missing file is recorded, listed and mailed once.
TEST_F(RunTest, MissingDayIsSilentFirstAndRecordedOnTheSecondSynchronisation) {
#ifdef _WIN32
    GTEST_SKIP() << kSinTlsPorDireccion;  // the mail goes over TLS
#endif
    SmtpServer smtp(SmtpServer::Security::StartTls, "good", QString(), QString());
    configurarCorreo(smtp.port(), SmtpServer::Security::StartTls, "ca.pem", QString(), QString());
    lumaro::db::setLocalPropio("3", "sur@example.com");
    recorded("1", 2);
    recorded("2", 0);
    offer("1", 5);  // the 4th is missing: the 5th waits behind it

    GrabarConfig("SyncActual", "1");
    const DownloadRunOutcome primera = descargarOtrosLocales();
    EXPECT_TRUE(downloadedFiles().isEmpty());
    EXPECT_EQ(ledgerRows(), QStringList({"1 03 1 1", "2 05 1 1"}));
    EXPECT_TRUE(store.console().problems().isEmpty());
    EXPECT_TRUE(primera.answered);
    EXPECT_EQ(primera.count, 0);

    GrabarConfig("SyncActual", "2");
    descargarOtrosLocales();
    EXPECT_EQ(ledgerRows(), QStringList({"1 03 1 1", "1 04 0 0", "2 05 1 1"}));
    ASSERT_EQ(store.console().problems().size(), 2);
    EXPECT_TRUE(problem(0).endsWith(" - (1) Problemas de DESCARGA para Local : 1 - Centro"));
    EXPECT_TRUE(
        problem(1).endsWith(" - (2) Segunda Sincronizacion y no se encontro archivo: 1_04122026"));
    EXPECT_TRUE(enviarAvisosCorreo()) << store.log().toStdString();
    const QStringList mails = smtp.mails();
    ASSERT_EQ(mails.size(), 1);
    EXPECT_TRUE(
        mails[0].contains("- (1) Problemas de DESCARGA del Archivo MDB del Local: 1 - "
                          "Centro\r\n- (2) Segunda Sincrinizacion y no se encontro "
                          "archivo: 1_04122026\r\n"))
        << mails[0].toStdString();
}

// Without ledger rows nothing is fetched, and the cycle says why; a ledger that cannot record
// ends the store's walk; a store without a recorded download, or a ledger that is missing,
// not a database or a folder, fetches nothing; the cause names each.
TEST_F(RunTest, LedgerFaultsFetchNothingOrEndTheWalk) {
    for (int day : {3, 4, 5}) offer("1", day);
    DownloadRunOutcome vacio = descargarOtrosLocales();
    QString fallo = vacio.failure;
    EXPECT_FALSE(vacio.answered);
    EXPECT_TRUE(downloadedFiles().isEmpty());
    EXPECT_FALSE(store.log().contains("Cerrando conexion FTP (2)..."));
    EXPECT_TRUE(fallo.startsWith("El ledger " + rutaLedger() + " esta vacio"))
        << fallo.toStdString();

    recorded("1", 3);
    ASSERT_EQ(lumaro::testing::filasLedger(rutaLedger(),
                                           "create trigger refuse before insert on TablasFTP "
                                           "begin select raise(abort, 'read only'); end"),
              QStringList());
    const DownloadRunOutcome sinRegistrar = descargarOtrosLocales();
    fallo = sinRegistrar.failure;
    EXPECT_EQ(sinRegistrar.count, 0);
    EXPECT_EQ(retrCount(), 1);
    EXPECT_EQ(ledgerRows(), QStringList{"1 02 1 1"});
    EXPECT_TRUE(
        fallo.startsWith("No se pudo registrar la descarga de 1_03122026.mdb en el "
                         "ledger " +
                         rutaLedger()))
        << fallo.toStdString();
    EXPECT_TRUE(
        store.logged({"Los Locales 2 - Norte, 4 - Oeste no tienen descarga registrada en "
                      "el ledger " +
                      rutaLedger() +
                      ": no se descargan sus archivos hasta registrar su dia de inicio "
                      "con lumaro-db ledger-iniciar"}));

    const std::pair<const char*, const char*> ledgers[] = {
        {nullptr, "No existe el ledger "}, {"basura", "El ledger "}, {"", "El ledger "}};
    for (const auto& [contenido, causa] : ledgers) {
        QDir(rutaLedger()).removeRecursively();
        QFile::remove(rutaLedger());
        if (contenido) {
            // "": a folder where the ledger should be.
            ASSERT_TRUE(*contenido ? writeFile(rutaLedger(), contenido)
                                   : QDir().mkpath(rutaLedger()));
        }
        fallo = descargarOtrosLocales().failure;
        EXPECT_TRUE(fallo.startsWith(causa + rutaLedger())) << fallo.toStdString();
        EXPECT_EQ(retrCount(), 1);
    }
    EXPECT_TRUE(store.logged({"se omite en esta ejecucion.", rutaLedger() + " es una carpeta",
                              rutaLedger() + " no es una base de datos"}));
}

// A failed transfer (cut, or the server down) is reported per store, records nothing, and the
// next run retries. One of a day fetched again (store 1's 3rd) does not end the walk.
TEST_F(RunTest, FailedTransfersRecordNothingAndTheNextRunRetries) {
    for (const char* id : {"1", "2"}) {
        recorded(id, 1);
        offer(id, 5);
    }
    recorded("1", 3);
    offer("1", 3);
    lumaro::db::setLocalPropio("3", "sur@example.com");
    server.setFault("cut_retr", true);
    EXPECT_EQ(descargarOtrosLocales().count, 0);
    EXPECT_TRUE(downloadedFiles().isEmpty());
    EXPECT_EQ(ledgerRows(), QStringList({"1 02 1 1", "1 04 1 1", "2 04 1 1"}));
    ASSERT_EQ(store.console().problems().size(), 3);  // the second store still tried
    EXPECT_TRUE(problem(1).endsWith(" - Problemas de DESCARGA para Local : 1 - Centro"));
    EXPECT_TRUE(
        store.logged({"Se intento enviar correo: (1) Problemas de DESCARGA del archivo < "
                      "1_05/12/2026 > MDB del Local: 1 - Centro"}));

    store.setPort(unusedPort());
    EXPECT_FALSE(descargarOtrosLocales().answered);
    EXPECT_EQ(store.console().problems().size(), 6);

    server.setFault("cut_retr", false);
    store.setPort(server.port());
    EXPECT_EQ(descargarOtrosLocales().count, 3);
    EXPECT_EQ(downloadedFiles().size(), 3);
}

// Upload run.
class UploadRunTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        // Under a path that names the product.
        snapshots = store.path("LUMARO/out");
        ASSERT_TRUE(QDir().mkpath(snapshots));
        GrabarConfig("RtDbf", snapshots);
    }
    QString local(const QString& name) const { return snapshots + u'/' + name; }
    void put(const QStringList& names, const QByteArray& data = "x") {
        for (const QString& name : names) ASSERT_TRUE(writeFile(local(name), data));
    }
    QStringList stored() const {
        QStringList names;
        for (const QString& c : server.commands())
            if (c.startsWith("STOR ")) names << c.mid(5).chopped(5);
        return names;
    }

    QString snapshots;
};

TEST_F(UploadRunTest, SendsThisStoresFilesDatabasesFirst) {
    put({"3_C_QC5.dbf", "3_04122026.MDB", "3_05122026.mdb"});
    // Left: sent, ledger, product-named, foreign, hidden, read-only, look-alike names.
    const QStringList left{"3_03122026.mdb",        "Seguridad.mdb",   "lumaro_copia.mdb",
                           "2_05122026.mdb",        "clientes.dbf",    ".3_01122026.mdb",
                           "3_02122026.mdb",        "33_05122026.mdb", "3_0412202.mdb",
                           "backup_3_04122026.mdb", "3_X_QC5.dbf"};
    put(left);
    ASSERT_TRUE(writeFile(store.path("MDB_enviadas/020000_3_03122026.mdb"), "s"));
    QFile::setPermissions(local("3_02122026.mdb"), QFileDevice::ReadOwner);
    ASSERT_TRUE(writeFile(store.path("temp/3_30112026.mdb"), "t"));

    const UploadOutcome subida = Main();
    EXPECT_EQ(stored(),
              QStringList({"3_30112026.mdb", "3_05122026.mdb", "3_04122026.MDB", "3_C_QC5.dbf"}));
    EXPECT_TRUE(subida.done && subida.failure.isEmpty());
    EXPECT_TRUE(
        store.logged({"Se termino la SUBIDA de archivos.", "Se omite el archivo < 2_05122026.mdb >",
                      "Se omite el archivo < clientes.dbf >"}));
    QStringList kept = QDir(snapshots).entryList(QDir::Files | QDir::Hidden), expected = left;
    kept.sort();
    expected.sort();
    EXPECT_EQ(kept, expected);
}

// Registry not loaded this cycle: the recorded active store is used; with none nothing is sent.
TEST_F(UploadRunTest, WithoutTheRegistryTheRecordedActiveStoreIsUsed) {
    put({"3_05122026.mdb"});
    lumaro::db::setLocalPropio(QString(), QString());
    GrabarConfig("Local_Activo", "3");
    EXPECT_TRUE(Main().done);
    EXPECT_EQ(stored(), QStringList{"3_05122026.mdb"});

    put({"3_04122026.mdb"});
    GrabarConfig("Local_Activo", QString());
    const UploadOutcome sinLocal = Main();
    EXPECT_EQ(stored(), QStringList{"3_05122026.mdb"});
    EXPECT_FALSE(sinLocal.done);
    EXPECT_TRUE(store.logged({"no se conoce el Local propio"}));
    EXPECT_TRUE(sinLocal.failure.contains("Local propio"));
}

TEST_F(UploadRunTest, NothingIsSentWithoutTheDaysSnapshot) {
    put({"3_04122026.mdb"});
    EXPECT_TRUE(Main().done);
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_TRUE(store.logged(
        {"archivo < 3_05122026.mdb > para SUBIRLO al FTP (si esta es la primera sincronizacion"}));

    // A snapshot generated just before midnight is this cycle's file of the day.
    GrabarConfig("BD_Temp", "3_04122026.mdb");
    Main();
    EXPECT_EQ(stored(), QStringList{"3_04122026.mdb"});

    // A folder this system cannot have: the run fails with its cause, it does not wait.
    GrabarConfig("RtDbf", "C:\\Lumaro\\Dbf");
    const UploadOutcome sinCarpeta = Main();
    EXPECT_FALSE(sinCarpeta.done);
    EXPECT_TRUE(sinCarpeta.failure.contains("C:\\Lumaro\\Dbf")) << sinCarpeta.failure.toStdString();
}

// A refused upload is reported (with the mail line), keeps its file and holds back no other.
TEST_F(UploadRunTest, RefusedUploadsAreReportedAndDoNotHoldBackTheOthers) {
    put({"3_05122026.mdb", "3_04122026.mdb", "3_C_QC5.dbf"});
    lumaro::db::setLocalPropio("3", "sur@example.com");
    server.setFault("refuse_stor", true);
    const UploadOutcome rechazada = Main();
    EXPECT_FALSE(rechazada.done);
    EXPECT_TRUE(QFileInfo::exists(local("3_05122026.mdb")));
    EXPECT_TRUE(store.logged({"Problemas al SUBIR archivo local < 3_05122026.mdb >. N=25. D=",
                              "Problemas al SUBIR archivo < 3_04122026.mdb >. N=25. D=",
                              "Se intento enviar correo: Detallando problemas al SUBIR archivo "
                              "local < 3 - 05122026.mdb >."}));
    EXPECT_TRUE(rechazada.failure.contains("el FTP respondio 550"));

    server.setFault("refuse_stor", false);
    put({"3_03122026.mdb"});
    ASSERT_TRUE(writeFile(remote("3_03122026.mdb"), "another PC"));
    const qsizetype refused = stored().size();
    EXPECT_FALSE(Main().done);
    EXPECT_EQ(stored().mid(refused),
              QStringList({"3_05122026.mdb", "3_04122026.mdb", "3_C_QC5.dbf"}));
    EXPECT_TRUE(store.console().problems().last().endsWith(
        " - Problemas al SUBIR archivo < 3_03122026.mdb >."));
    EXPECT_TRUE(QFileInfo::exists(local("3_03122026.mdb")));
}

// Problem mails at the end of a cycle.
using Security = SmtpServer::Security;
const char* const kSent = "Se envio correo a < sur@example.com > con 2 aviso(s).";

struct MailCase {
    const char* name;
    Security security;
    const char* ca;        // "CA" of [Correo]; empty: the system's
    const char* password;  // "Contraseña" of [Correo]; the server takes "correo-clave"
    int port;              // 0: the server's; 1: a closed one; -1: no [Correo] section
    const char* logText;   // kSent: one mail sent; nullptr: nothing about mail logged
};

class MailTest : public ::testing::TestWithParam<MailCase> {};

TEST_P(MailTest, OneMailPerCycleOrTheReasonInTheLog) {
#ifdef _WIN32
    GTEST_SKIP() << kSinTlsPorDireccion;  // the mail goes over TLS
#endif
    const MailCase& c = GetParam();
    const int sent = c.logText == kSent;
    SmtpServer smtp(c.security, "good", "tienda3", "correo-clave");
    ASSERT_GT(smtp.port(), 0);
    StoreFolder store(unusedPort());
    if (c.port >= 0)
        configurarCorreo(c.port ? unusedPort() : smtp.port(), c.security, c.ca, "tienda3",
                         c.password);
    lumaro::db::setLocalPropio("3", "sur@example.com");
    lumaro::run::EscribirLogCorreo("Se intento enviar correo: (1) primer problema");
    lumaro::run::EscribirLogCorreo("Se intento enviar correo, detallando segundo problema");

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(enviarAvisosCorreo(), sent == 1);
    EXPECT_LT(elapsed.elapsed(), 1000 * kCorreoTotalSegundos);
    EXPECT_TRUE(lumaro::run::tomarAvisosCorreo().isEmpty());
    EXPECT_EQ(store.log().contains(c.logText ? c.logText : "correo a"), c.logText != nullptr)
        << store.log().toStdString();
    EXPECT_FALSE(store.log().contains(c.password));
    const QStringList mails = smtp.mails();
    ASSERT_EQ(mails.size(), sent);
    if (sent) {
        EXPECT_TRUE(mails[0].startsWith("From: tienda3@example.com\nTo: sur@example.com\n"));
        EXPECT_TRUE(mails[0].contains("Subject: Problemas de sincronizacion del Local 3\r\n"));
        EXPECT_TRUE(
            mails[0].contains("\r\n- (1) primer problema\r\n- Detallando segundo problema\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, MailTest,
    ::testing::Values(
        MailCase{"StartTls", Security::StartTls, "ca.pem", "correo-clave", 0, kSent},
        MailCase{"ImplicitTls", Security::Implicit, "ca.pem", "correo-clave", 0, kSent},
        MailCase{"WrongPassword", Security::StartTls, "ca.pem", "otra-Secreta!", 0,
                 "No se pudo enviar correo a < sur@example.com >: N=67"},
        MailCase{"UntrustedCertificate", Security::StartTls, "", "correo-clave", 0,
                 "No se pudo enviar correo a < sur@example.com >: N=60"},
        MailCase{"ServerDown", Security::StartTls, "ca.pem", "correo-clave", 1,
                 "No se pudo enviar correo a < sur@example.com >: N=7"},
        MailCase{"WithoutSection", Security::StartTls, "", "correo-clave", -1, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
