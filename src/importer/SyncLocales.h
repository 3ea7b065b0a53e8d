#pragma once
// The import run: merges every snapshot that the download run fetched and the ledger lists as
// downloaded but not merged, oldest first per store, files it in MDB_Syncronizadas and marks
// the ledger row merged.
//
// The "Subir File" command runs it before the upload run, which follows only when it
// completed. The principal store's mirror is set once with importer::setEspejoFusion.
//
// Requires the client and logistics connections open (AbrirConexion(3) and (1)).
//  - A snapshot whose table failed stays in MDB_descargadas with its ledger row unmerged, and
//    the store's later snapshots wait: the next run resumes it where it stopped.
//  - A snapshot that cannot be opened stays where it is (a ".fallido" marker beside it
//    remembers it) and goes to Error only when it fails again on a later run; the run then
//    ends as failed.
//    Once in Error, its ledger row is deleted, so that the day is owed and fetched again.
//  - With a production database gone, the run stops and leaves every file and ledger row as
//    it was. A row that production refuses while its connection answers is set aside
//    (FilasApartadas.h) and the rest of the file merges.
//  - A file that cannot be filed (no space left, a folder that does not admit writing) stays
//    in MDB_descargadas with its ledger row unmerged, and the next run files it.
//  - Whatever kept the run or a snapshot from completing comes back, in words, as the
//    outcome's failure.

#include <QMap>

#include "importer/ConexionSnapshot.h"
#include "importer/Fusion.h"

namespace lumaro::importer {

// What an import run came to.
struct ImportOutcome {
    bool completed = false;  // the run ended normally (even with a table that failed)
    // The first cause that kept the run or a snapshot from completing; empty when none did.
    QString failure;
    // Rows written into production per store and table, snapshots that stopped halfway
    // included; tables that wrote none are left out.
    QMap<QString, QMap<QString, qint64>> filas;
};

ImportOutcome SyncLocales();

// The marker that remembers a snapshot's first failure to open: "<file>.fallido".
QString marcaFallo(const QString& rutaSnapshot);

}  // namespace lumaro::importer
