#pragma once
// Today's snapshot database: its name, the removal of an empty file of the same day, the
// creation of the file with the ten tables, and the empty files of days the store missed.
//
// A snapshot file is written whole or not at all (the Jet writer works under a temporary name),
// so a file under a snapshot name is always a complete database.

#include <QDate>
#include <QString>
#include <optional>

namespace lumaro::snapshot {

struct SnapshotDelDia {
    enum class Estado {
        Creada,      // a new, empty file with the ten tables: the copy fills it
        Conservada,  // today's file already holds rows and was kept: no copy follows
        YaEnviada,   // today's file was already uploaded: nothing is generated today
        Fallida,     // the file could not be created (logged and shown)
    };
    Estado estado = Estado::Fallida;
    QString nombre;  // the file name, without folder
};

// Names today's snapshot (<own store>_<ddmmyyyy>.mdb in the "RtDbf" folder), first creates an
// empty snapshot for every day since the one "BD_Temp" names that has none (at most 31) or,
// while "BD_Temp" is empty, since the day of "PrimerDia" (that day included), then creates
// today's file unless it was already sent or already holds rows.
SnapshotDelDia crearBDTemp();

// Start-up: while no snapshot was ever recorded ("BD_Temp" empty) and no first day either,
// records in "PrimerDia" ("dd/mm/yyyy") the day from which this store owes snapshots: the day
// it was registered in this folder (the day after the earliest its ledger records, when that
// is within the last 31 days) or else today. So a first day whose generation never finished,
// or when the machine was off, still gets its file. An installer may set "PrimerDia" itself;
// a store moved over with a "BD_Temp" goes on from that one.
void anotarPrimerDia();

// Creates the database file at ruta with the ten empty tables, replacing a file of that name.
// Logs "Creando BD Temp: Ruta[...]", shows the "Creacion de BD Temp...OK" notice and logs
// "Creacion Satisfactoria"; on failure logs "Crear_Base_Dato Error: " with the reason, shows
// it in a critical box and returns false.
bool Crear_Base_Dato(const QString& ruta);

// Writes an empty snapshot (the ten tables, no rows) at ruta. False with the reason in error.
bool escribirSnapshotVacia(const QString& ruta, QString* error);

// Whether the snapshot at ruta holds at least one row; nullopt (with the reason in error)
// when it cannot be read.
std::optional<bool> snapshotTieneFilas(const QString& ruta, QString* error);

// The day a snapshot file name stands for ("3_05122026.mdb" gives 5 December 2026); an
// invalid date when the name is not of that form.
QDate diaDeSnapshot(const QString& nombre);

// The "RtDbf" folder joined with a file name, in the platform's form.
QString rutaEnCarpetaSnapshots(const QString& nombre);

}  // namespace lumaro::snapshot
