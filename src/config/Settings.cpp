#include "config/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "config/Clock.h"
#include "config/Console.h"
#include "config/Cp1252.h"
#include "config/ProfileFile.h"
#include "config/RunState.h"

namespace lumaro::config {

namespace {

const QString kInicio = QStringLiteral("Inicio");
// The profile reader's buffer sizes: 254 and 255 characters, one of them for the terminator.
constexpr int kConfigValueChars = 253;
constexpr int kIniValueChars = 254;

QString& folderOverride() {
    static QString folder;
    return folder;
}

QString& baseNameOverride() {
    static QString name;
    return name;
}

QString executablePath() {
    if (QCoreApplication::instance() != nullptr) return QCoreApplication::applicationFilePath();
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? QString() : QString::fromStdString(self.string());
}

// The error numbers and texts the file helpers log, in the form operators know them.
QString describe(const std::error_code& ec, int* number) {
    switch (static_cast<std::errc>(ec.value())) {
        case std::errc::no_such_file_or_directory:
            *number = 53;
            return QStringLiteral("File not found");
        case std::errc::permission_denied:
        case std::errc::operation_not_permitted:
        case std::errc::read_only_file_system:
            *number = 70;
            return QStringLiteral("Permission denied");
        case std::errc::no_space_on_device:
            *number = 61;
            return QStringLiteral("Disk full");
        case std::errc::not_a_directory:
            *number = 76;
            return QStringLiteral("Path not found");
        default:
            *number = 75;
            return QStringLiteral("Path/File access error (%1)")
                .arg(QString::fromStdString(ec.message()));
    }
}

void logFileError(const QString& procedure, const std::error_code& ec) {
    int number = 0;
    const QString text = describe(ec, &number);
    EscribirLog(QStringLiteral("Error # Function %1 - %2 - %3")
                    .arg(procedure, QStringLiteral(" ") + QString::number(number), text));
}

std::filesystem::path fsPath(const QString& p) { return std::filesystem::path(p.toStdString()); }

}  // namespace

QString programFolder() {
    if (!folderOverride().isEmpty()) return folderOverride();
    return QFileInfo(executablePath()).absolutePath();
}

void setProgramFolder(const QString& folder) { folderOverride() = folder; }

QString executableBaseName() {
    if (!baseNameOverride().isEmpty()) return baseNameOverride();
    const QString base = QFileInfo(executablePath()).completeBaseName();
    return base.isEmpty() ? QStringLiteral("lumaro-sync") : base;
}

void setExecutableBaseName(const QString& baseName) { baseNameOverride() = baseName; }

QString programPath(const QString& name) {
    return QDir::toNativeSeparators(QDir(programFolder()).filePath(name));
}

QString settingsPath() { return programPath(executableBaseName() + QStringLiteral(".cfg")); }

QString logPath(const QDate& day) {
    return programPath(QStringLiteral("Err_") + day.toString(QStringLiteral("yyyyMMdd")) +
                       QStringLiteral(".log"));
}

QString LeerConfig(const QString& key) { return LeerConfigSeccion(kInicio, key); }

QString LeerConfigSeccion(const QString& section, const QString& key) {
    return ProfileFile::read(settingsPath(), section, key, kConfigValueChars);
}

QString LeerIni(const QString& section, const QString& key, const QString& path) {
    return ProfileFile::read(path, section, key, kIniValueChars).trimmed();
}

bool GrabarConfig(const QString& key, const QString& value) {
    QString error;
    if (ProfileFile::write(settingsPath(), kInicio, key, value, &error)) return true;
    const QString line = QStringLiteral("Error al grabar la configuracion <%1> en %2 - %3")
                             .arg(key, settingsPath(), error);
    EscribirLog(line);
    console().addProblem(line);
    noteFailure(
        runState().results.settingsFailure,
        QStringLiteral("No se pudo grabar la configuracion en %1 (%2)").arg(settingsPath(), error));
    return false;
}

bool comprobarConfiguracion(QString* causa) {
    QString error;
    const std::optional<bool> inicio = ProfileFile::hasSection(settingsPath(), kInicio, &error);
    if (inicio.value_or(false)) return true;
    if (!inicio && !QFileInfo::exists(settingsPath()))
        *causa = QStringLiteral("No existe el archivo de configuracion ") + settingsPath();
    else if (!inicio)
        *causa = QStringLiteral("No se puede leer el archivo de configuracion %1: %2")
                     .arg(settingsPath(), error);
    else
        *causa = QStringLiteral("El archivo de configuracion %1 no tiene la seccion [Inicio]")
                     .arg(settingsPath());
    return false;
}

void EscribirLog(const QString& message) {
    const QDateTime now = Clock::now();
    QString line = now.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) + QLatin1Char(' ') + message;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QFile file(logPath(now.date()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    file.write(toCp1252(line) + "\r\n");
    file.close();
}

bool CopiarArchivo(const QString& source, const QString& destination) {
    // Through a temporary name: a copy cut short (a full disk, the process killed) never
    // stands under the destination's name, where it would pass for a whole file.
    std::error_code ec;
    const std::filesystem::path temporal = fsPath(destination + QStringLiteral(".copiando"));
    std::filesystem::copy_file(fsPath(source), temporal,
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (!ec) std::filesystem::rename(temporal, fsPath(destination), ec);
    if (ec) {
        std::error_code ignorado;
        std::filesystem::remove(temporal, ignorado);
        logFileError(QStringLiteral("CopiarArchivo"), ec);
        return false;
    }
    return true;
}

bool BorrarArchivo(const QString& path) {
    std::error_code ec;
    const auto p = fsPath(path);
    // remove() reports success for a missing file; deleting nothing is a failure here.
    if (!std::filesystem::is_regular_file(p, ec) && !ec)
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
    if (!ec) std::filesystem::remove(p, ec);
    if (ec) {
        logFileError(QStringLiteral("BorrarArchivo"), ec);
        return false;
    }
    return true;
}

}  // namespace lumaro::config
