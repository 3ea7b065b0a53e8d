#pragma once
// The snapshot connection (kind 2): another store's snapshot, open on our own Jet engine while
// the import run merges it.
//
// Opening checks the file before any table is merged: the ten tables, every column the merges
// read (names in any case, "CUMPLEAÑOS" and "email" included) with a type its values can be
// read as, and every row readable. A file that fails the check is not opened at all, so
// nothing is ever merged from a damaged snapshot. Rows are read with every value already in
// its column's form (snapshot::valorColumna); the merges mark the rows they handled through
// the Jet updater, which CerrarBD syncs and closes.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "config/Status.h"
#include "jet/JetTypes.h"
#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::importer {

// One incoming row as a merge sees it.
struct FilaEntrante {
    jet::RowId id;         // where the row is, for its mark
    snapshot::Fila fila;   // the table's columns in data-model order
    bool marcada = false;  // bFlagSincro already 1: merged by an earlier, interrupted run
    // A column whose value is not of its kind (a date outside the years 1900 to 9999
    // included); empty when all are.
    QString columnaInvalida;
};

class ConexionSnapshot {
public:
    ConexionSnapshot();
    ~ConexionSnapshot();
    ConexionSnapshot(const ConexionSnapshot&) = delete;
    ConexionSnapshot& operator=(const ConexionSnapshot&) = delete;

    // Opens and checks the file; otherwise the reason (nothing stays open then). Read-only,
    // the file is never written and marcar fails.
    config::Status abrir(const QString& ruta, bool soloLectura = false);
    bool isOpen() const;
    QString ruta() const;

    // Calls visita for every row of the table, in the order the file holds them; visita
    // returns false to stop. False with the reason in error when the file cannot be read.
    using Visita = std::function<bool(const FilaEntrante&)>;
    bool recorrer(const snapshot::Table& tabla, const Visita& visita, QString* error) const;
    // Rows the table holds (marked or not).
    int filas(const snapshot::Table& tabla) const;
    // Sets bFlagSincro to 1 on the row; false with the reason in error. The last page marked
    // reaches the file with the next page, at guardarMarcas or at cerrar.
    bool marcar(const snapshot::Table& tabla, jet::RowId id, QString* error);
    // Writes the marks made so far to the file; false with the reason in error.
    bool guardarMarcas(QString* error);

    // Syncs the marks to disk and closes the file; harmless when closed.
    void cerrar();

private:
    struct Estado;
    std::unique_ptr<Estado> m_estado;
};

// The program-wide snapshot connection.
ConexionSnapshot& cnnSnapshot();
// AbrirConexion(2): opens the program-wide snapshot connection on the snapshot at ruta (the
// import source path); the other kinds are db::AbrirConexion's. False after the information
// box "No se encuentra el archivo mdb: " when there is no such file, or after the log line and
// the box when the file is no valid snapshot.
bool AbrirConexion(const QString& ruta);
// Closes the snapshot connection, as clsDBAdmin closes the others; never fails.
void CerrarBD(ConexionSnapshot& cnn);

}  // namespace lumaro::importer
