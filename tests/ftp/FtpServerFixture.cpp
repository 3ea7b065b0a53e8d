#include "FtpServerFixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "config/Clock.h"
#include "config/Cp1252.h"
#include "config/RunState.h"
#include "config/Settings.h"
#include "ftp/FtpSettings.h"

namespace lumaro::ftp::test {

namespace {

// Debian's interpreter carries pyftpdlib and aiosmtpd; another python3 first on PATH may not.
QString python() { return QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

QString certificate(const QString& base, const char* extension) {
    return QDir(certificates()).filePath(base + QLatin1String(extension));
}

}  // namespace

QString certificates() {
    static QTemporaryDir folder;
    static const bool made =
        QProcess::execute(python(),
                          {LUMARO_SOURCE_DIR "/tests/ftp/make_certs.py", folder.path()}) == 0;
    return made ? folder.path() : QString();
}

void ScriptServer::start(const QString& script, const QStringList& args) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(python(), QStringList{LUMARO_SOURCE_DIR "/tests/ftp/" + script} + args);
    // The script prints its port once it listens.
    if (m_process.waitForReadyRead(15000)) m_port = m_process.readLine().trimmed().toInt();
}

ScriptServer::~ScriptServer() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

FtpServer::FtpServer(const QString& cert, bool passive) {
    QDir(m_dir.path()).mkpath(QStringLiteral("root/intercambio"));
    QDir(m_dir.path()).mkpath(QStringLiteral("control"));
    QStringList args{"--root",        root(),
                     "--control",     m_dir.filePath("control"),
                     "--command-log", m_dir.filePath("commands.log")};
    if (!cert.isEmpty())
        args << "--cert" << certificate(cert, ".pem") << "--key" << certificate(cert, ".key");
    if (passive) args << "--passive";
    start("ftp_server.py", args);
}

QString FtpServer::remote(const QString& path) const { return QDir(root()).filePath(path); }

void FtpServer::setFault(const QString& fault, bool on) {
    const QString flag = m_dir.filePath(QStringLiteral("control/") + fault);
    if (on)
        writeFile(flag, QByteArray());
    else
        QFile::remove(flag);
}

QStringList FtpServer::commands() const {
    return QString::fromUtf8(readAll(m_dir.filePath(QStringLiteral("commands.log"))))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

SmtpServer::SmtpServer(Security security, const QString& cert, const QString& user,
                       const QString& password) {
    QDir(m_dir.path()).mkpath(QStringLiteral("mail"));
    QStringList args{"--mail-dir", m_dir.filePath("mail"),   "--cert", certificate(cert, ".pem"),
                     "--key",      certificate(cert, ".key")};
    if (security == Security::Implicit) args << "--implicit";
    if (!user.isEmpty()) args << "--user" << user << "--password" << password;
    start("smtp_server.py", args);
}

QStringList SmtpServer::mails() const {
    const QDir folder(m_dir.filePath(QStringLiteral("mail")));
    QStringList mails;
    for (const QString& name : folder.entryList({QStringLiteral("*.eml")}, QDir::Files))
        mails << QString::fromUtf8(readAll(folder.filePath(name)));
    return mails;
}

void configurarCorreo(int port, SmtpServer::Security security, const QString& ca,
                      const QString& user, const QString& password) {
    QStringList lines{"[Correo]",
                      "Servidor=127.0.0.1",
                      "Puerto=" + QString::number(port),
                      "Remitente=tienda3@example.com",
                      "Usuario=" + user,
                      QString::fromUtf8("Contraseña=") + password};
    if (security == SmtpServer::Security::Implicit) lines << "Seguridad=TLS";
    if (!ca.isEmpty()) lines << "CA=" + certificate(ca, "");
    QFile file(lumaro::config::settingsPath());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\r\n" + lumaro::config::toCp1252(lines.join("\r\n")) + "\r\n");
}

int unusedPort(bool listening) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (!listening || ::listen(fd, 16) != 0) ::close(fd);
    return port;
}

StoreFolder::StoreFolder(int port) {
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
    // Short limits: a dead server costs the tests seconds, not minutes.
    setFtpTimeouts(FtpTimeouts{2, 2, 2, 3});
}

StoreFolder::~StoreFolder() {
    using namespace lumaro::config;
    setConsole(nullptr);
    setFtpTimeouts(FtpTimeouts{});
    runState() = RunState{};
    Clock::setForTesting({});
}

void StoreFolder::setPort(int port) {
    lumaro::config::GrabarConfig(QStringLiteral("IpFtp"),
                                 QStringLiteral("127.0.0.1:") + QString::number(port));
}

QString StoreFolder::log() const {
    return QString::fromLatin1(readAll(lumaro::config::logPath(lumaro::config::Clock::today())));
}

::testing::AssertionResult StoreFolder::logged(const QStringList& texts) const {
    const QString text = log();
    for (const QString& t : texts)
        if (!text.contains(t))
            return ::testing::AssertionFailure() << "not logged: " << t.toStdString() << "\nlog:\n"
                                                 << text.toStdString();
    return ::testing::AssertionSuccess();
}

void ExchangeTest::SetUp() {
    ASSERT_TRUE(server.running()) << "the loopback FTP server did not start";
    lumaro::config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 30, 15)));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray bytes(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) data[i] = static_cast<char>('a' + i % 23);
    return data;
}

}  // namespace lumaro::ftp::test
