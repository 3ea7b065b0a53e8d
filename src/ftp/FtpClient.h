#pragma once
// One FTP session on libcurl: login with the configured user, active mode (PORT) unless
// passive is configured, explicit TLS when configured, binary transfers, time limits on
// every step. The session's connection lives as long as the object, so every way out of a
// transfer releases it.
//
// While a transfer runs, pending window events are let through regularly, and the transfer
// is abandoned as soon as RunState::cancelTransfer is set, when it falls below the least
// average rate or passes the longest time of FtpTimeouts; the result then says which.

#include <QString>
#include <QStringList>
#include <memory>

#include "ftp/FtpSettings.h"

namespace lumaro::ftp {

struct FtpResult {
    bool ok = false;
    // True when the server could not be reached or refused the login: nothing was asked.
    bool notConnected = false;
    int code = 0;     // libcurl's error number, or 0
    QString message;  // what went wrong, for the log
    // The same in a few words an operator can act on ("el servidor FTP no responde en
    // 10.0.0.5:21", "sin espacio en /tienda/MDB_descargadas").
    QString cause;

    static FtpResult success() { return FtpResult{true, false, 0, QString(), QString()}; }
    static FtpResult failure(const QString& why) { return FtpResult{false, false, 0, why, why}; }
};

// Uploads travel under this suffix and get their name only when complete; names carrying it
// never count as present on the server.
inline constexpr char kTemporarySuffix[] = ".part";
bool isTemporaryName(const QString& name);

// False when the libcurl in use cannot protect active mode's data connection with TLS; a
// session with "FtpTLS" then refuses to start unless "FtpPasivo" is set.
bool tlsEnModoActivoDisponible();

class FtpClient {
public:
    explicit FtpClient(const FtpSettings& settings);
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // The entries of a server folder, one per line: files by name, folders by name and "/".
    // Temporary upload names are left out. A failed or timed-out listing is a failure, never
    // an empty folder; so is one beyond the bounds of FtpTimeouts, read as it arrives and
    // never held whole.
    FtpResult list(const QString& folder, QStringList* entries);

    // Fetches remotePath into localPath (replaced when present). localPath is written only by
    // this call; the caller gives it a temporary name. expectedSize receives the server's size
    // of the file once the transfer is over (-1 when the server does not say).
    FtpResult download(const QString& remotePath, const QString& localPath, qint64* expectedSize);

    // The server's size of a file now, or -1 when it cannot tell.
    FtpResult remoteSize(const QString& remotePath, qint64* size);

    // Sends localPath to the remote folder under a temporary name and renames it to name
    // once the server holds all of it (a temporary that came out shorter is removed and the
    // upload fails). With replace, a remote file of that name is removed first.
    FtpResult upload(const QString& localPath, const QString& remoteFolder, const QString& name,
                     bool replace);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace lumaro::ftp
