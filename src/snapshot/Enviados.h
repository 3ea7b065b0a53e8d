#pragma once
// The record of what this store sent: every uploaded file is archived in
// <program folder>/MDB_enviadas as hhmmss_<name>.

#include <QString>

namespace lumaro::snapshot {

// The sent-file test: MDB_enviadas holds a file named "<anything>_<nombre>". Letter case is
// ignored, as the file system of the stores does.
bool yaEnviado(const QString& nombre);

}  // namespace lumaro::snapshot
