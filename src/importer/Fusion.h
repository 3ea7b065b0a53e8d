#pragma once
// The ten table merges: each writes the rows of one table of the open snapshot (cnnSnapshot)
// into the production database of its table (cnnCliente, or cnnLogistica for the two
// birthday-redemption registers), under its table's rule (see ReglasFusion.cpp).
//
// Contract of every merge:
//  - only snapshot rows whose bFlagSincro is still 0 are taken, so a merge cut short (a
//    failed statement, a killed process) resumes where it stopped;
//  - production writes go in transactions of a few thousand rows; a batch's snapshot rows are
//    marked only after its commit, so a crash re-merges at most rows whose second merge
//    changes nothing;
//  - a row that production refuses while its connection still answers, and a row holding a
//    value that is not of its column's kind, are set aside (FilasApartadas.h) and marked: they
//    never hold the rest of the table back;
//  - true when every row was handled; false when a production connection stopped answering, a
//    row could not be set aside, or the file or a database could not be read (rows before stay
//    merged and marked).

#include <QMap>
#include <QString>
#include <functional>

#include "snapshot/DataModel.h"
#include "snapshot/EspejoFusion.h"

namespace lumaro::importer {

bool syncTablaAcumulPunto();
bool syncTablaAcumulTicket();
bool syncTablaCanjePunto();
bool syncTablaCanjeTicket();
bool syncTablaCliente();
bool syncTablaTarjeta();
bool syncTablaCumpleanios();
bool syncTablaContactos();
bool syncRegCanjeCumpl();
bool syncRegCanjeCumpl_D();

// Rows the merges met since the caller last emptied the count: all of them, those already
// marked in the snapshot (merged before), those set aside, and those inserted or updated in
// production and committed.
struct CuentaFilas {
    qint64 vistas = 0;
    qint64 yaMarcadas = 0;
    qint64 apartadas = 0;
    QMap<QString, qint64> escritas;  // per table
};
CuentaFilas& cuentaFilas();

// While one lives, the merges share their production transactions: a table that ends well
// leaves its written rows (and their snapshot marks) to the commit of the next batch, so that
// a snapshot ends with one commit per database instead of one per table. The batches keep
// their size (setTamanoLote), and a table that fails commits at once, as it would alone.
// confirmar commits what is open (false, with the first error, when a commit failed: its
// rows stay unmarked); the destructor commits what is still open.
class FusionesCompartidas {
public:
    FusionesCompartidas();
    ~FusionesCompartidas();
    FusionesCompartidas(const FusionesCompartidas&) = delete;
    FusionesCompartidas& operator=(const FusionesCompartidas&) = delete;
    bool confirmar(QString* error);
};

// The merge of a table of the data model.
using FusionTabla = bool (*)();
FusionTabla fusionDeTabla(const snapshot::Table& tabla);

// The mirror that merged rows of the mirrored tables go to (Cliente, Tarjeta,
// Acumulacion_Punto, Canje_Punto); nothing goes anywhere while it is null or not activo().
// The caller keeps ownership.
void setEspejoFusion(snapshot::EspejoFusion* espejo);

// Production rows written per transaction (tests make it small).
void setTamanoLote(int filas);

// Points of a merge that a crash test stops the process at: after each production
// statement, after each commit, after each snapshot mark.
enum class PuntoFusion { Sentencia, Confirmacion, Marca };
void setObservadorFusion(std::function<void(PuntoFusion)> observador);

}  // namespace lumaro::importer
