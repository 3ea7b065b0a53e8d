#include "config/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <utility>

#include "config/Clock.h"
#include "config/Cp1252.h"
#include "config/LogRetenido.h"
#include "config/Platform.h"
#include "config/ProfileFile.h"
#include "config/Status.h"

namespace lumaro::config {

namespace {

// The first failed settings write not yet taken by the run control.
QString& falloConfiguracion() {
    static QString fallo;
    return fallo;
}

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
    return platform::executableFile();
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

QString avisoRtDbf(const QString& causa) {
    return QStringLiteral("RtDbf de ") + settingsPath() + QStringLiteral(": ") + causa;
}

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

QString rutaConfigurada(const QString& valor, QString* causa, SistemaRutas sistema) {
    const QString v = valor.trimmed();
    const bool unidad = v.size() >= 2 && v[1] == u':' && v[0].unicode() < 0x80 && v[0].isLetter();
    if (sistema == SistemaRutas::Posix && (unidad || v.startsWith(u'\\'))) {
        const QString cual = unidad ? QStringLiteral("letra de unidad ") + v.left(2)
                             : v.startsWith(QLatin1String("\\\\"))
                                 ? QStringLiteral("carpeta de red")
                                 : QStringLiteral("empieza con \\");
        if (causa)
            *causa = QStringLiteral(
                         "la ruta %1 es de Windows (%2) y este sistema no la tiene; escriba una "
                         "carpeta de este sistema, con / (por ejemplo /var/lib/lumaro-sync/Dbf)")
                         .arg(v, cual);
        return QString();
    }
    if (v.isEmpty()) return v;
    QString ruta = QString(v).replace(u'\\', u'/');
    const bool red = sistema == SistemaRutas::Windows && ruta.startsWith(QLatin1String("//"));
    ruta = QDir::cleanPath(ruta);
    // A network path keeps both of its leading separators, whatever system cleans it.
    if (red && !ruta.startsWith(QLatin1String("//"))) ruta.prepend(u'/');
    return ruta;
}

Inicio Inicio::leer() {
    Inicio inicio;
    inicio.localActivo = LeerConfig(QStringLiteral("Local_Activo")).trimmed();
    QString causa;
    inicio.rtDbf = rutaConfigurada(LeerConfig(QStringLiteral("RtDbf")), &causa);
    if (!causa.isEmpty()) {
        inicio.causaRtDbf = avisoRtDbf(causa);
        // Several phases read it in one command: one line for as long as the value stays.
        static QString avisada;
        if (std::exchange(avisada, inicio.causaRtDbf) != inicio.causaRtDbf)
            EscribirLog(inicio.causaRtDbf);
    }
    return inicio;
}

bool GrabarConfig(const QString& key, const QString& value) {
    QString error;
    if (ProfileFile::write(settingsPath(), kInicio, key, value, &error)) return true;
    const QString line = QStringLiteral("Error al grabar la configuracion <%1> en %2 - %3")
                             .arg(key, settingsPath(), error);
    EscribirLog(line);
    noteFailure(
        falloConfiguracion(),
        QStringLiteral("No se pudo grabar la configuracion en %1 (%2)").arg(settingsPath(), error));
    return false;
}

QString tomarFalloConfiguracion() { return std::exchange(falloConfiguracion(), QString()); }

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

namespace {

// Every key the program reads or writes. `falta` is what cannot run without it, for the keys
// every store needs; nullptr for the optional ones. The [Mysql] keys are needed by the
// principal store only.
struct ClaveConocida {
    const char* seccion;
    const char* clave;  // UTF-8
    const char* falta;
};

constexpr char kSinFtp[] = "sin ella no hay descarga ni subida";
constexpr char kSinHorario[] = "sin ella el horario diario no arranca ciclos";
constexpr char kSinBase[] = "sin ella no se abren las bases de datos de la tienda";
constexpr char kSinEspejo[] = "la tienda principal (Local_Activo=1) no carga el espejo MySQL";

constexpr ClaveConocida kClaves[] = {
    {"Inicio", "IpFtp", kSinFtp},
    {"Inicio", "UsuarioFtp", kSinFtp},
    {"Inicio", "ContraseñaFtp", kSinFtp},
    {"Inicio", "SubFile", kSinFtp},
    {"Inicio", "FtpTLS", nullptr},
    {"Inicio", "FtpCA", nullptr},
    {"Inicio", "FtpPasivo", nullptr},
    {"Inicio", "Hora1", kSinHorario},
    {"Inicio", "Minuto1", kSinHorario},
    {"Inicio", "Hora2", kSinHorario},
    {"Inicio", "Minuto2", kSinHorario},
    {"Inicio", "AutoSync", nullptr},
    {"Inicio", "RtDbf", "sin ella no se puede generar el snapshot del dia"},
    {"Inicio", "DiasRetencion", nullptr},
    {"Inicio", "BD_Prod_local", nullptr},
    {"Inicio", "Local_Activo", nullptr},
    {"Inicio", "FechaHoy", nullptr},
    {"Inicio", "SyncActual", nullptr},
    {"Inicio", "BD_Temp", nullptr},
    {"Inicio", "PrimerDia", nullptr},
    {"Conexion_Cliente", "ServidorSQL", kSinBase},
    {"Conexion_Cliente", "BaseDatosSQL", kSinBase},
    {"Conexion_Cliente", "UserSQL", nullptr},
    {"Conexion_Cliente", "PwdUserSQL", nullptr},
    {"Conexion_Cliente", "IdionaSQLServer", nullptr},
    {"Conexion_Cliente", "DriverODBC", nullptr},
    {"Conexion_Logistica", "ServidorSQL", kSinBase},
    {"Conexion_Logistica", "BaseDatosSQL", kSinBase},
    {"Conexion_Logistica", "UserSQL", nullptr},
    {"Conexion_Logistica", "PwdUserSQL", nullptr},
    {"Conexion_Logistica", "DriverODBC", nullptr},
    {"Mysql", "RutaBDClienteMySQL", kSinEspejo},
    {"Mysql", "DataBaseMySQL", kSinEspejo},
    {"Mysql", "USRNameMySQL", kSinEspejo},
    {"Mysql", "PWDMySQL", kSinEspejo},
    {"Correo", "Servidor", nullptr},
    {"Correo", "Puerto", nullptr},
    {"Correo", "Seguridad", nullptr},
    {"Correo", "Usuario", nullptr},
    {"Correo", "Contraseña", nullptr},
    {"Correo", "Remitente", nullptr},
    {"Correo", "CA", nullptr},
    {"Correo", "CorreoCentral", nullptr},
};

bool mismoNombre(const QString& a, const char* b) {
    return a.compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

// A name as a typo may leave it: letters and digits without accents, in lower case.
QString plegado(const QString& nombre) {
    QString out;
    for (const QChar c : nombre.normalized(QString::NormalizationForm_D))
        if (c.unicode() < 0x80 && c.isLetterOrNumber()) out.append(c.toLower());
    return out;
}

// What the program reads under a name like that one: " (quiza X)" or " (X va en [S])".
QString parecida(const QString& seccion, const QString& clave) {
    for (const ClaveConocida& k : kClaves) {
        const QString conocida = QString::fromUtf8(k.clave);
        if (plegado(conocida) != plegado(clave)) continue;
        if (mismoNombre(seccion, k.seccion)) return QStringLiteral(" (quiza %1)").arg(conocida);
        return QStringLiteral(" (%1 va en la seccion [%2])")
            .arg(conocida, QLatin1String(k.seccion));
    }
    return QString();
}

}  // namespace

QStringList revisarConfiguracion() {
    QStringList lineas;
    const QString ruta = settingsPath();
    QString causa;
    const std::optional<ProfileFile::Contenido> c = ProfileFile::contenido(ruta);
    if (!c || !comprobarConfiguracion(&causa)) return lineas;  // the commands say why
    const auto valor = [&](const char* seccion, const char* clave) {
        for (const ProfileFile::Clave& e : c->claves)
            if (mismoNombre(e.seccion, seccion) && mismoNombre(e.clave, clave))
                return e.valor.trimmed();
        return QString();
    };
    const bool principal = valor("Inicio", "Local_Activo") == QLatin1String("1");
    for (const ClaveConocida& k : kClaves) {
        const bool necesaria =
            k.falta != nullptr && (principal || QLatin1String(k.seccion) != "Mysql");
        if (necesaria && valor(k.seccion, k.clave).isEmpty())
            lineas << QStringLiteral("Falta la clave %1 en la seccion [%2] de %3: %4")
                          .arg(QString::fromUtf8(k.clave), QLatin1String(k.seccion), ruta,
                               QLatin1String(k.falta));
    }
    QString causaRuta;
    rutaConfigurada(valor("Inicio", "RtDbf"), &causaRuta);
    if (!causaRuta.isEmpty()) lineas << avisoRtDbf(causaRuta);
    for (const QString& s : c->secciones) {
        const bool conocida = std::any_of(std::begin(kClaves), std::end(kClaves),
                                          [&](const auto& k) { return mismoNombre(s, k.seccion); });
        if (!conocida)
            lineas << QStringLiteral("Seccion desconocida [%1] en %2: el programa no la lee")
                          .arg(s, ruta);
    }
    for (const ProfileFile::Clave& e : c->claves) {
        const bool seccionConocida =
            std::any_of(std::begin(kClaves), std::end(kClaves),
                        [&](const auto& k) { return mismoNombre(e.seccion, k.seccion); });
        const bool conocida =
            std::any_of(std::begin(kClaves), std::end(kClaves), [&](const auto& k) {
                return mismoNombre(e.seccion, k.seccion) && mismoNombre(e.clave, k.clave);
            });
        if (e.seccion.isEmpty())
            lineas << QStringLiteral("Clave %1 fuera de toda seccion en %2: el programa no la lee")
                          .arg(e.clave, ruta);
        else if (seccionConocida && !conocida)
            lineas << QStringLiteral(
                          "Clave desconocida %1 en la seccion [%2] de %3: el programa no la "
                          "lee%4")
                          .arg(e.clave, e.seccion, ruta, parecida(e.seccion, e.clave));
    }
    for (const QString& l : lineas) EscribirLog(l);
    return lineas;
}

void EscribirLog(const QString& message) {
    const QDateTime now = Clock::now();
    QString line = now.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) + QLatin1Char(' ') + message;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    agregarLineaLog(logPath(now.date()), toCp1252(line) + "\r\n");
}

bool CopiarArchivo(const QString& source, const QString& destination) {
    // Through a temporary name: a copy cut short (a full disk, the process killed) never
    // stands under the destination's name, where it would pass for a whole file.
    std::error_code ec;
    const std::filesystem::path temporal = fsPath(destination + QStringLiteral(".copiando"));
    // A copy left by a killed run goes first: MinGW's copy_file refuses to replace a file.
    std::filesystem::remove(temporal, ec);
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
