#pragma once
// A fast lane for the statements of a long loop on an embedded (SQLite) connection: straight
// through the connection's sqlite3 handle, without Qt SQL's per-statement records and values.
//
// Statements with "?" parameters are prepared once per text and run again with new values;
// finished texts are prepared each time. Names are brought to their stored spelling as
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

    // Runs a query with "?" parameters (qlonglong, QString or null): whether it has a row,
    // and in valor (when asked) that row's value of the column named columna (any case), as
    // stored (dates as texts), null when the query has no such column. nullopt with the
    // engine's message in error when it fails.
    std::optional<bool> hayFila(const QString& sql, const std::vector<QVariant>& parametros,
                                const QString& columna, QVariant* valor, QString* error);
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
