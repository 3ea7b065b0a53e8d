#pragma once
// Windows-1252, the 8-bit character set of the settings file and the run log. Qt's own
// converters only know it where Qt was built with ICU, so the table is ours.

#include <QByteArray>
#include <QString>

namespace lumaro::config {

QString fromCp1252(const QByteArray& bytes);
// Characters that Windows-1252 cannot hold become '?'.
QByteArray toCp1252(const QString& text);

}  // namespace lumaro::config
