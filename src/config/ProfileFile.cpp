#include "config/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "config/Cp1252.h"
#include "config/Platform.h"

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

const QByteArray kBomUtf8("\xEF\xBB\xBF");
const QByteArray kBomUtf16("\xFF\xFE");

// The file's character set: Windows-1252, as the older program and Windows editors write it,
// unless the bytes say UTF-8 (a byte-order mark, or non-ASCII bytes that are valid UTF-8, as
// any Linux editor writes them). Windows-1252 text is valid UTF-8 only where every accented
// letter is followed at once by a symbol such as "±" or "©" ("Ã±"), which no setting holds.
Codificacion detectar(const QByteArray& bytes) {
    if (bytes.startsWith(kBomUtf8)) return Codificacion::Utf8ConBom;
    if (bytes.startsWith(kBomUtf16)) return Codificacion::Utf16ConBom;
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    if (!ascii && bytes.isValidUtf8()) return Codificacion::Utf8;
    return Codificacion::Windows1252;
}

QString decodificar(const QByteArray& bytes, Codificacion c) {
    switch (c) {
        case Codificacion::Utf8ConBom:
            return QString::fromUtf8(bytes.mid(kBomUtf8.size()));
        case Codificacion::Utf8:
            return QString::fromUtf8(bytes);
        case Codificacion::Utf16ConBom:
            return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(kBomUtf16.size()));
        case Codificacion::Windows1252:
            break;
    }
    return fromCp1252(bytes);
}

// The text in the file's own character set; false when Windows-1252 cannot hold a character
// of it (it would be written as '?', changing a password or a path without a word).
bool codificar(const QString& text, Codificacion c, QByteArray* out) {
    if (c == Codificacion::Utf16ConBom) {
        *out = kBomUtf16 + QStringEncoder(QStringEncoder::Utf16LE)(text);
        return true;
    }
    if (c != Codificacion::Windows1252) {
        *out = (c == Codificacion::Utf8ConBom ? kBomUtf8 : QByteArray()) + text.toUtf8();
        return true;
    }
    *out = toCp1252(text);
    return fromCp1252(*out) == text;
}

QStringList readLines(const QString& path, bool* exists, QString* lineEnd, QString* error = nullptr,
                      Codificacion* codificacion = nullptr) {
    QFile file(path);
    *exists = file.open(QIODevice::ReadOnly);
    if (!*exists) {
        if (error && QFileInfo::exists(path))
            *error = QStringLiteral("no se puede leer el archivo (") + file.errorString() +
                     QLatin1Char(')');
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (error && file.error() != QFileDevice::NoError) {
        *error =
            QStringLiteral("no se puede leer el archivo (") + file.errorString() + QLatin1Char(')');
        return {};
    }
    const Codificacion c = detectar(bytes);
    if (codificacion) *codificacion = c;
    const QString text = decodificar(bytes, c);
    *lineEnd = text.contains(QLatin1String("\r\n")) || !text.contains(QLatin1Char('\n'))
                   ? QStringLiteral("\r\n")
                   : QStringLiteral("\n");
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

// The cause of a failed system call, as the operator should read it.
QString causa(int err) {
    switch (err) {
        case ENOSPC:
            return QStringLiteral("no queda espacio en el disco");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("se agoto la cuota de disco");
#endif
        case EACCES:
        case EPERM:
            return QStringLiteral("no hay permiso de escritura en la carpeta");
        case EROFS:
            return QStringLiteral("el disco es de solo lectura");
        case EIO:
            return QStringLiteral("error de entrada/salida del disco");
        default:
            return QString::fromLocal8Bit(std::strerror(err));
    }
}

// Writes bytes to path without ever leaving less than was there (platform::replaceDurably).
bool escribirEntero(const QString& ruta, const QByteArray& bytes, QString* error) {
    int err = 0;
    if (platform::replaceDurably(ruta, bytes, &err)) return true;
    *error = causa(err);
    return false;
}

}  // namespace

std::optional<bool> ProfileFile::hasSection(const QString& path, const QString& section,
                                            QString* error) {
    bool exists = false;
    QString lineEnd;
    QString readError;
    const QStringList lines = readLines(path, &exists, &lineEnd, &readError);
    if (!exists || !readError.isEmpty()) {
        if (error) *error = readError.isEmpty() ? QStringLiteral("no existe") : readError;
        return std::nullopt;
    }
    for (const QString& line : lines)
        if (const auto name = sectionName(line); name && sameName(*name, section)) return true;
    return false;
}

std::optional<ProfileFile::Contenido> ProfileFile::contenido(const QString& path) {
    bool exists = false;
    QString lineEnd;
    QString readError;
    Contenido c;
    const QStringList lines = readLines(path, &exists, &lineEnd, &readError, &c.codificacion);
    if (!exists || !readError.isEmpty()) return std::nullopt;
    QString section;
    for (const QString& line : lines) {
        if (const auto name = sectionName(line)) {
            section = name->trimmed();
            c.secciones.append(section);
        } else if (const auto e = entry(line)) {
            c.claves.append({section, e->key, unquote(e->value)});
        }
    }
    return c;
}

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
    QString readError;
    Codificacion codificacion = Codificacion::Windows1252;  // a new file
    QStringList lines = readLines(path, &exists, &lineEnd, &readError, &codificacion);
    if (!readError.isEmpty()) {
        // Writing what could be read would lose the rest.
        *error = readError;
        return false;
    }
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

    QByteArray bytes;
    if (!codificar(lines.join(lineEnd) + lineEnd, codificacion, &bytes)) {
        *error = QStringLiteral(
                     "el valor de %1 tiene caracteres que no caben en Windows-1252, "
                     "el juego de caracteres del archivo")
                     .arg(key.trimmed());
        return false;
    }
    return escribirEntero(path, bytes, error);
}

}  // namespace lumaro::config
