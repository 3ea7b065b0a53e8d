#pragma once
// Filing a snapshot between the working folders (MDB_descargadas to MDB_Syncronizadas, or to
// Error), and the words for a write that failed: the operator reads which folder and why (no
// space left, a folder that does not admit writing), never a bare system error.

#include <QString>

namespace lumaro::importer {

// Moves the file to destino, replacing a file of that name: a rename where both folders share
// a disk, otherwise a copy and, once the copy is whole, the deletion of the source. On failure
// the source stays where it was, no partial copy is left, and the cause goes to causa.
bool archivar(const QString& origen, const QString& destino, QString* causa);

// Why a write of about `bytes` into the folder failed: the folder does not exist, no space is
// left in it, it does not admit writing, or else the system's own text. `error` is the
// system's error number when known; 0 (unknown) or EIO make the folder itself be examined.
QString causaEscritura(const QString& carpeta, qint64 bytes, const QString& textoSistema,
                       int error = 0);

}  // namespace lumaro::importer
