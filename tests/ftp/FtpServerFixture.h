#pragma once
// A program folder set up as one store, and loopback FTP and SMTP servers for the test.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <ostream>

#include "config/Clock.h"
#include "config/Cp1252.h"
#include "config/Settings.h"
#include "ftp/FtpSettings.h"
#include "jet/Writer.h"
#include "run/AvisosCorreo.h"
#include "run/HeadlessConsole.h"
#include "run/RunState.h"

using lumaro::run::RunState;
using lumaro::run::runState;
using lumaro::run::setConsole;
using lumaro::run::tomarAvisosCorreo;

namespace lumaro::ftp::test {

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// Letters in a repeating pattern.
inline QByteArray bytes(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) data[i] = static_cast<char>('a' + i % 23);
    return data;
}

// A whole Jet database of one table of numbered text rows, as its bytes; about 300 bytes a
// row, so a snapshot of any size the test needs.
inline QByteArray jetFile(int rows) {
    using namespace lumaro::jet;
    static QHash<int, QByteArray> made;
    if (made.contains(rows)) return made[rows];
    QTemporaryDir dir;
    auto writer = Writer::create(dir.filePath("x.mdb").toStdString());
    auto table =
        writer ? writer.value()->createTable(
                     {"Filas", {{"n", ColumnType::Long, 4}, {"texto", ColumnType::Text, 200}}})
               : Result<Writer::TableHandle>(Status::ioError("no writer"));
    for (int i = 0; i < rows && table; ++i)
        writer.value()->insert(table.value(), {int64_t{i}, std::string(200, char('a' + i % 23))});
    if (!table || !writer.value()->commit()) return QByteArray();
    return made[rows] = readAll(dir.filePath("x.mdb"));
}

