#pragma once
// What every new connection gets before the program uses it, per engine:
//   SQL Server: "SET DATEFORMAT ymd", so year-first date texts read as year, month, day
//               whatever the login's language;
//   MySQL:      NO_BACKSLASH_ESCAPES in the session's sql_mode, so a backslash in a value
//               cannot escape its closing quote; exact-case table names mapped;
//   SQLite:     year(), month(), day() over the stored date texts; names mapped.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "db/Connection.h"

namespace lumaro::db {

// The statements run right after opening a connection to that engine.
QStringList sessionStatements(Engine engine);

// Finds the engine behind an open connection (asking the ODBC driver for the product name),
// runs the session statements and loads the stored names. False with the provider's message
// in error when the connection cannot be made fit for use.
bool setUpSession(Connection& cnn, Engine requested, QString* error);

// The table (and for SQLite the column) names the database stores.
void loadStoredNames(const Connection& cnn, IdentifierMap& names);

// The product name an ODBC connection reports (SQL_DBMS_NAME); empty when unknown.
QString odbcDbmsName(const QSqlDatabase& db);
// Registers year(), month() and day() on an SQLite connection. False when the driver does not
// expose its sqlite3 handle.
bool registerSqliteFunctions(const QSqlDatabase& db);

}  // namespace lumaro::db
