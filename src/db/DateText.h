#pragma once
// Dates as the program writes them into statements and the embedded databases store them:
// "yyyy/mm/dd hh:mm:ss", 24-hour clock, always in this invariant form whatever the locale.

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

namespace lumaro::db {

// "yyyy/mm/dd hh:mm:ss"
QString dateTimeText(const QDateTime& value);
// Reads "yyyy/mm/dd hh:mm:ss", "yyyy/mm/dd", or the same with "-" as separator and an
// optional "T" or fraction of a second. nullopt for anything else.
// The QDateTime is in UTC: its date and time are the text's own, with no time zone applied
// (looking up the local zone costs a file system call per value).
std::optional<QDateTime> parseDateTimeText(QStringView text);
// Year, month and day of a stored date text, as the year(), month() and day() functions of
// the embedded dialect see them. False when the text is not a date.
bool dateTextParts(QStringView text, int& year, int& month, int& day);

}  // namespace lumaro::db
