#include "db/IdentifierMap.h"

namespace lumaro::db {

namespace {

bool isIdentStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isIdentPart(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

// Index just past a quoted run opened at `i` and closed by `close` (doubled closers stay
// inside). An unclosed run ends the text.
qsizetype skipQuoted(const QString& s, qsizetype i, QChar close) {
    ++i;
    while (i < s.size()) {
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close && close != u']') {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

}  // namespace

void IdentifierMap::add(const QString& storedName) {
    m_names.insert(storedName.toCaseFolded(), storedName);
}

void IdentifierMap::addAll(const QStringList& storedNames) {
    for (const QString& n : storedNames) add(n);
}

QString IdentifierMap::rewrite(const QString& sql) const {
    if (m_names.isEmpty()) return sql;
    QString out;
    out.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto mapped = [this](const QString& name) {
        const auto it = m_names.constFind(name.toCaseFolded());
        return it == m_names.constEnd() ? name : it.value();
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'') {
            const qsizetype end = skipQuoted(sql, i, c);
            out += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (c == u'"' || c == u'`' || c == u'[') {
            // A delimited name: its content is a name too.
            const QChar close = c == u'[' ? QChar(u']') : c;
            const qsizetype end = skipQuoted(sql, i, close);
            const bool closed = end <= n && end > i + 1 && sql[end - 1] == close;
            if (closed && !sql.mid(i + 1, end - i - 2).contains(close)) {
                out += c;
                out += mapped(sql.mid(i + 1, end - i - 2));
                out += close;
            } else {
                out += QStringView(sql).mid(i, end - i);
            }
            i = end;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            qsizetype end = sql.indexOf(u'\n', i);
            end = end < 0 ? n : end;
            out += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            end = end < 0 ? n : end + 2;
            out += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (c.isDigit()) {
            qsizetype end = i + 1;
            while (end < n && (isIdentPart(sql[end]) || sql[end] == u'.')) ++end;
            out += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (isIdentStart(c)) {
            qsizetype end = i + 1;
            while (end < n && isIdentPart(sql[end])) ++end;
            out += mapped(sql.mid(i, end - i));
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace lumaro::db
