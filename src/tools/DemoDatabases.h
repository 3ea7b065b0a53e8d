#pragma once
// The embedded production databases of one store, for the demo and the tests: the client
// database (table Local, the eight client tables including Contactos) and the logistics
// database (the two birthday-redemption register tables), as SQLite files with the keys as
// primary keys, filled with generated rows: names with apostrophes and accents, null dates,
// reversed movements, cards, birthdays and their redemptions. Every row is unsent
// (bFlagSincro 0) and owned by the given store.

#include <QDate>
#include <QString>

namespace lumaro::tools {

struct DemoOptions {
    QString clientePath;    // the client database file (replaced when it exists)
    QString logisticaPath;  // the logistics database file (replaced when it exists)
    int idLocal = 1;        // the store of this installation (Activo = 1) and owner of the rows
    int clientes = 50;      // number of clients; the other tables scale with it
    int locales = 4;        // stores 1..locales in table Local
    unsigned semilla = 1;   // the same seed gives the same rows
    QDate hoy;              // "today" for change dates; the clock's day when invalid
};

// Creates both databases. False with the reason in error.
bool crearBasesDemo(const DemoOptions& options, QString* error);

// The settings sections that point the program at the two files (ServidorSQL "sqlite"),
// written into the settings file at cfgPath. False with the reason in error.
bool escribirConexionesDemo(const QString& cfgPath, const DemoOptions& options, QString* error);

// A settings file that runs as it stands: the connection sections above, and every other key
// a store needs that the file does not hold yet: daily times 2:00 and 14:00, the snapshot folder
// "snapshots" beside the file (made then), an FTP server on this machine's port 2121 (user
// "tienda", password "clave", exchange folder "intercambio", as tests/ftp/ftp_server.py serves)
// and, for store 1, the principal one, a MySQL mirror on this machine's port 3306 (database
// "lumaro_espejo", user "lumaro", password "clave"). Keys already set are kept. False with the
// reason in error.
bool escribirConfiguracionDemo(const QString& cfgPath, const DemoOptions& options, QString* error);

}  // namespace lumaro::tools
