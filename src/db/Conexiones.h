#pragma once
// The program-wide connections and the server settings they are opened from.
//
//   kind 1: the client database ([Conexion_Cliente]), and in the principal store the MySQL
//           mirror ([Mysql]);
//   kind 2: the snapshot being merged, opened by the import run itself
//           (importer/ConexionSnapshot.h): any kind but 1 and 3 is refused here;
//   kind 3: the logistics database ([Conexion_Logistica]).
//
// Callers that need both SQL Server databases call AbrirConexion(3) and AbrirConexion(1),
// always both, and go on only when both returned true. The settings are read again at every
// AbrirConexion(1) and AbrirConexion(3).

#include <QString>
#include <functional>

#include "db/Connection.h"

namespace lumaro::db {

struct DatosServidor {
    QString servidor;    // "ServidorSQL"
    QString usuario;     // "UserSQL"
    QString password;    // "PwdUserSQL"
    QString catalogo;    // "BaseDatosSQL"
    QString driverOdbc;  // "DriverODBC" (optional; see translateConnectionText)
};

struct DatosConfiguracion {
    QString rutaConfig;  // the settings file, also read by the DBF export
    DatosServidor cliente;
    DatosServidor logistica;
    QString idioma;  // "IdionaSQLServer", upper case, "ENGLISH" when blank
    QString textoConexionCliente;
    QString textoConexionLogistica;
    QString mysqlHost, mysqlBase, mysqlUsuario, mysqlPassword;
    QString textoConexionMySql;  // empty unless the four [Mysql] values were all set
};

// The values kept by TraerDatosConfiguracion.
DatosConfiguracion& datosConfiguracion();

// The program-wide connections.
Connection& cnnCliente();
Connection& cnnLogistica();
Connection& cnnMySql();
// What happens after the critical box about a bad server language: the program ends
// (std::exit). Tests replace it; when it returns, TraerDatosConfiguracion returns false.
void setFinPrograma(std::function<void()> fin);

// Reads the server settings and builds the connection texts. False only when the program
// is to end (bad server language) or on an unexpected error (logged).
bool TraerDatosConfiguracion();
// Opens the connection of that kind; true when it (and for kind 1 the MySQL connection
// where the store feeds the mirror) is open. Every failure shows its box and returns false.
bool AbrirConexion(int kind);
// True when the client database names store 1 as the active store: this installation feeds
// the MySQL mirror. False, with the reason in error, when the query cannot run.
bool esLocalPrincipal(QString* error = nullptr);
// Closes the client, logistics and MySQL connections.
void cerrarConexiones();

}  // namespace lumaro::db
