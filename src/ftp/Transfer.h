#pragma once
// Single-file transfer between the store and the shared FTP server (module MainProcesoSinc).
//
// Every transfer reads "IpFtp", "UsuarioFtp", "ContraseñaFtp" and "SubFile" from [Inicio],
// opens its own session and releases it on every way out. Downloads are written under a
// temporary name and take their real name only when as large as the server's file and read
// whole by the Jet engine, so a cut transfer never leaves a partial snapshot where the merge
// looks for it.

#include <QString>
#include <QStringList>

#include "config/Status.h"

namespace lumaro::ftp {

// What one snapshot download came to.
enum class DownloadOutcome {
    Downloaded,   // the file is in MDB_descargadas, whole
    NotOnServer,  // the listing does not hold it; nothing written
    Failed,       // the server, the listing or the transfer failed
};

// A snapshot download's outcome, and why it failed when it did.
struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Failed;
    QString failure;  // Failed: the cause, in words an operator can act on
};

// One listing of the exchange folder. A download run takes it once and passes it to each
// file it fetches, so a run asks the server for the folder once, however many days it owes.
struct ExchangeListing {
    bool ok = false;  // false: the server could not be reached or the listing failed
    QString failure;  // why it failed
    QStringList entries;
};

// Lists the exchange folder ("Capturar listando..."). A failed listing is logged.
ExchangeListing listarArchivosFTP();

// Fetches the snapshot X of the exchange folder into MDB_descargadas (replacing a file of
// that name), when the listing holds it. Failed when the listing failed, or the transfer
// failed, was too slow, or brought a file the Jet engine cannot read whole; the result then
// holds the cause (the listing's own, when the listing failed).
DownloadResult descargarFileFTP(const QString& nombreArchivo, const ExchangeListing& listado);

// The same with a listing of its own, for a single file.
DownloadResult descargarFileFTP(const QString& nombreArchivo);

// True when an entry of the listing, trimmed of blanks, equals the name exactly (letter case
// counts); folder entries (ending in "/") never match.
bool existeFileFTP(const ExchangeListing& listado, const QString& nombreArchivo);

// Sends carpeta/X to the exchange folder. On success the file is archived as
// MDB_enviadas/hhmmss_X and deleted from carpeta (only if the archive copy was made), and the
// result is true. A remote file of that name that this installation never sent is not
// replaced: false. MDB_enviadas/X.enviando marks the name as this store's from before the
// transfer until the archive copy exists, so a file whose copy failed is sent again later.
// Nothing is sent while that mark cannot be written.
// Ok when the file reached the server (its archive copy may still have failed: the file is
// then left in carpeta, logged, to be sent again); otherwise the cause.
config::Status cargarFileFTP(const QString& carpeta, const QString& nombreArchivo);

// "N=<error number>. D=<what went wrong>" of the last upload that returned false.
QString detalleUltimaCarga();

}  // namespace lumaro::ftp
