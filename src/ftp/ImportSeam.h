#pragma once
// The import run that the upload run calls first.
//
// The upload run sends this store's files only after every downloaded snapshot was merged.
// The import (SyncLocales) installs itself here; it must set RunState's importCompleted and
// return it. Until one is installed, the default merges nothing, says so in the run log, and
// reports completion, so that uploading goes on.

#include <functional>

namespace lumaro::ftp {

using ImportRun = std::function<bool()>;

// Installs the import run; an empty function restores the default.
void setImportRun(ImportRun run);

// Runs the installed import run and returns whether it completed (also left in
// RunState::results.importCompleted).
bool ejecutarImportacion();

}  // namespace lumaro::ftp
