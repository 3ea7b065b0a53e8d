// Single-file transfer against a real FTP server on loopback (active mode only).

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "FtpServerFixture.h"
#include "config/Clock.h"
#include "config/RunState.h"
#include "config/Settings.h"
#include "ftp/FtpSettings.h"
#include "ftp/Transfer.h"

using namespace lumaro::ftp;
using namespace lumaro::ftp::test;
using lumaro::config::runState;

namespace {

const QString kName = QStringLiteral("2_05122026.mdb");

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running()) << "the loopback FTP server did not start";
        QDir(server.root()).mkpath(QStringLiteral("intercambio"));
        lumaro::config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 30, 15)));
    }
    QString remote(const QString& name) const {
        return server.remote(QStringLiteral("intercambio/") + name);
    }
    QString downloaded(const QString& name) const {
        return store.path(QStringLiteral("MDB_descargadas/") + name);
    }
    // The archive copies in MDB_enviadas (not the marks of uploads under way).
    QStringList enviadas() const {
        return QDir(store.path(QStringLiteral("MDB_enviadas")))
            .entryList(QDir::Files)
            .filter(QRegularExpression(QStringLiteral("^\\d{6}_")));
    }
    QStringList remoteFiles() const {
        return QDir(server.remote(QStringLiteral("intercambio"))).entryList(QDir::Files);
    }

    FtpServer server;
    StoreFolder store{server.port()};
};

// The listing rule, on listing texts as the server's lines.
struct ListingRow {
    const char* label;
    const char* listing;
    bool found;
};

class ListingTest : public ::testing::TestWithParam<ListingRow> {};

TEST_P(ListingTest, MatchesExactTrimmedFileEntries) {
    const ListingRow row = GetParam();
    EXPECT_EQ(existeEnListado(QString::fromUtf8(row.listing), kName), row.found) << row.label;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListingTest,
    ::testing::Values(ListingRow{"exact", "1_05122026.mdb\r\n2_05122026.mdb\r\n", true},
                      ListingRow{"blanks around", "  2_05122026.mdb \r\n", true},
                      ListingRow{"other case", "2_05122026.MDB\r\n", false},
                      ListingRow{"folder entry", "2_05122026.mdb/\r\n", false},
                      ListingRow{"upload in progress", "2_05122026.mdb.part\r\n", false},
                      ListingRow{"prefix only", "2_05122026.mdb.bak\r\n", false},
                      ListingRow{"empty listing", "", false}));

TEST_F(TransferTest, DownloadsAFileInActiveModeAndReplacesTheLocalOne) {
    const QByteArray data = bytes(300000);
    ASSERT_TRUE(writeFile(remote(kName), data));
    ASSERT_TRUE(writeFile(downloaded(kName), "old"));

    EXPECT_TRUE(descargarFileFTP(kName));
    EXPECT_TRUE(runState().results.fileFound);
    EXPECT_EQ(readAll(downloaded(kName)), data);
    EXPECT_FALSE(QFileInfo::exists(downloaded(kName + QStringLiteral(".part"))));
    EXPECT_TRUE(server.commands().contains(QStringLiteral("TYPE I")));
    EXPECT_TRUE(server.commands().filter(QStringLiteral("PORT ")).size() > 0);
    EXPECT_TRUE(
        store.logHas(QStringLiteral("El archivo < 2_05122026.mdb > SI existe en el FTP...")));
    EXPECT_TRUE(store.logHas(
        QStringLiteral("El archivo < 2_05122026.mdb > se ha DESCARGADO satisfactoriamente...")));
    EXPECT_TRUE(store.logHas(QStringLiteral("Se ha cerrado la conexion al FTP ...")));
    EXPECT_EQ(store.console().eventPanel(),
              QStringLiteral("05/12/2026 02:30:15 pm - El archivo < 2_05122026.mdb > se ha "
                             "DESCARGADO satisfactoriamente..."));
}

TEST_F(TransferTest, ServersWithoutMlsdAreListedByName) {
    ASSERT_TRUE(writeFile(remote(kName), "data"));
    server.setFault(QStringLiteral("no_mlsd"), true);
    EXPECT_TRUE(descargarFileFTP(kName));
    EXPECT_TRUE(runState().results.fileFound);
    EXPECT_EQ(readAll(downloaded(kName)), QByteArray("data"));
    EXPECT_TRUE(server.commands().contains(QStringLiteral("NLST")));
}

