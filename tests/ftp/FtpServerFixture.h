#pragma once
// A program folder set up as one store, and loopback FTP and SMTP servers for the test.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

#include "config/HeadlessConsole.h"

namespace lumaro::ftp::test {

// Certificates made once per program by make_certs.py (ca.pem; good, expired, ... .pem/.key).
QString certificates();

// A server script of tests/ftp with a folder of its own, killed on exit; port 0: it never listened.
class ScriptServer {
public:
    ~ScriptServer();
    int port() const { return m_port; }

protected:
    void start(const QString& script, const QStringList& args);  // waits until it listens

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

class FtpServer : public ScriptServer {
public:
    // Root holds "intercambio"; a certificate (of certificates()) requires explicit TLS.
    explicit FtpServer(const QString& certificate = QString(), bool passive = false);
    bool running() const { return m_port > 0; }
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    QString remote(const QString& path) const;
    void setFault(const QString& fault, bool on);
    QStringList commands() const;  // every command the server received
};

// A loopback SMTP server (tests/ftp/smtp_server.py) that saves what it accepts.
class SmtpServer : public ScriptServer {
public:
    enum class Security { StartTls, Implicit };
    // Requires TLS with the certificate and, with a user, that login.
    SmtpServer(Security security, const QString& certificate, const QString& user,
               const QString& password);
    QStringList mails() const;  // every accepted message, envelope lines first
};

// Writes [Correo] (sender tienda3@example.com; CA of certificates(), empty: the system's).
void configurarCorreo(int port, SmtpServer::Security security, const QString& ca,
                      const QString& user, const QString& password);

// A loopback port on which nothing answers: connections are refused or, listening, accepted by
// the system and never answered (a hung server) until the program ends.
int unusedPort(bool listening = false);

// A store's program folder, settings and recording console; restores program state on exit.
class StoreFolder {
public:
    explicit StoreFolder(int port);  // exchange folder "intercambio"
    ~StoreFolder();

    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    QString log() const;  // today's run log
    // Success when the log holds every text; otherwise names the first missing one.
    ::testing::AssertionResult logged(const QStringList& texts) const;
    lumaro::config::HeadlessConsole& console() { return m_console; }
    void setPort(int port);

private:
    QTemporaryDir m_dir;
    lumaro::config::HeadlessConsole m_console;
};

// A server and a store folder pointed at it, the clock fixed at 5 December 2026, 14:30:15.
class ExchangeTest : public ::testing::Test {
protected:
    void SetUp() override;
    QString remote(const QString& name) const { return server.remote("intercambio/" + name); }

    FtpServer server;
    StoreFolder store{server.port()};
};

QByteArray readAll(const QString& path);
bool writeFile(const QString& path, const QByteArray& data);
QByteArray bytes(int size);  // letters in a repeating pattern

}  // namespace lumaro::ftp::test

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
