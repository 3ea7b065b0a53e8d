#include "FtpServerFixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "config/Clock.h"
#include "config/RunState.h"
#include "config/Settings.h"
#include "ftp/FtpSettings.h"

namespace lumaro::ftp::test {

FtpServer::FtpServer(Mode mode) {
    QDir(m_dir.path()).mkpath(QStringLiteral("root"));
    QDir(m_dir.path()).mkpath(QStringLiteral("control"));
    const QString portFile = m_dir.filePath(QStringLiteral("port"));
    QStringList args{LUMARO_SOURCE_DIR "/tests/ftp/ftp_server.py",
                     "--root",
                     root(),
                     "--port-file",
                     portFile,
                     "--control",
                     m_dir.filePath("control"),
                     "--command-log",
                     m_dir.filePath("commands.log")};
    if (mode == Mode::Silent) args << "--silent";
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's interpreter carries pyftpdlib; another python3 first on PATH may not.
    m_process.start(QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3", args);
    if (!m_process.waitForStarted(5000)) return;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000 && m_process.state() == QProcess::Running) {
        QFile file(portFile);
        if (file.open(QIODevice::ReadOnly)) {
            m_port = file.readAll().trimmed().toInt();
            if (m_port > 0) return;
        }
        QThread::msleep(20);
    }
}

FtpServer::~FtpServer() {
    m_process.kill();
    m_process.waitForFinished(5000);
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

int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
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

QString StoreFolder::path(const QString& relative) const {
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

QString StoreFolder::log() const {
    return QString::fromLatin1(readAll(lumaro::config::logPath(lumaro::config::Clock::today())));
}

void ExchangeTest::SetUp() {
    ASSERT_TRUE(server.running()) << "the loopback FTP server did not start";
    QDir(server.root()).mkpath(QStringLiteral("intercambio"));
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

QByteArray bytes(int size, char seed) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) data[i] = static_cast<char>(seed + i % 23);
    return data;
}

}  // namespace lumaro::ftp::test
