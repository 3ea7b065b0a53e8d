#pragma once
// The program's database access object: opens and closes connections and runs statements,
// turning every failure into a false result plus, as the caller chooses, a message box and a
// log line, or the error text handed back.
//
// iErrorFlag 1: silent; sError receives the provider's message, " - " and the statement.
// Any other value: an information box shows the same text, then the run log gets
// "Error (EjecutarSentencia): " (or "Error (EjecutarConsulta): ") and the provider's message.

#include <QString>

#include "db/Connection.h"
#include "db/Recordset.h"

namespace lumaro::db {

class clsDBAdmin {
public:
    // Opens a new connection into Cnn (whatever Cnn held is released) from a connection text
    // (see ConnectionText.h), with a 180-second timeout. odbcDriver names the ODBC driver for
    // SQL Server texts ("FreeTDS" when empty). On failure logs
    // "clsDBAdmin.AbrirBD - Error: " and the reason, and returns false; shows nothing.
    bool AbrirBD(Connection& Cnn, const QString& sConnectString,
                 const QString& odbcDriver = QString());
    // Closes the connection and empties Cnn; never fails, also on an empty or closed one.
    void CerrarBD(Connection& Cnn);
    // Opens a read-only static result set on Cnn into rs. Results are always read whole, so
    // the row count is exact whatever clientCursor says.
    bool EjecutarConsulta(Connection& Cnn, const QString& sSQL, Recordset& rs, bool clientCursor,
                          int iErrorFlag, QString& sError);
    // Runs one statement on Cnn. Cnn.rowsAffected() then tells how many rows it changed.
    bool EjecutarSentencia(Connection& Cnn, const QString& sSQL, int iErrorFlag = 0,
                           QString* sError = nullptr);
};

// The one shared instance.
clsDBAdmin& dbAdmin();

}  // namespace lumaro::db
