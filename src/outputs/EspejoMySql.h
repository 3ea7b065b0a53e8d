#pragma once
// The MySQL mirror of the principal store, fed by the copy of changed rows (as a side output)
// and by the merges of other stores' snapshots.
//
// Only Cliente, Tarjeta, Acumulacion_Punto and Canje_Punto are mirrored; rows of other tables
// are ignored. Whether this store feeds the mirror (db::esLocalPrincipal) is asked once per
// table, not per row. Rows are gathered and written in groups on the mirror connection
// (db::cnnMySql(), opened by AbrirConexion(1); opened here when it is closed): a group of a
// hundred goes without waiting for the server's answer (EnvioDiferido), which is taken before
// the next use of the connection, so that the server writes it while the next rows arrive. Rows
// are committed every few thousand: the copy's also at the end of each table, whatever the copy's
// own outcome; merged rows also before each of the merge's own commits (the waiting ones
// written first), so the mirror never lacks a row production has. Where the mirror table's one
// unique key is the row key, a group is one insert that updates the rows whose key the mirror
// holds (for Canje_Punto one look-up for the group first, so that its run-log lines still say
// which rows are inserted and which updated); otherwise, or when the server refuses that
// statement, each row is looked up by its key and then inserted or updated alone. A failure is one
// run-log line that names the table and the row's key and skips that row; nothing here shows a box,
// and nothing changes the caller's result. When the mirror connection is lost, it is opened again
// once and the rows of the lost transaction are written again; if that fails the rest of the table
// is not mirrored, with one more log line.

#include <map>
#include <optional>
#include <vector>

#include "outputs/DatosEspejo.h"
#include "outputs/EnvioDiferido.h"
#include "snapshot/EspejoFusion.h"
#include "snapshot/SalidaCopia.h"

namespace lumaro::outputs {

class EspejoMySql : public snapshot::SalidaCopia, public snapshot::EspejoFusion {
public:
    EspejoMySql() = default;
    ~EspejoMySql() override;
    EspejoMySql(const EspejoMySql&) = delete;
    EspejoMySql& operator=(const EspejoMySql&) = delete;

    // Side output of the copy. preparar always returns true: the mirror never stops the copy.
    bool preparar(const QString& nombreSnapshot) override;
    // A row copied into the snapshot: inserted into the mirror when the mirror lacks it,
    // updated otherwise; dates without their time (Tarjeta.dCaduDate with it).
    void fila(const snapshot::Table& tabla, const snapshot::Fila& fila) override;
    // The table's production rows were marked: mark the mirror's rows of the table as sent.
    void finTabla(const snapshot::Table& tabla) override;
    void fin(bool confirmada) override;

    // The merges' mirror: true when this store feeds the mirror and its connection is open.
    bool activo() override;
    // A merged row: an inserted row is inserted unless the mirror holds it already (then it is
    // updated); an updated row is updated, and inserted when the mirror lacks it. Written with
    // bFlagSincro 1 and dates with their time, as the merges write production.
    void filaFusionada(const snapshot::Table& tabla, const snapshot::Fila& fila,
                       bool insertada) override;
    // Commits the merged rows written so far (the merge is about to commit its batch).
    void confirmarLote() override;
    // Takes the answer of a group still on its way (a merge that stopped before committing
    // leaves one), so that others can use the mirror connection.
    void recogerPendiente();

private:
    // True when this store feeds the mirror and the mirror connection is open.
    bool alimenta();
    // Rows of a new table arrive: asks alimenta once for it (activo just did for a merge).
    void empezarTabla(const snapshot::Table& tabla);
    // A row written in the open transaction.
    struct Escrita {
        const TablaEspejo* t;
        snapshot::Fila fila;
        Origen origen;
        bool buscarPrimero;
    };
    // Takes a row for the open group (a bad one is logged and skipped), sending every hundred
    // and committing every few thousand.
    void escribirEnLote(const TablaEspejo& t, const snapshot::Fila& fila, Origen origen,
                        bool buscarPrimero);
    // Whether the table's groups go in one statement; asked of the mirror once per table and
    // connection (again while the mirror does not answer).
    std::optional<bool> admiteBloque(const TablaEspejo& t);
    // For a table whose writes are logged: asks the mirror which of the rows it holds (one
    // query) and logs, for each row, whether it is inserted or updated; false when the query
    // failed.
    bool registrarBloque(const TablaEspejo& t, const std::vector<Escrita>& espera,
                         const std::vector<const snapshot::Fila*>& filas);
    // Writes the waiting rows in the open transaction (opening one): in one statement where
    // the table admits it, else (or when the server refuses it) row by row. With diferir the
    // statement goes without waiting for its answer where the connection allows it.
    void enviar(const snapshot::Table& tabla, bool diferir = false);
    // Takes the answer of the group sent without waiting, if any: its rows join the
    // transaction's, or go the way of a failed group. Called before any other use of the
    // connection.
    void recoger(const snapshot::Table& tabla);
    // A group's statement failed with error: on a lost connection the transaction's rows and
    // these go again once; otherwise each row alone.
    void falloBloque(const snapshot::Table& tabla, std::vector<Escrita> espera,
                     const QString& error);
    // Looks the row up (buscarPrimero) or updates it first, then inserts or updates it; false
    // after logging a failure.
    bool escribir(const TablaEspejo& t, const snapshot::Fila& fila, Origen origen,
                  bool buscarPrimero);
    // The connection was lost with the open transaction: opens it again, once per table; false
    // (logged; the rest of the table is not mirrored) when that is not possible.
    bool reabrir(const snapshot::Table& tabla);
    // After the connection was opened again: the lost transaction's rows, once more.
    void reescribirLote();
    // Each row alone (escribir); those written join the transaction's. Stops when the mirror
    // is no longer fed.
    void porFila(const std::vector<Escrita>& filas);
    // Runs one mirror statement; false after logging the failure.
    bool ejecutar(const TablaEspejo& t, const snapshot::Fila& fila, const QString& sql,
                  bool insert);
    void fallo(const snapshot::Table& tabla, const snapshot::Fila& fila, const QString& error);
    // Writes the waiting rows and commits the rows written since the last commit (the copy's stay
    // written whatever the copy's outcome); a failure is logged.
    void confirmar(const snapshot::Table& tabla);

    // The table whose rows are arriving, or else the table of the last rows waiting, on their
    // way or written in the open transaction: a merge's rows wait there, across tables, for
    // the merge's commit.
    const snapshot::Table* tablaAbierta() const;

    const snapshot::Table* m_tabla = nullptr;  // the table whose rows are arriving
    bool m_alimenta = false;                   // this store feeds the mirror, for m_tabla
    bool m_respuestaActivo = false;            // activo answered for the next table
    bool m_reabierta = false;                  // the connection was reopened for m_tabla
    bool m_enTransaccion = false;              // written rows await their commit
    // admiteBloque's answers, per table, while the connection lasts.
    std::map<const snapshot::Table*, bool> m_bloques;
    std::vector<Escrita> m_lote;    // rows written since the last commit
    std::vector<Escrita> m_espera;  // rows taken, not written yet
    std::vector<Escrita> m_vuelo;   // rows of the statement awaiting its answer
    EnvioDiferido m_envio;
};

}  // namespace lumaro::outputs
