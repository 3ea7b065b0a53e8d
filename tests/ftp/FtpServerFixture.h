#pragma once
// A program folder set up as one store, and a loopback FTP server (tests/ftp/ftp_server.py)
// started for the test and stopped afterwards.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "config/HeadlessConsole.h"

namespace lumaro::ftp::test {

// The folder of the certificates made once per test program by tests/ftp/make_certs.py:
// ca.pem, and good, expired, otherhost, selfsigned as .pem and .key.
QString certificates();

// A server script of tests/ftp with a folder of its own, killed on exit; port 0: it never listened.
class ScriptServer {
public:
    ~ScriptServer();
    int port() const { return m_port; }

protected:
    void start(const QString& script, QStringList args);  // adds --port-file and waits for it

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

class FtpServer : public ScriptServer {
public:
    enum class Mode { Normal, Silent };
    // Starts the server on a free port with its own root (holding the exchange folder
    // "intercambio") and control folders. With a
    // certificate (a base name of certificates()) it requires explicit TLS; passive lets it
    // offer PASV.
    explicit FtpServer(Mode mode = Mode::Normal, const QString& certificate = QString(),
                       bool passive = false);
    bool running() const { return m_port > 0; }
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    // A path under the server's root.
    QString remote(const QString& path) const;
    void setFault(const QString& fault, bool on);
    QStringList commands() const;  // every command the server received
};

// A loopback SMTP server (tests/ftp/smtp_server.py) that saves what it accepts.
class SmtpServer : public ScriptServer {
public:
    enum class Security { StartTls, Implicit };
    // Requires TLS with the certificate (a base name of certificates()) and, with a user, that
    // login.
    SmtpServer(Security security, const QString& certificate, const QString& user,
               const QString& password);
    QStringList mails() const;  // every accepted message, envelope lines first, oldest first
};

// Writes section [Correo] of the settings file for a loopback SMTP server: CA file of
// certificates() (empty: the system's), the sender tienda3@example.com, and a login when
// user is not empty.
void configurarCorreo(int port, SmtpServer::Security security, const QString& ca,
                      const QString& user, const QString& password);

// A port on which nothing listens.
int unusedPort();

// A program folder with the working folders, settings pointing at host:port, and a headless
// console that records what the phases showed. Restores the program-wide state on exit.
class StoreFolder {
public:
    explicit StoreFolder(int port);  // exchange folder "intercambio"
    ~StoreFolder();

    QString path(const QString& relative = QString()) const;
    QString log() const;  // today's run log
    bool logHas(const QString& text) const { return log().contains(text); }
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
QByteArray bytes(int size, char seed = 'a');

}  // namespace lumaro::ftp::test

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
