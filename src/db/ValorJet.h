#pragma once
// A value of a Jet file as the program's own QVariant forms take it.

#include <QVariant>

#include "jet/JetTypes.h"

namespace lumaro::db {

// Null stays null, integers become qlonglong, Currency a double, Date/Time a QDateTime at whole
// seconds holding the stored wall-clock parts (in UTC, so no zone is ever consulted, as
// snapshot::valorColumna keeps it), text a QString, bytes a QByteArray.
QVariant valorJet(const jet::Value& value);

}  // namespace lumaro::db
