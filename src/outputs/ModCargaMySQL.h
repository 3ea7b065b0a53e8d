#pragma once
// The initial fill of the MySQL mirror, run once at start-up: in the principal store, each of
// the four mirror tables that is empty receives every row of its production table.
//
// Rows go in multi-row inserts; when the server refuses one, its rows are sent again one by one,
// so that only the row the server refuses is left out, with one log line naming it. Every
// statement of the fill has a time limit on the server, and a lost connection or a statement
// that reached the limit ends the fill (or that table's load) with a log line: start-up always
// goes on to the idle window. Each table is loaded in one transaction, so a load that could not
// finish is undone and the table, still empty, is loaded at the next start-up.

#include <QtGlobal>
#include <vector>

#include "snapshot/DataModel.h"

namespace lumaro::outputs {

struct ResultadoCarga {
    qint64 cargadas = 0;       // rows now in the mirror
    qint64 rechazadas = 0;     // rows left out, each with its log line
    bool completa = false;     // every source row was read and handled
    bool sinConexion = false;  // the mirror connection was lost: nothing more can be sent
};

// In the principal store (AbrirConexion(1) and esLocalPrincipal true), loads every empty mirror
// table in the order Cliente, Tarjeta, Acumulacion_Punto, Canje_Punto, then closes the
// connections it opened. Elsewhere it sends nothing to MySQL.
void ProcesarCargaInicial();

// The loads of one table each, from the open client database connection into the open mirror
// connection. Failures end up in the run log, each line beginning with the load's name and
// " - Error: ".
ResultadoCarga CargarClienteaMySQL();
ResultadoCarga CargarTarjetaaMySQL();
ResultadoCarga CargarAcumulacionPuntoaMySQL();
ResultadoCarga CargarCanjePuntoaMySQL();

// The table of each load, in load order; nullptr for a load that names a table or column the
// data model lacks.
std::vector<const snapshot::Table*> tablasCarga();

// Seconds any one statement of the fill may run on the server: 60 unless set otherwise (tests
// shorten it).
int limiteSentenciaCarga();
void setLimiteSentenciaCarga(int segundos);
// Rows per insert statement of the fill.
inline constexpr int kFilasPorSentenciaCarga = 500;

}  // namespace lumaro::outputs
