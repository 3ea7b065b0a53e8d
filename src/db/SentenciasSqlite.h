#pragma once
// A fast lane for the statements of a long loop on an embedded (SQLite) connection: straight
// through the connection's sqlite3 handle, without Qt SQL's per-statement records and values.
//
// Look-ups are prepared once per text, with "?" parameters, and run again with new values;
// other statements run as finished texts. Names are brought to their stored spelling as
// clsDBAdmin does. The lane reports failures only through its results: a caller that must
// show a failed statement the usual way runs it again through clsDBAdmin (a statement that
// failed in SQLite changed nothing).

#include <QString>
#include <QVariant>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "db/Connection.h"
#include "db/SqliteDirecto.h"

namespace lumaro::db {

class SentenciasSqlite {
public:
    // The lane for an open SQLite connection; nullptr for any other engine. The connection
    // must outlive the lane.
    static std::unique_ptr<SentenciasSqlite> para(const Connection& cnn);
    ~SentenciasSqlite();
    SentenciasSqlite(const SentenciasSqlite&) = delete;
    SentenciasSqlite& operator=(const SentenciasSqlite&) = delete;

    // Runs a query with "?" parameters (qlonglong, QString or null) and returns its first
    // row (empty when there is none), dates as stored texts; nullopt with the engine's
    // message in error when it fails.
    std::optional<std::vector<QVariant>> primeraFila(const QString& sql,
                                                     const std::vector<QVariant>& parametros,
                                                     QString* error);
    // The position of a column (any case) in the results of a query primeraFila prepared;
    // -1 when it has no such column.
    int indiceColumna(const QString& sql, const QString& nombre) const;
    // Runs one finished statement; false with the engine's message in error.
    bool ejecutar(const QString& sql, QString* error);
    // Runs a statement with "?" parameters, prepared once per text as the queries are;
    // false with the engine's message in error.
    bool ejecutar(const QString& sql, const std::vector<QVariant>& parametros, QString* error);

private:
    SentenciasSqlite(const Connection& cnn, sqlite3* handle) : m_cnn(cnn), m_db(handle) {}
    // The statement prepared for the text with the values bound; nullptr after a failure.
    SentenciaSqlite* enlazada(const QString& sql, const std::vector<QVariant>& parametros,
                              QString* error);

    const Connection& m_cnn;
    sqlite3* m_db;
    std::map<QString, std::unique_ptr<SentenciaSqlite>> m_preparadas;
};

}  // namespace lumaro::db
