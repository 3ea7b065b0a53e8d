#pragma once
// Whether a downloaded snapshot arrived whole, told by the Jet engine itself.

#include <QString>

namespace lumaro::ftp {

// True when the file opens as a Jet 4.0 database (a whole number of pages, its header and
// catalog readable) and every user table of its catalog reads to its last row, with at least
// as many rows as its definition counts. Otherwise false, and *motivo says what is missing.
// Leftovers that Access itself leaves in system tables are not looked at.
bool snapshotCompleto(const QString& ruta, QString* motivo);

}  // namespace lumaro::ftp
