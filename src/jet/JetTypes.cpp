#include "jet/JetTypes.h"

#include <cmath>
#include <cstdio>

namespace lumaro::jet {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const int64_t kEpoch = daysFromCivil(1899, 12, 30);  // day 0 of Jet dates

}  // namespace

DateTime DateTime::fromParts(int year, int month, int day, int hour, int minute, int second) {
    const double whole = static_cast<double>(
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch);
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before the epoch the time of day still counts forward from midnight, so it is stored
    // with the sign of the day: 1899-12-29 06:00 is -1.25.
    return DateTime{whole < 0 ? whole - fraction : whole + fraction};
}

void DateTime::toParts(int& year, int& month, int& day, int& hour, int& minute, int& second) const {
    // Values outside what any calendar field can hold (damaged files) read as day 0.
    const double v = std::isfinite(days) && std::fabs(days) <= 1e7 ? days : 0.0;
    double whole = std::trunc(v);
    int64_t secs = std::llround(std::fabs(v - whole) * 86400.0);
    if (secs >= 86400) {  // rounds up to the next midnight
        secs -= 86400;
        whole += 1;
    }
    civilFromDays(static_cast<int64_t>(whole) + kEpoch, year, month, day);
    hour = static_cast<int>(secs / 3600);
    minute = static_cast<int>(secs / 60 % 60);
    second = static_cast<int>(secs % 60);
}

std::string Currency::toString() const {
    const bool negative = tenThousandths < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(tenThousandths)
                                        : static_cast<uint64_t>(tenThousandths);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return buf;
}

std::string guidToString(const Bytes& b) {
    if (b.size() != 16) return {};
    char buf[48];
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return buf;
}

std::string DateTime::toString() const {
    int y, mo, d, h, mi, s;
    if (!std::isfinite(days) || std::fabs(days) > 1e7) return "invalid date";
    toParts(y, mo, d, h, mi, s);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

}  // namespace lumaro::jet
