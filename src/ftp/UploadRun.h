#pragma once
// The upload run (module MainProcesoSinc): sends this store's files. The "Subir File" command
// runs it after the import run, and only when that completed.

#include <QString>
#include <QStringList>

namespace lumaro::ftp {

// What an upload run came to.
struct UploadOutcome {
    bool done = false;  // no upload failed (today's snapshot missing counts as done)
    // Why the run did not complete, or why a sent file is left to be sent again; empty when
    // neither: the first cause met.
    QString failure;
};

// Uploads the MDB files of <program folder>/temp, today's snapshot of "RtDbf", the other
// snapshots of "RtDbf", then its DBF files. From "RtDbf" only this store's exchange files are
// sent. A file the server refuses is reported and the others still go.
UploadOutcome Main();

// The files of carpeta (ending in a separator) with that extension (no dot) that count for
// upload, as carpeta & name in name order, also listed in List2: regular files that are
// neither hidden nor read-only, whose name does not contain SEGURIDAD or LUMARO.
QStringList ListarArchivos(const QString& carpeta, const QString& extension);

// True when nombre is one of this store's exchange files: <id>_<ddmmyyyy>.mdb or
// <id>_<C|T|A|K>_<2-3 letters or digits>.dbf (letter case ignored).
bool esArchivoPropio(const QString& nombre, const QString& idLocalPropio);

// True when one of the folders holds one of this store's exchange files that the listing
// would take and that has no copy in MDB_enviadas yet: a file that waits to be sent. Lists
// nothing in List2.
bool hayArchivosPropiosSinEnviar(const QStringList& carpetas, const QString& idLocalPropio);

}  // namespace lumaro::ftp
