#pragma once
// A profile (INI) file with the semantics of the Windows profile functions, on
// Windows-1252 bytes: section and key names match regardless of case (ñ and Ñ included),
// blanks around names and values are not part of them, a value enclosed in matching quotes
// reads without them, lines beginning with ';' are comments. Writing replaces an existing
// value in place and leaves every other line (comments included) as it was; a missing file or
// section is created. A write never leaves less than was there: the new file is written whole
// beside the old one and renamed over it, and an old file that cannot be read is not written.

#include <QString>
#include <optional>

namespace lumaro::config {

class ProfileFile {
public:
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
