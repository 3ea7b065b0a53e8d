#pragma once
// Where and how the transfers reach the FTP server.

#include <QString>

namespace lumaro::ftp {

// The four settings of section [Inicio] that every transfer reads at its start.
struct FtpSettings {
    QString host;      // "IpFtp": a host name or address, optionally followed by ":port"
    QString user;      // "UsuarioFtp"
    QString password;  // "ContraseñaFtp", used exactly as written
    QString subFile;   // "SubFile": the exchange folder, relative to the login folder

    static FtpSettings read();

    // The exchange folder as the listing asks for it: every "\" turned into "/".
    QString listingFolder() const;
    // The remote path of a transfer: "SubFile" exactly as configured, "/", the name.
    QString transferPath(const QString& name) const;
};

// Limits that keep an unattended run from waiting for ever on a dead or stuck server.
struct FtpTimeouts {
    int connectSeconds = 20;   // reaching the server
    int responseSeconds = 30;  // any one answer of the server (the greeting and login included)
    int stallSeconds = 60;     // a transfer that moves no byte for this long is cut
    int listingSeconds = 60;   // a whole listing
};

FtpTimeouts ftpTimeouts();
// Tests shorten the limits; the defaults come back with FtpTimeouts{}.
void setFtpTimeouts(const FtpTimeouts& timeouts);

}  // namespace lumaro::ftp
