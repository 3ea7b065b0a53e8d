#pragma once
// A profile (INI) file with the semantics of the Windows profile functions, on
// Windows-1252 bytes: section and key names match regardless of case (ñ and Ñ included),
// blanks around names and values are not part of them, a value enclosed in matching quotes
// reads without them, lines beginning with ';' are comments. Writing replaces an existing
// value in place and leaves every other line (comments included) as it was; a missing file or
// section is created. A write never leaves less than was there: the new file is written whole
// beside the old one and renamed over it, and an old file that cannot be read is not written.
//
// Character set: Windows-1252, as the older program and Windows editors write the file; a file
// that starts with the UTF-8 byte-order mark, or whose non-ASCII bytes are valid UTF-8 (as any
// Linux editor writes it), is read as UTF-8; one that starts with the UTF-16 mark as UTF-16.
// A write keeps the file's character set (and its mark); a value that Windows-1252 cannot hold
// is refused in a Windows-1252 file.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace lumaro::config {

// Utf16ConBom: "Unicode" as Windows' Notepad saves it, which Windows' own profile functions read.
enum class Codificacion { Windows1252, Utf8, Utf8ConBom, Utf16ConBom };

class ProfileFile {
public:
    struct Clave {
        QString seccion;  // as written, blanks removed; empty before the first section
        QString clave;
        QString valor;
    };
    struct Contenido {
        Codificacion codificacion = Codificacion::Windows1252;
        QStringList secciones;  // as written, in file order
        QList<Clave> claves;    // in file order
    };
    // Every section and key of the file; nullopt when it cannot be read.
    static std::optional<Contenido> contenido(const QString& path);

    // Returns the value, at most maxChars characters of it; the empty text when the file,
    // section or key is missing.
    static QString read(const QString& path, const QString& section, const QString& key,
                        int maxChars);
    // Whether the file has the section; nullopt, with the reason in *error ("no existe", or why
    // it cannot be read), when the file cannot be read.
    static std::optional<bool> hasSection(const QString& path, const QString& section,
                                          QString* error);
    // Returns false, with the reason in *error (no space left, no permission, ...), when the
    // file could not be written; the file is then as it was.
    static bool write(const QString& path, const QString& section, const QString& key,
                      const QString& value, QString* error);
};

}  // namespace lumaro::config