// "Parar" pressed while a transfer waits on the server: the transfer ends at once.
class StoppingConsole : public lumaro::config::HeadlessConsole {
public:
    void processEvents() override {
        if (++m_calls == 3) runState().cancelTransfer = true;
    }

private:
    int m_calls = 0;
};

TEST_F(TransferTest, StopRequestedDuringATransferCancelsIt) {
    ASSERT_TRUE(writeFile(remote(kName), bytes(300000)));
    server.setFault(QStringLiteral("stall_retr"), true);
    setFtpTimeouts(FtpTimeouts{5, 20, 20, 20});
    StoppingConsole stopping;
    lumaro::config::setConsole(&stopping);
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(descargarFileFTP(kName));
    EXPECT_LT(took.elapsed(), 8000);
    lumaro::config::setConsole(&store.console());
    EXPECT_FALSE(QFileInfo::exists(downloaded(kName)));
    EXPECT_FALSE(QFileInfo::exists(downloaded(kName + QStringLiteral(".part"))));
    EXPECT_TRUE(store.logHas(QStringLiteral("N=42 D=")));  // aborted by the progress callback
}

TEST_F(TransferTest, AbsentFilesAreNotAFailure) {
    // Another case, a folder of that name and an upload in progress do not count.
    ASSERT_TRUE(writeFile(remote(QStringLiteral("2_05122026.MDB")), "x"));
    ASSERT_TRUE(QDir(server.remote(QStringLiteral("intercambio"))).mkdir(kName));
    ASSERT_TRUE(writeFile(remote(kName + QStringLiteral(".part")), "half"));

    EXPECT_TRUE(descargarFileFTP(kName));
    EXPECT_FALSE(runState().results.fileFound);
    EXPECT_FALSE(QFileInfo::exists(downloaded(kName)));
    EXPECT_TRUE(
        store.logHas(QStringLiteral("El archivo < 2_05122026.mdb > NO existe en el FTP...")));
    EXPECT_TRUE(store.logHas(QStringLiteral("[tercera vez] (esto solo implica")));
}

TEST_F(TransferTest, BackslashExchangeFolderListsWithSlashesAndTransfersAsWritten) {
    store.setSubFile(QStringLiteral("in\\box"));
    ASSERT_TRUE(QDir(server.root()).mkpath(QStringLiteral("in/box")));
    ASSERT_TRUE(QDir(server.root()).mkpath(QStringLiteral("in\\box")));
    ASSERT_TRUE(writeFile(server.remote(QStringLiteral("in/box/")) + kName, "listed"));
    ASSERT_TRUE(writeFile(server.remote(QStringLiteral("in\\box/")) + kName, "as written"));

    EXPECT_TRUE(descargarFileFTP(kName));
    EXPECT_EQ(readAll(downloaded(kName)), QByteArray("as written"));
    const QStringList commands = server.commands();
    EXPECT_TRUE(commands.contains(QStringLiteral("CWD box")));
    EXPECT_TRUE(commands.contains(QStringLiteral("CWD in\\box")));
}

TEST_F(TransferTest, UploadArchivesTheFileUnderItsTimeAndRemovesIt) {
    const QString carpeta = store.path(QStringLiteral("snapshots"));
    const QString name = QStringLiteral("3_05122026.mdb");
    ASSERT_TRUE(writeFile(carpeta + QStringLiteral("/") + name, bytes(50000)));

    EXPECT_TRUE(cargarFileFTP(carpeta, name));
    EXPECT_EQ(readAll(remote(name)), bytes(50000));
    EXPECT_EQ(remoteFiles(), QStringList{name});  // no temporary name left behind
    EXPECT_FALSE(QFileInfo::exists(carpeta + QStringLiteral("/") + name));
    EXPECT_EQ(enviadas(), QStringList{QStringLiteral("143015_3_05122026.mdb")});
    EXPECT_TRUE(store.logHas(QStringLiteral("Se ha SUBIDO el archivo satisfactoriamente.")));
    EXPECT_TRUE(server.commands().contains(QStringLiteral("STOR 3_05122026.mdb.part")));

    // The same name again later: the remote file is ours, so it is replaced.
    lumaro::config::Clock::advance(65);
    ASSERT_TRUE(writeFile(carpeta + QStringLiteral("/") + name, "second"));
    EXPECT_TRUE(cargarFileFTP(carpeta, name));
    EXPECT_EQ(readAll(remote(name)), QByteArray("second"));
    EXPECT_EQ(enviadas(), (QStringList{QStringLiteral("143015_3_05122026.mdb"),
                                       QStringLiteral("143120_3_05122026.mdb")}));
}

