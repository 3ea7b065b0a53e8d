#include "db/Conexiones.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <cstdlib>

#include "config/Settings.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "run/Console.h"

namespace lumaro::db {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

std::function<void()>& finPrograma() {
    static std::function<void()> fin = [] { std::exit(EXIT_FAILURE); };
    return fin;
}

DatosServidor leerServidor(const QString& seccion, const QString& ruta) {
    DatosServidor d;
    d.servidor = config::LeerIni(seccion, QStringLiteral("ServidorSQL"), ruta);
    d.usuario = config::LeerIni(seccion, QStringLiteral("UserSQL"), ruta);
    d.password = config::LeerIni(seccion, QStringLiteral("PwdUserSQL"), ruta);
    d.catalogo = config::LeerIni(seccion, QStringLiteral("BaseDatosSQL"), ruta);
    return d;
}

QString textoServidor(const DatosServidor& d) {
    return textoConexionSqlServer(d.usuario, d.password, d.catalogo, d.servidor);
}

// Reads [Mysql] and builds the MySQL connection text; the box when a value is missing.
void cargarDatosMySql() {
    DatosConfiguracion& datos = datosConfiguracion();
    const QString seccion = QStringLiteral("Mysql");
    const QString host = config::LeerConfigSeccion(seccion, QStringLiteral("RutaBDClienteMySQL"));
    const QString base = config::LeerConfigSeccion(seccion, QStringLiteral("DataBaseMySQL"));
    const QString usuario = config::LeerConfigSeccion(seccion, QStringLiteral("USRNameMySQL"));
    const QString password = config::LeerConfigSeccion(seccion, QStringLiteral("PWDMySQL"));
    if (host.isEmpty() || base.isEmpty() || usuario.isEmpty() || password.isEmpty()) {
        run::console().messageBox(
            run::BoxIcon::None, QString(),
            QStringLiteral("No se han cargado los parametros MySql desde el archivo Ini,") + kCrLf +
                QStringLiteral("los procesos no se ejecutaran."));
        return;
    }
    datos.mysqlHost = host;
    datos.mysqlBase = base;
    datos.mysqlUsuario = usuario;
    datos.mysqlPassword = password;
    datos.textoConexionMySql = textoConexionMySql(host, base, usuario, password);
}

void cajaSinConexion(const QString& nombre, const QString& final) {
    run::console().messageBox(
        run::BoxIcon::None, QString(),
        QStringLiteral("No se puede conectar a la BD: ") + nombre + kCrLf + kCrLf + final);
}

bool abrirCliente(bool mysqlLeido) {
    DatosConfiguracion& datos = datosConfiguracion();
    if (!dbAdmin().AbrirBD(cnnCliente(), datos.textoConexionCliente, datos.cliente.driverOdbc)) {
        cajaSinConexion(datos.cliente.catalogo, QStringLiteral(". Se detendrá el proceso actual"));
        return false;
    }
    QString error;
    const bool principal = esLocalPrincipal(&error);
    if (!error.isEmpty()) {
        config::EscribirLog(QStringLiteral("MainProcesoSinc.AbrirConexion - Error : ") + error);
        return false;
    }
    if (!principal) return true;
    // A principal store whose "Local_Activo" is not written yet still needs its mirror.
    if (!mysqlLeido) cargarDatosMySql();
    // A build without the MySQL client (the Windows one) goes on without the mirror.
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QMYSQL"))) {
        config::EscribirLog(QStringLiteral("MainProcesoSinc.AbrirConexion - Error : el espejo "
                                           "MySQL ") +
                            datos.mysqlBase +
                            QStringLiteral(" no se alimenta: esta instalacion no trae el cliente "
                                           "de MySQL (controlador QMYSQL)"));
        return true;
    }
    if (!dbAdmin().AbrirBD(cnnMySql(), datos.textoConexionMySql)) {
        cajaSinConexion(datos.mysqlBase, QStringLiteral(". Se detendrá el proceso actual"));
        return false;
    }
    return true;
}

}  // namespace

