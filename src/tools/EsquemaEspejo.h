#pragma once
// The MySQL mirror's tables as a principal store's MariaDB server holds them. Creating them
// is not the program's job; the demo and the tests set up a mirror with these statements.

#include <QString>

#include "snapshot/DataModel.h"

namespace lumaro::tools {

// One mirror table: the data model's mirror columns, keyed like
// production, in database `base`.
QString tablaEspejo(const snapshot::Table& t, const QString& base);

// Drops and creates the four mirror tables of database `base`.
QString esquemaEspejo(const QString& base);

}  // namespace lumaro::tools