TEST_F(TransferTest, UploadOfAMissingFileSendsAndArchivesNothing) {
    EXPECT_FALSE(cargarFileFTP(store.path(QStringLiteral("snapshots")), QStringLiteral("3_x.mdb")));
    EXPECT_TRUE(enviadas().isEmpty());
    EXPECT_TRUE(remoteFiles().isEmpty());
    EXPECT_TRUE(store.logHas(QStringLiteral("(A) No se ha podido SUBIR el archivo.")));
    EXPECT_TRUE(store.logHas(
        QStringLiteral("MainProcesoSinc.cargarFileFTP - Error: El arhivo < 3_x.mdb > no existe.")));
}

TEST_F(TransferTest, UploadNeverReplacesARemoteFileThisStoreDidNotSend) {
    const QString carpeta = store.path(QStringLiteral("snapshots"));
    const QString name = QStringLiteral("3_05122026.mdb");
    ASSERT_TRUE(writeFile(remote(name), "from the other PC"));
    ASSERT_TRUE(writeFile(carpeta + QStringLiteral("/") + name, "ours"));

    EXPECT_FALSE(cargarFileFTP(carpeta, name));
    EXPECT_EQ(readAll(remote(name)), QByteArray("from the other PC"));
    EXPECT_EQ(readAll(carpeta + QStringLiteral("/") + name), QByteArray("ours"));
    EXPECT_TRUE(enviadas().isEmpty());
    EXPECT_EQ(store.console().problems().size(), 1);
    EXPECT_TRUE(
        store.logHas(QStringLiteral("(B) Error al intentar SUBIR archivo < 3_05122026.mdb >.")));
}

TEST_F(TransferTest, AnUnansweredUploadOfOursMayBeReplaced) {
    const QString carpeta = store.path(QStringLiteral("snapshots"));
    const QString name = QStringLiteral("3_05122026.mdb");
    ASSERT_TRUE(writeFile(carpeta + QStringLiteral("/") + name, "ours"));
    // An earlier attempt reached the server but its answer never came back.
    ASSERT_TRUE(writeFile(remote(name), "ours"));
    ASSERT_TRUE(
        writeFile(store.path(QStringLiteral("MDB_enviadas/")) + name + QStringLiteral(".enviando"),
                  QByteArray()));

    EXPECT_TRUE(cargarFileFTP(carpeta, name));
    EXPECT_EQ(enviadas(), QStringList{QStringLiteral("143015_3_05122026.mdb")});
}

TEST_F(TransferTest, FailedArchiveCopyKeepsTheSentFile) {
    const QString carpeta = store.path(QStringLiteral("snapshots"));
    const QString name = QStringLiteral("3_05122026.mdb");
    ASSERT_TRUE(writeFile(carpeta + QStringLiteral("/") + name, "data"));
    // MDB_enviadas is a file: nothing can be copied into it.
    ASSERT_TRUE(QDir(store.path()).rmdir(QStringLiteral("MDB_enviadas")));
    ASSERT_TRUE(writeFile(store.path(QStringLiteral("MDB_enviadas")), "blocked"));

    EXPECT_TRUE(cargarFileFTP(carpeta, name));
    EXPECT_TRUE(QFileInfo::exists(carpeta + QStringLiteral("/") + name));
    EXPECT_TRUE(store.logHas(QStringLiteral("a MDB_enviadas; se conserva en")));
}

// Faults: each leaves the local folders as they were and returns false.
enum class Fault {
    ServerDown,
    LoginRefused,
    HungServer,
    CutTransfer,
    GrowingFile,
    StalledTransfer,
    StalledListing,
    Cancelled
};

struct FaultRow {
    const char* label;
    Fault fault;
    const char* logLine;
};

class DownloadFaultTest : public ::testing::TestWithParam<FaultRow> {};

