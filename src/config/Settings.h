#pragma once
// The settings file and the run log.
//
// Settings file: <program folder>/<executable base name>.cfg, Windows profile (INI) format in
// Windows-1252. Section and key names match regardless of case (ñ/Ñ included), values are
// trimmed, a missing file, section or key reads as the empty text.
// Run log: <program folder>/Err_yyyymmdd.log, one "dd/mm/yyyy hh:mm:ss message" line per call,
// CR LF, Windows-1252, opened and closed for every line. A lost line never disturbs the caller.

#include <QDate>
#include <QString>
#include <QStringList>

namespace lumaro::config {

// The folder that holds the executable, unless set otherwise (tests, the installer tools).
QString programFolder();
void setProgramFolder(const QString& folder);
// The executable's base name (without extension); the settings file is named after it.
QString executableBaseName();
void setExecutableBaseName(const QString& baseName);
// <program folder>/<name>: the platform's form of a path under the program folder.
QString programPath(const QString& name);

QString settingsPath();
QString logPath(const QDate& day);

// How a path written in the settings is read. Settings written on Windows hold paths such as
// "C:\Lumaro\Dbf\" or "\\servidor\lumaro": Windows takes them as written. A system without
// drive letters has no such place, and reading one as a relative name would quietly use a
// folder nobody chose, so there they are refused. Backslashes between names are separators on
// both systems.
enum class SistemaRutas { Windows, Posix };
#ifdef Q_OS_WIN
inline constexpr SistemaRutas kEsteSistema = SistemaRutas::Windows;
#else
inline constexpr SistemaRutas kEsteSistema = SistemaRutas::Posix;
#endif
// The path of a settings value in the form file calls take ("/" between names, no separator at
// the end); a relative path stays relative. Empty for an empty value, and for a path the
// system cannot have, then with the cause (naming the path) in *causa.
QString rutaConfigurada(const QString& valor, QString* causa, SistemaRutas sistema = kEsteSistema);

// Key of section [Inicio]; at most 253 characters of value.
QString LeerConfig(const QString& key);
// The [Inicio] keys that several phases read, typed and read in one place. Each command reads
// them as it needs them, so a change made in the settings dialog counts from the next one.
struct Inicio {
    QString rtDbf;        // "RtDbf": the folder of the day's snapshots and DBF files
    QString localActivo;  // "Local_Activo": this store's number, as written
    // Why rtDbf is empty although "RtDbf" is not (a path of another system); the run log gets
    // it once per value.
    QString causaRtDbf;
    static Inicio leer();
};

// Writes key=value into [Inicio], creating file and section as needed. A failed write is
// logged (with its cause and the path) and kept for tomarFalloConfiguracion(); returns false
// then, the file left as it was.
bool GrabarConfig(const QString& key, const QString& value);
// The first settings write that failed since the last call, as a cause an operator can act on
// ("No se pudo grabar la configuracion en <path> (<cause>)"), or empty. The run control takes
// it as a command ends, so the command reports it and List1 shows it.
QString tomarFalloConfiguracion();
// Whether the settings file exists, can be read and has its section [Inicio]; otherwise false
// with the cause, naming the path, in *causa. Commands ask before anything else.
bool comprobarConfiguracion(QString* causa);
// The start-up review of the settings file: a line for each key the program needs that is
// missing or empty (naming key, section and what cannot run without it), and for each section
// or key the program does not know (a mistyped name is never read). Each line is also written
// to the run log. Nothing when comprobarConfiguracion fails: that names the cause itself.
QStringList revisarConfiguracion();
// As LeerConfig, for any section.
QString LeerConfigSeccion(const QString& section, const QString& key);
// Any INI file; at most 254 characters, blanks removed at both ends.
QString LeerIni(const QString& section, const QString& key, const QString& path);
// Appends one line to today's run log. CR and LF inside the message become blanks, so a value
// can never forge a line of its own.
void EscribirLog(const QString& message);
// Copies, replacing an existing destination only once the copy is whole; logs and returns
// false on failure (the destination is then as it was).
bool CopiarArchivo(const QString& source, const QString& destination);
// Deletes the file; logs and returns false on failure.
bool BorrarArchivo(const QString& path);

}  // namespace lumaro::config
