#pragma once
// Where and how the transfers reach the FTP server.

#include <QString>
#include <QtGlobal>

namespace lumaro::ftp {

// The settings of section [Inicio] that every transfer reads at its start. Without the
// optional keys the session is plain FTP in active mode.
struct FtpSettings {
    QString host;      // "IpFtp": a host name or address, optionally followed by ":port"
    QString user;      // "UsuarioFtp"
    QString password;  // "ContraseñaFtp", used exactly as written
    QString subFile;   // "SubFile": the exchange folder, relative to the login folder
    // "FtpTLS": empty or 0 is plain FTP; any other value requires explicit TLS (AUTH TLS) on
    // the control and the data connections, and no login happens without it. The server's
    // certificate and host name are always verified.
    bool tls = false;
    // "FtpCA": a PEM file of the certificates to trust instead of the system's (a private CA,
    // or the server's own self-signed certificate); relative to the program folder.
    QString caFile;
    bool passive = false;  // "FtpPasivo": 1 for passive mode (PASV); otherwise active (PORT)

    static FtpSettings read();

    // The exchange folder as the listing asks for it: every "\" turned into "/".
    QString listingFolder() const;
    // The remote path of a transfer: "SubFile" exactly as configured, "/", the name.
    QString transferPath(const QString& name) const;
};

// Limits that keep an unattended run from waiting for ever on a dead or stuck server, and
// from holding a listing of any size.
struct FtpTimeouts {
    int connectSeconds = 20;   // reaching the server
    int responseSeconds = 30;  // any one answer of the server (the greeting and login included)
    int stallSeconds = 60;     // a transfer that moves no byte for this long is cut
    int listingSeconds = 60;   // a whole listing
    // Once its first byte moved, a transfer must keep an average of minBytesPerSecond after
    // its first graceSeconds: a file of S bytes gets at most graceSeconds + S /
    // minBytesPerSecond. A line of a few kilobytes per second meets it with room to spare.
    int graceSeconds = 60;
    int minBytesPerSecond = 2048;
    int maxTransferSeconds = 3600;  // no transfer lasts longer, whatever its size
    // A listing beyond either bound is refused rather than held in memory.
    qint64 maxListingBytes = qint64{32} << 20;
    int maxListingEntries = 200000;
};

// A switch of the settings file: on unless empty or "0", so that a mistyped value keeps the
// safer choice.
bool activado(const QString& valor);
// A file named in the settings: absolute as written, or relative to the program folder.
QString rutaConfigurada(const QString& valor);

FtpTimeouts ftpTimeouts();
// Tests shorten the limits; the defaults come back with FtpTimeouts{}.
void setFtpTimeouts(const FtpTimeouts& timeouts);

}  // namespace lumaro::ftp
