#pragma once
// The program's clock. Everything that reads the time (log file names and line heads, the
// schedule, snapshot names, ledger dates) asks here, so tests can set the time instead of
// waiting for it.

#include <QDateTime>
#include <functional>

namespace lumaro::config {

class Clock {
public:
    static QDateTime now();
    static QDate today() { return now().date(); }
    // Replaces the clock; an empty function restores the system clock.
    static void setForTesting(std::function<QDateTime()> source);
    // A fixed time that advances only when told to.
    static void setFixed(const QDateTime& at);
    static void advance(qint64 seconds);
};

// Names the local time zone for the C library once, at start-up. While TZ is unset, glibc
// reads /etc/localtime again on every local-time conversion (every log line, every local date
// of a merge); naming that same file keeps the zone and lets it answer from memory.
void fijarZonaHoraria();

// The current date and time as the phases show it in the window's status bar and List1:
// "DD/MM/YYYY hh:mm:ss am/pm".
QString marcaTiempo();

}  // namespace lumaro::config
