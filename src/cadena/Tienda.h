#pragma once
// A store's program folder as the chain check reads it: its embedded production databases
// (cliente.db, logistica.db), its identifier, whether it is the principal store, and the
// archived copies of the snapshots it sent (MDB_enviadas/hhmmss_<IdLocal>_<ddmmyyyy>.mdb).

#include <QString>
#include <QStringList>

namespace lumaro::cadena {

struct Tienda {
    QString carpeta;
    qlonglong id = 0;
    bool principal = false;  // the client database names store 1 as the active store
    QString cliente;         // <carpeta>/cliente.db
    QString logistica;       // <carpeta>/logistica.db
    QStringList snapshots;   // the sent snapshots, in the order they were sent
    QStringList ajenos;      // files of MDB_enviadas not named as this store's snapshots
};

// Reads the folder: the identifier from the settings file (lumaro-sync.cfg, [Inicio]
// Local_Activo), else from table Local (Activo = 1); the snapshots ordered by the day in their
// name, then by the time of day. False with the reason in error (missing folder, database or
// identifier).
bool leerTienda(const QString& carpeta, Tienda& tienda, QString* error);

}  // namespace lumaro::cadena