// Debian's interpreter carries pyftpdlib and aiosmtpd; another python3 first on PATH may not.
inline QString python() {
    return QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

#ifdef _WIN32
// Under Wine a test cannot start a Linux program and talk to it: tests/ftp/lanzador.py, run
// beside the test by scripts/windows.sh on the folder in LUMARO_LANZADOR, starts the script and
// answers with the first line it printed (empty once a script that prints nothing has ended).
// *request names the request, to stop the server with.
inline QByteArray askLauncher(const QString& script, const QStringList& args,
                              QString* request = nullptr) {
    const QString folder = qEnvironmentVariable("LUMARO_LANZADOR");
    static int count = 0;
    const QString base = QDir(folder).filePath(QStringLiteral("%1-%2-%3")
                                                   .arg(QCoreApplication::applicationPid())
                                                   .arg(QDateTime::currentMSecsSinceEpoch())
                                                   .arg(++count));
    if (folder.isEmpty() ||
        !writeFile(base + ".tmp", (QStringList{script} + args).join('\n').toUtf8()) ||
        !QFile::rename(base + ".tmp", base + ".pedido"))
        return {};
    if (request) *request = base;
    for (int i = 0; i < 1200 && !QFile::exists(base + ".puerto"); ++i) QThread::msleep(50);
    return readAll(base + ".puerto").trimmed();
}
#endif

#ifdef _WIN32
// libcurl 7.88 over Schannel matches a server's certificate to a host name only, never to an
// address such as 127.0.0.1, where the loopback servers are.
constexpr const char* kSinTlsPorDireccion =
    "libcurl over Schannel does not match a certificate to 127.0.0.1: TLS cases run on Linux";
#endif

// Certificates made once per program by make_certs.py (ca; good, expired, ... as .pem and .key).
inline QString certificate(const QString& name) {
    static QTemporaryDir folder;
#ifdef _WIN32
    static const bool made = (askLauncher("make_certs.py", {folder.path()}),
                              QFileInfo::exists(folder.filePath("ca.pem")));
#else
    static const bool made =
        QProcess::execute(python(),
                          {LUMARO_SOURCE_DIR "/tests/ftp/make_certs.py", folder.path()}) == 0;
#endif
    return made ? folder.filePath(name) : QString();
}

// A server script of tests/ftp with a folder of its own, killed on exit; port 0: it never listened.
class ScriptServer {
public:
    ~ScriptServer() {
#ifdef _WIN32
        if (!m_request.isEmpty()) writeFile(m_request + ".fin", QByteArray());
#endif
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }

protected:
    void start(const QString& script, const QStringList& args) {
#ifdef _WIN32
        m_port = askLauncher(script, args, &m_request).toInt();
        return;
#endif
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(python(), QStringList{LUMARO_SOURCE_DIR "/tests/ftp/" + script} + args);
        // The script prints its port once it listens.
        if (m_process.waitForReadyRead(15000)) m_port = m_process.readLine().trimmed().toInt();
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_request;
    int m_port = 0;
};

class FtpServer : public ScriptServer {
public:
    // Root holds "intercambio"; a certificate (a name of make_certs.py) requires explicit TLS.
    explicit FtpServer(const QString& cert = QString(), bool passive = false) {
        QDir(m_dir.path()).mkpath(QStringLiteral("root/intercambio"));
        QDir(m_dir.path()).mkpath(QStringLiteral("control"));
        QStringList args{"--root",        root(),
                         "--control",     m_dir.filePath("control"),
                         "--command-log", m_dir.filePath("commands.log")};
        if (!cert.isEmpty())
            args << "--cert" << certificate(cert + ".pem") << "--key" << certificate(cert + ".key");
        if (passive) args << "--passive";
        start("ftp_server.py", args);
    }
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    QString remote(const QString& path) const { return QDir(root()).filePath(path); }
    void setFault(const QString& fault, bool on) {
        const QString flag = m_dir.filePath(QStringLiteral("control/") + fault);
        if (on)
            writeFile(flag, QByteArray());
        else
            QFile::remove(flag);
    }
    // Every command the server received.
    QStringList commands() const {
        return QString::fromUtf8(readAll(m_dir.filePath(QStringLiteral("commands.log"))))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

// A loopback SMTP server (tests/ftp/smtp_server.py) that saves what it accepts.
class SmtpServer : public ScriptServer {
public:
    enum class Security { StartTls, Implicit };
    // Requires TLS with the certificate and, with a user, that login.
    SmtpServer(Security security, const QString& cert, const QString& user,
               const QString& password) {
        QDir(m_dir.path()).mkpath(QStringLiteral("mail"));
        QStringList args{"--mail-dir", m_dir.filePath("mail"),
                         "--cert",     certificate(cert + ".pem"),
                         "--key",      certificate(cert + ".key")};
        if (security == Security::Implicit) args << "--implicit";
        if (!user.isEmpty()) args << "--user" << user << "--password" << password;
        start("smtp_server.py", args);
    }
    // Every accepted message, envelope lines first.
    QStringList mails() const {
        const QDir folder(m_dir.filePath(QStringLiteral("mail")));
        QStringList mails;
        for (const QString& name : folder.entryList({QStringLiteral("*.eml")}, QDir::Files))
            mails << QString::fromUtf8(readAll(folder.filePath(name)));
        return mails;
    }
};

// Writes [Correo] (sender tienda3@example.com; CA a name of make_certs.py, empty: the system's).
inline void configurarCorreo(int port, SmtpServer::Security security, const QString& ca,
                             const QString& user, const QString& password) {
    QStringList lines{"[Correo]",
                      "Servidor=127.0.0.1",
                      "Puerto=" + QString::number(port),
                      "Remitente=tienda3@example.com",
                      "Usuario=" + user,
                      QString::fromUtf8("Contraseña=") + password};
    if (security == SmtpServer::Security::Implicit) lines << "Seguridad=TLS";
    if (!ca.isEmpty()) lines << "CA=" + certificate(ca);
    QFile file(lumaro::config::settingsPath());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\r\n" + lumaro::config::toCp1252(lines.join("\r\n")) + "\r\n");
}

// A loopback port on which nothing answers: connections are refused or, listening, accepted by
// the system and never answered (a hung server) until the program ends.
inline int unusedPort(bool listening = false) {
    auto* server = new QTcpServer;  // a listening one stays open until the program ends
    const int port = server->listen(QHostAddress::LocalHost) ? server->serverPort() : 0;
    if (!listening) delete server;
    return port;
}

// A store's program folder (exchange folder "intercambio"), settings and recording console;
// restores program state on exit.
class StoreFolder {
public:
    explicit StoreFolder(int port) {
        using namespace lumaro::config;
        setProgramFolder(m_dir.path());
        setExecutableBaseName(QStringLiteral("lumaro-sync"));
        for (const char* folder :
             {"Error", "MDB_descargadas", "MDB_enviadas", "MDB_Syncronizadas", "temp", "snapshots"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
        setPort(port);
        GrabarConfig(QStringLiteral("UsuarioFtp"), QStringLiteral("tienda"));
        GrabarConfig(QStringLiteral("ContraseñaFtp"), QStringLiteral("clave"));
        GrabarConfig(QStringLiteral("SubFile"), QStringLiteral("intercambio"));
        GrabarConfig(QStringLiteral("RtDbf"), path(QStringLiteral("snapshots")));
        setConsole(&m_console);
        runState() = RunState{};
        // Short limits: a dead or trickling server costs the tests seconds, not minutes; a
        // listing of more than 1000 entries is too large.
        FtpTimeouts limits{2, 2, 2, 3};
        limits.graceSeconds = 2;
        limits.maxListingEntries = 1000;
        setFtpTimeouts(limits);
    }
    ~StoreFolder() {
        using namespace lumaro::config;
        setConsole(nullptr);
        setFtpTimeouts(FtpTimeouts{});
        runState() = RunState{};
        tomarAvisosCorreo();  // mail lines no later test should send
        Clock::setForTesting({});
    }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    // Today's run log.
    QString log() const {
        return QString::fromLatin1(
            readAll(lumaro::config::logPath(lumaro::config::Clock::today())));
    }
    // Success when the log holds every text; otherwise names the first missing one.
    ::testing::AssertionResult logged(const QStringList& texts) const {
        const QString text = log();
        for (const QString& t : texts)
            if (!text.contains(t))
                return ::testing::AssertionFailure()
                       << "not logged: " << t.toStdString() << "\nlog:\n"
                       << text.toStdString();
        return ::testing::AssertionSuccess();
    }
    lumaro::run::HeadlessConsole& console() { return m_console; }
    void setPort(int port) {
        lumaro::config::GrabarConfig(QStringLiteral("IpFtp"),
                                     QStringLiteral("127.0.0.1:") + QString::number(port));
    }

private:
    QTemporaryDir m_dir;
    lumaro::run::HeadlessConsole m_console;
};

// A server and a store folder pointed at it, the clock fixed at 5 December 2026, 14:30:15.
class ExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(server.port(), 0) << "the loopback FTP server did not start";
        lumaro::config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 30, 15)));
    }
    QString remote(const QString& name) const { return server.remote("intercambio/" + name); }

    FtpServer server;
    StoreFolder store{server.port()};
};

}  // namespace lumaro::ftp::test

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
