#pragma once
// The ledger report, for the person who asks why a store's data is missing: per store and
// day whether its snapshot was downloaded, merged, looked for and not found, or has no row at
// all, and whether the file sits in the program folder's MDB_descargadas (waiting to be
// merged) or Error (a merge that failed). Between a store's first and last known day, days
// without a row are gaps, stated as such. The command-line tool and the window share it.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "ledger/FilasLedger.h"

namespace lumaro::ledger {

struct DiaInforme {
    enum class Estado { Sincronizado, Descargado, NoEncontrado, SinRegistro };
    qint64 idLocal = 0;
    QDate fecha;
    Estado estado = Estado::SinRegistro;
    QString carpeta;  // "MDB_descargadas" or "Error" when the day's snapshot is there
};

struct ResumenLocal {
    qint64 idLocal = 0;
    QDate primero, ultimo;
    int sincronizados = 0, descargados = 0, noEncontrados = 0, sinRegistro = 0;
    int huecos = 0;  // runs of consecutive days without a row
    int enDescargadas = 0, enError = 0;
};

// Consecutive days of a store without a ledger row.
struct Hueco {
    qint64 idLocal = 0;
    QDate desde, hasta;
};

struct Informe {
    QList<DiaInforme> dias;  // by store, then day; every day from a store's first to its last
    QList<Hueco> huecos;     // by store, then day
    QList<ResumenLocal> locales;
    QStringList filasMalas;  // rows left out, each with its number and why
};

struct FiltroInforme {
    QDate desde;                  // invalid: from each store's first day
    std::optional<qint64> local;  // only this store
};

// The report from ledger rows and the working folders of carpetaPrograma.
Informe armarInforme(const QList<FilaLedger>& filas, const QString& carpetaPrograma,
                     const FiltroInforme& filtro);
// The report of the ledger file (SQLite, or the Jet file of the older program), with the
// working folders beside it. Reads only. A row that cannot be taken is left out and listed
// in filasMalas. nullopt with the reason in error when the file cannot be read.
std::optional<Informe> leerInforme(const QString& rutaLedger, const FiltroInforme& filtro,
                                   QString* error);

QString textoEstado(const DiaInforme& dia);  // "sincronizado", ... " (en Error)"
// For a terminal: the rows left out, then the days of each store, its gaps and a summary
// line.
QStringList lineasTexto(const Informe& informe);
// For a spreadsheet: a header and one line per day (local,fecha,estado,carpeta).
QStringList lineasCsv(const Informe& informe);

}  // namespace lumaro::ledger
