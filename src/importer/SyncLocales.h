#pragma once
// The import run: merges every snapshot that the download run fetched and the ledger lists as
// downloaded but not merged, oldest first per store, files it in MDB_Syncronizadas and marks
// the ledger row merged.
//
// Wiring (done once, where the program is put together):
//   db::setAbridorSnapshot(importer::abrirSnapshot);   // kind 2 of AbrirConexion
//   importer::setEspejoFusion(mirror);                 // the principal store's mirror, or null
//   ftp::setImportRun([] { return importer::SyncLocales(); });
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
//  - Whatever kept the run or a snapshot from completing is also noted, in words, in
//    config::runState().results.importFailure.
// Returns the import-completed flag, also left in config::runState().results.importCompleted:
// true when the run ended normally (even with a table that failed).

#include "importer/ConexionSnapshot.h"
#include "importer/Fusion.h"

namespace lumaro::importer {

bool SyncLocales();

// The marker that remembers a snapshot's first failure to open: "<file>.fallido".
QString marcaFallo(const QString& rutaSnapshot);

}  // namespace lumaro::importer