TEST_P(DownloadFaultTest, LeavesNoPartialFileAndKeepsTheOldOne) {
    const FaultRow row = GetParam();
    FtpServer server;
    ASSERT_TRUE(server.running());
    std::unique_ptr<FtpServer> hung;
    QDir(server.root()).mkpath(QStringLiteral("intercambio"));
    ASSERT_TRUE(writeFile(server.remote(QStringLiteral("intercambio/")) + kName, bytes(400000)));
    StoreFolder store(server.port());
    const QString local = store.path(QStringLiteral("MDB_descargadas/")) + kName;
    ASSERT_TRUE(writeFile(local, "earlier copy"));
    switch (row.fault) {
        case Fault::ServerDown:
            store.setPort(unusedPort());
            break;
        case Fault::LoginRefused:
            server.setFault(QStringLiteral("refuse_login"), true);
            break;
        case Fault::HungServer:
            hung = std::make_unique<FtpServer>(FtpServer::Mode::Silent);
            store.setPort(hung->port());
            break;
        case Fault::CutTransfer:
            server.setFault(QStringLiteral("cut_retr"), true);
            break;
        case Fault::GrowingFile:
            server.setFault(QStringLiteral("grow_retr"), true);
            break;
        case Fault::StalledTransfer:
            server.setFault(QStringLiteral("stall_retr"), true);
            break;
        case Fault::StalledListing:
            server.setFault(QStringLiteral("stall_list"), true);
            break;
        case Fault::Cancelled:
            runState().cancelTransfer = true;
            break;
    }
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(descargarFileFTP(kName)) << row.label;
    EXPECT_LT(took.elapsed(), 15000) << row.label;
    EXPECT_EQ(readAll(local), QByteArray("earlier copy")) << row.label;
    EXPECT_FALSE(QFileInfo::exists(local + QStringLiteral(".part"))) << row.label;
    EXPECT_TRUE(store.logHas(QString::fromUtf8(row.logLine))) << row.label << "\n"
                                                              << store.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadFaultTest,
    ::testing::Values(
        FaultRow{"server down", Fault::ServerDown, "No se pudo conectar con el FTP..."},
        FaultRow{"login refused", Fault::LoginRefused, "No se pudo conectar con el FTP..."},
        FaultRow{"hung server", Fault::HungServer, "No se pudo conectar con el FTP..."},
        FaultRow{"cut transfer", Fault::CutTransfer,
                 "No se ha podido DESCARGAR el archivo < 2_05122026.mdb >..."},
        FaultRow{"growing file", Fault::GrowingFile,
                 "Problemas al DESCARGAR el archivo < 2_05122026.mdb >."},
        FaultRow{"stalled transfer", Fault::StalledTransfer,
                 "No se ha podido DESCARGAR el archivo < 2_05122026.mdb >..."},
        FaultRow{"stalled listing", Fault::StalledListing,
                 "No se pudo capturar el listado de archivos del FTP..."},
        FaultRow{"cancelled", Fault::Cancelled, "Transferencia cancelada."}));

TEST_F(TransferTest, RefusedUploadKeepsTheLocalFile) {
    const QString carpeta = store.path(QStringLiteral("snapshots"));
    const QString name = QStringLiteral("3_05122026.mdb");
    ASSERT_TRUE(writeFile(carpeta + QStringLiteral("/") + name, "data"));
    server.setFault(QStringLiteral("refuse_stor"), true);

    EXPECT_FALSE(cargarFileFTP(carpeta, name));
    EXPECT_TRUE(QFileInfo::exists(carpeta + QStringLiteral("/") + name));
    EXPECT_TRUE(enviadas().isEmpty());
    EXPECT_TRUE(store.logHas(QStringLiteral("(A) No se ha podido SUBIR el archivo.")));
    EXPECT_TRUE(
        store.logHas(QStringLiteral("(B) Error al intentar SUBIR archivo < 3_05122026.mdb >.")));
}

TEST_F(TransferTest, UploadToADeadServerFails) {
    const QString carpeta = store.path(QStringLiteral("snapshots"));
    ASSERT_TRUE(writeFile(carpeta + QStringLiteral("/3_05122026.mdb"), "data"));
    store.setPort(unusedPort());
    EXPECT_FALSE(cargarFileFTP(carpeta, QStringLiteral("3_05122026.mdb")));
    EXPECT_TRUE(QFileInfo::exists(carpeta + QStringLiteral("/3_05122026.mdb")));
    EXPECT_TRUE(enviadas().isEmpty());
}

// A full local disk during a download: a 64 KiB tmpfs as MDB_descargadas.
TEST_F(TransferTest, FullDiskDuringDownloadLeavesNothingBehind) {
    const QString folder = store.path(QStringLiteral("MDB_descargadas"));
    QProcess mount;
    mount.start(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                 QStringLiteral("size=64k"), QStringLiteral("tmpfs"), folder});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
    ASSERT_TRUE(writeFile(remote(kName), bytes(300000)));

    EXPECT_FALSE(descargarFileFTP(kName));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(
        store.logHas(QStringLiteral("No se ha podido DESCARGAR el archivo < 2_05122026.mdb >...")));
    QProcess::execute(QStringLiteral("umount"), {folder});
}

}  // namespace
