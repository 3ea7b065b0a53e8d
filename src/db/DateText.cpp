#include "db/DateText.h"

namespace lumaro::db {

namespace {

// Reads exactly `count` digits at `pos`.
bool readDigits(QStringView text, qsizetype pos, int count, int& out) {
    if (pos + count > text.size()) return false;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[pos + i];
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    out = value;
    return true;
}

bool isDateSeparator(QChar c) { return c == u'/' || c == u'-'; }

}  // namespace

QString dateTimeText(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    if (d.year() < 0 || d.year() > 9999)
        return QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", d.year(), d.month(), d.day(),
                                 t.hour(), t.minute(), t.second());
    // Digits written directly: this runs for every date the copy and the merges handle.
    QChar text[19];
    const auto put = [&text](int pos, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) text[pos + i] = QChar(u'0' + value % 10);
    };
    put(0, d.year(), 4);
    text[4] = text[7] = u'/';
    put(5, d.month(), 2);
    put(8, d.day(), 2);
    text[10] = u' ';
    put(11, t.hour(), 2);
    text[13] = text[16] = u':';
    put(14, t.minute(), 2);
    put(17, t.second(), 2);
    return QString(text, 19);
}

bool dateTextParts(QStringView text, int& year, int& month, int& day) {
    text = text.trimmed();
    if (text.size() < 10 || !isDateSeparator(text[4]) || text[7] != text[4]) return false;
    int y = 0, m = 0, d = 0;
    if (!readDigits(text, 0, 4, y) || !readDigits(text, 5, 2, m) || !readDigits(text, 8, 2, d))
        return false;
    if (!QDate::isValid(y, m, d)) return false;
    year = y;
    month = m;
    day = d;
    return true;
}

std::optional<QDateTime> parseDateTimeText(QStringView text) {
    text = text.trimmed();
    int y = 0, mo = 0, d = 0;
    if (!dateTextParts(text, y, mo, d)) return std::nullopt;
    const QDate date(y, mo, d);
    if (text.size() == 10) return QDateTime(date, QTime(0, 0), Qt::UTC);
    if (text.size() < 19 || (text[10] != u' ' && text[10] != u'T') || text[13] != u':' ||
        text[16] != u':')
        return std::nullopt;
    int h = 0, mi = 0, s = 0;
    if (!readDigits(text, 11, 2, h) || !readDigits(text, 14, 2, mi) ||
        !readDigits(text, 17, 2, s) || !QTime::isValid(h, mi, s))
        return std::nullopt;
    if (text.size() > 19) {
        // A fraction of a second: dates are compared at whole seconds, so it is dropped.
        if (text[19] != u'.') return std::nullopt;
        for (qsizetype i = 20; i < text.size(); ++i)
            if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    }
    return QDateTime(date, QTime(h, mi, s), Qt::UTC);
}

}  // namespace lumaro::db
