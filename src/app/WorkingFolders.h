#pragma once
// The working folders under the program folder, and the test for files of this store that
// wait to be uploaded.

#include <QStringList>

namespace lumaro::app {

// In the order start-up creates them.
QStringList carpetasTrabajo();
// Creates each working folder that is missing; an existing file of that name counts as
// present. A folder that cannot be created is logged and left to the phases that use it.
void crearCarpetasTrabajo();
// True when one of this store's exchange files (<store>_<ddmmyyyy>.mdb,
// <store>_<C|T|A|K>_<xxx>.dbf, the store taken from "Local_Activo") waits unsent in the
// snapshot folder ("RtDbf") or the temp folder: no copy of it in MDB_enviadas.
bool hayArchivosPorSubir();

}  // namespace lumaro::app
