#pragma once
// The merges' statements on a production connection: the look-up of an incoming row and the
// insert or update that follows.
//
// Look-ups and statements go through the program's database access object, except on an
// embedded (SQLite) database, where the fast lane of db::SentenciasSqlite runs them: the
// look-up, the insert and the update each prepared once per table with its marks as
// parameters (the parsing of a text per row cost more than the writing). A statement that
// fails there is run again as its finished text through clsDBAdmin, which shows and logs the
// failure as it does everywhere.

#include <QString>
#include <QVariant>
#include <map>
#include <memory>
#include <optional>

#include "db/Connection.h"
#include "db/SentenciasSqlite.h"
#include "importer/ReglasFusion.h"

namespace lumaro::importer {

class EjecutorSentencias {
public:
    explicit EjecutorSentencias(db::Connection& cnn);

    // Looks the row up with the rule's look-up: true when production holds it, false when
    // not; nullopt with the reason in error when the look-up failed or a value was not of its
    // kind. For the by-date rules the production change date goes to fecha.
    std::optional<bool> buscar(const ReglaFusion& regla, const snapshot::Fila& fila,
                               QVariant* fecha, QString* error);
    // Runs an insert or update; false with the database's message in error. Nothing is shown
    // or logged: the caller tells a refused row from a lost connection first.
    bool ejecutar(const QString& sql, QString* error);
    // On an embedded database, runs the rule's insert or update for the row as a statement
    // prepared once per template, with the row's values bound (valoresEnlazados). False when
    // it did not run it there (another engine, a row that needs the finished text) or it
    // failed: the caller then runs the finished text through ejecutar, which meets the same
    // failure and reports it.
    bool ejecutarEnlazada(const ReglaFusion& regla, const Plantilla& plantilla,
                          const snapshot::Fila& fila);
    // Shows and logs a failed statement as clsDBAdmin does with its error flag 0.
    static void informarFallo(const QString& sql, const QString& error);

private:
    std::optional<bool> buscarRapido(const ReglaFusion& regla, const snapshot::Fila& fila,
                                     QVariant* fecha, QString* error);

    db::Connection& m_cnn;
    std::unique_ptr<db::SentenciasSqlite> m_rapido;
    QString m_busqueda;                               // the rule's look-up with "?" for its marks
    std::map<const Plantilla*, QString> m_enlazadas;  // the insert and update with "?"
};

}  // namespace lumaro::importer