namespace {

// The program-wide values of this module, in one place.
struct Programa {
    DatosConfiguracion datos;
    Connection cliente, logistica, mysql;
};

// Never destroyed: a connection still open at exit is closed when the application object
// goes (while Qt SQL still exists), not by static destruction after Qt SQL is gone.
Programa& programa() {
    static Programa* p = [] {
        qAddPostRoutine(cerrarConexiones);
        return new Programa;
    }();
    return *p;
}

}  // namespace

DatosConfiguracion& datosConfiguracion() { return programa().datos; }
Connection& cnnCliente() { return programa().cliente; }
Connection& cnnLogistica() { return programa().logistica; }
Connection& cnnMySql() { return programa().mysql; }
void setFinPrograma(std::function<void()> fin) {
    finPrograma() = fin ? std::move(fin) : [] { std::exit(EXIT_FAILURE); };
}

namespace {

// TraerDatosConfiguracion, telling whether it read [Mysql].
bool traerDatos(bool& mysqlLeido) {
    mysqlLeido = false;
    DatosConfiguracion& datos = datosConfiguracion();
    datos.rutaConfig = config::settingsPath();
    const QString cliente = QStringLiteral("Conexion_Cliente");
    const QString logistica = QStringLiteral("Conexion_Logistica");
    datos.cliente = leerServidor(cliente, datos.rutaConfig);
    datos.logistica = leerServidor(logistica, datos.rutaConfig);
    datos.idioma =
        config::LeerIni(cliente, QStringLiteral("IdionaSQLServer"), datos.rutaConfig).toUpper();
    datos.cliente.driverOdbc =
        config::LeerIni(cliente, QStringLiteral("DriverODBC"), datos.rutaConfig);
    datos.logistica.driverOdbc =
        config::LeerIni(logistica, QStringLiteral("DriverODBC"), datos.rutaConfig);
    if (datos.idioma.trimmed().isEmpty()) datos.idioma = QStringLiteral("ENGLISH");
    if (datos.idioma != QLatin1String("ENGLISH") && datos.idioma != QLatin1String("SPANISH")) {
        run::console().messageBox(
            run::BoxIcon::Critical, QStringLiteral("Problemas de Configuración"),
            QStringLiteral("Comuníquese con el Proveedor, indicando:") + kCrLf + kCrLf +
                QStringLiteral("- Idioma Servidor SQL Server no es: 'SPANISH', 'ENGLISH'"));
        finPrograma()();
        return false;
    }
    datos.textoConexionCliente = textoServidor(datos.cliente);
    datos.textoConexionLogistica = textoServidor(datos.logistica);
    const QString activo =
        config::LeerIni(QStringLiteral("Inicio"), QStringLiteral("Local_Activo"), datos.rutaConfig);
    if (activo.simplified().remove(u' ') == QLatin1String("1")) {
        cargarDatosMySql();
        mysqlLeido = true;
    }
    return true;
}

}  // namespace

bool TraerDatosConfiguracion() {
    bool mysqlLeido = false;
    return traerDatos(mysqlLeido);
}

bool AbrirConexion(int kind) {
    bool mysqlLeido = false;
    switch (kind) {
        case 1:
            return traerDatos(mysqlLeido) && abrirCliente(mysqlLeido);
        case 3: {
            if (!traerDatos(mysqlLeido)) return false;
            const DatosConfiguracion& datos = datosConfiguracion();
            if (dbAdmin().AbrirBD(cnnLogistica(), datos.textoConexionLogistica,
                                  datos.logistica.driverOdbc))
                return true;
            cajaSinConexion(datos.logistica.catalogo,
                            QStringLiteral(". Se detendrá el proceso actual."));
            return false;
        }
        default:
            config::EscribirLog(
                QStringLiteral("MainProcesoSinc.AbrirConexion - Error : tipo de conexion %1")
                    .arg(kind));
            return false;
    }
}

bool esLocalPrincipal(QString* error) {
    Recordset rs;
    if (!rs.open(cnnCliente(),
                 QStringLiteral("SELECT * from local WHERE IdLocal=1 AND Activo = 1"))) {
        if (error) *error = rs.errorText();
        return false;
    }
    return rs.recordCount() > 0;
}

void cerrarConexiones() {
    dbAdmin().CerrarBD(cnnCliente());
    dbAdmin().CerrarBD(cnnLogistica());
    dbAdmin().CerrarBD(cnnMySql());
}

}  // namespace lumaro::db
