#pragma once
// A test program's own MariaDB: fresh data, loopback, free port, exact-case table names.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace lumaro::testing {

class MariaDbServer {
public:
    // Starts the server; false with the reason in error (binaries missing, start failed).
    bool start(QString* error);
    ~MariaDbServer();

    int port() const { return m_port; }
    // Runs SQL as root through the server's socket; false with the client's output in error.
    bool runAsRoot(const QString& sql, QString* error = nullptr);

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    int m_port = 0;
};

}  // namespace lumaro::testing
