#include "config/ProfileFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <optional>

#include "config/Cp1252.h"

namespace lumaro::config {

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// "[name]" lines; text after the closing bracket is ignored, as Windows does.
std::optional<QString> sectionName(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('['))) return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    return close < 0 ? t.mid(1) : t.mid(1, close - 1);
}

struct Entry {
    QString key;
    QString value;
};

std::optional<Entry> entry(const QString& line) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';'))) return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0) return std::nullopt;
    return Entry{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
}

QString unquote(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

QStringList readLines(const QString& path, bool* exists, QString* lineEnd) {
    QFile file(path);
    *exists = file.open(QIODevice::ReadOnly);
    if (!*exists) return {};
    const QString text = fromCp1252(file.readAll());
    *lineEnd = text.contains(QLatin1String("\r\n")) || !text.contains(QLatin1Char('\n'))
                   ? QStringLiteral("\r\n")
                   : QStringLiteral("\n");
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

QString ProfileFile::read(const QString& path, const QString& section, const QString& key,
                          int maxChars) {
    bool exists = false;
    QString lineEnd;
    const QStringList lines = readLines(path, &exists, &lineEnd);
    bool inSection = false;
    for (const QString& line : lines) {
        if (const auto name = sectionName(line)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection) continue;
        if (const auto e = entry(line); e && sameName(e->key, key))
            return unquote(e->value).left(maxChars);
    }
    return QString();
}

bool ProfileFile::write(const QString& path, const QString& section, const QString& key,
                        const QString& value, QString* error) {
    bool exists = false;
    QString lineEnd = QStringLiteral("\r\n");
    QStringList lines = readLines(path, &exists, &lineEnd);
    const QString newLine = key.trimmed() + QLatin1Char('=') + value;

    qsizetype sectionAt = -1;      // line of the wanted section's header
    qsizetype lastInSection = -1;  // last non-blank line of that section
    bool replaced = false;
    for (qsizetype i = 0; i < lines.size() && !replaced; ++i) {
        if (const auto name = sectionName(lines[i])) {
            if (sectionAt >= 0) break;  // past the wanted section
            if (sameName(*name, section)) sectionAt = lastInSection = i;
            continue;
        }
        if (sectionAt < 0) continue;
        if (!lines[i].trimmed().isEmpty()) lastInSection = i;
        if (const auto e = entry(lines[i]); e && sameName(e->key, key)) {
            lines[i] = e->key + QLatin1Char('=') + value;
            replaced = true;
        }
    }
    if (!replaced) {
        if (sectionAt >= 0) {
            lines.insert(lastInSection + 1, newLine);
        } else {
            lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
            lines.append(newLine);
        }
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(toCp1252(lines.join(lineEnd) + lineEnd));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace lumaro::config
