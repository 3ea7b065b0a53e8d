#include "MariaDbServer.h"

#ifndef _WIN32
#include <unistd.h>
#endif
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

namespace lumaro::testing {

static QString tool(const QString& name) {
    return QStandardPaths::findExecutable(
        name, {"/usr/sbin", "/usr/bin", "/usr/local/bin", "/usr/local/sbin"});
}

bool MariaDbServer::start(QString* error) {
#ifdef _WIN32
    *error = QStringLiteral("the loopback MariaDB server is a Linux program: not on Windows");
    return false;
#endif
    if (tool("mariadb-install-db").isEmpty() || tool("mariadbd").isEmpty() ||
        tool("mariadb").isEmpty()) {
        *error = QStringLiteral("mariadb-server is not installed");
        return false;
    }
    const QString data = m_dir.filePath("data");
    // As root the server must be told to stay root; otherwise it runs as the caller.
#ifdef _WIN32
    const QStringList asUser;
#else
    const QStringList asUser = geteuid() == 0 ? QStringList{"--user=root"} : QStringList{};
#endif
    QProcess install;
    install.start(tool("mariadb-install-db"),
                  QStringList{"--no-defaults", "--datadir=" + data, "--skip-test-db",
                              "--auth-root-authentication-method=normal"} +
                      asUser);
    if (!install.waitForFinished(120000) || install.exitCode() != 0) {
        *error = "mariadb-install-db: " + QString::fromLocal8Bit(install.readAllStandardError());
        return false;
    }
    QTcpServer probe;  // a free loopback port
    probe.listen(QHostAddress::LocalHost, 0);
    m_port = probe.serverPort();
    probe.close();
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start(
        tool("mariadbd"),
        {"--no-defaults", "--datadir=" + data, "--user=root", "--port=" + QString::number(m_port),
         "--bind-address=127.0.0.1", "--socket=" + m_dir.filePath("sock"),
         "--pid-file=" + m_dir.filePath("pid"), "--lower-case-table-names=0", "--skip-log-bin",
         "--innodb-buffer-pool-size=16M", "--log-error=" + m_dir.filePath("error.log")});
    for (int i = 0; i < 300 && m_server.waitForStarted(10000); ++i) {
        if (runAsRoot("select 1")) return true;
        QThread::msleep(100);
    }
    *error = QStringLiteral("mariadbd did not start or answer");
    return false;
}

bool MariaDbServer::runAsRoot(const QString& sql, QString* error) {
    QProcess client;
    client.start(tool("mariadb"),
                 {"--no-defaults", "--socket=" + m_dir.filePath("sock"), "-uroot", "-e", sql});
    const bool ok = client.waitForFinished(30000) && client.exitCode() == 0;
    if (!ok && error) *error = QString::fromLocal8Bit(client.readAllStandardError());
    return ok;
}

MariaDbServer::~MariaDbServer() {
    m_server.terminate();
    if (!m_server.waitForFinished(30000)) m_server.kill();
    m_server.waitForFinished(5000);
}

}  // namespace lumaro::testing
