#pragma once
// Connection texts: built as the settings produce them, and translated, here and only here,
// into what Qt SQL's drivers take.
//
//   "Provider=SQLOLEDB.1;...;Data Source=<server>"   SQL Server through QODBC (unless another
//                                                    ODBC driver is named: Windows' own "SQL
//                                                    Server", FreeTDS elsewhere; without a
//                                                    login, Microsoft's drivers use the Windows
//                                                    account); the server "sqlite" means the
//                                                    embedded database: the catalog names an
//                                                    SQLite file.
//   "driver={MySQL ODBC 3.51 Driver};Server=..."     MySQL/MariaDB through QMYSQL; the server
//                                                    may carry ":port".
//   "driver={Microsoft Access Driver (*.mdb)};DBQ="  an SQLite file (the ledger) through
//                                                    QSQLITE, or a Jet file, which Qt SQL cannot
//                                                    open (snapshots have their own engine).
//
// Values are quoted when they hold characters that would end or change an entry, so a
// password with ";" or blanks reaches the driver unchanged; the texts of ordinary values are
// the plain ones.

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace lumaro::db {

// The database engine behind a connection.
enum class Engine { None, SqlServer, Sqlite, MySql, OtherOdbc, Jet };

QString textoConexionSqlServer(const QString& user, const QString& password, const QString& catalog,
                               const QString& server);
QString textoConexionMySql(const QString& host, const QString& database, const QString& user,
                           const QString& password);
QString textoConexionAccess(const QString& path);

// The entries of a connection text in order, keys as written, values unquoted.
using ConnectionEntries = QList<QPair<QString, QString>>;
std::optional<ConnectionEntries> parseConnectionText(const QString& text);
// The value of a key (any case); empty when absent.
QString entryValue(const ConnectionEntries& entries, const QString& key);

// What Qt SQL needs to open a connection.
struct DriverSpec {
    Engine engine = Engine::None;
    QString qtDriver;  // QSQLITE, QODBC, QMYSQL; empty for Jet
    QString databaseName;
    QString hostName;
    int port = -1;
    QString userName;
    QString password;
    QString connectOptions;
    // For log lines: driver and target, never the password.
    QString describe() const;
};

// Translates a connection text. odbcDriver names the ODBC driver for SQL Server, with or
// without braces (when empty: "SQL Server" on Windows, "FreeTDS" elsewhere). Returns nullopt with
// the reason in error for a text that names no usable target (unknown provider, SQLite file that
// does not exist).
std::optional<DriverSpec> translateConnectionText(const QString& text, const QString& odbcDriver,
                                                  QString* error);

// The seconds a connection may take to open.
inline constexpr int kConnectionTimeoutSeconds = 180;

}  // namespace lumaro::db
