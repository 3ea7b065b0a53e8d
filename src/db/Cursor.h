#pragma once
// A forward-only, read-only pass over a query's rows, one row at a time, so that a selection
// of millions of rows never sits in memory whole (Recordset reads everything; use it for
// look-ups and small results).
//
// Values come as the driver gives them: an SQLite date is its stored text
// ("yyyy/mm/dd hh:mm:ss"). snapshot::valorColumna brings any of them into one form.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "db/SqliteDirecto.h"

namespace lumaro::db {

class Connection;

class Cursor {
public:
    Cursor();
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // Runs the query. False, with the provider's message in errorText(), when it fails.
    bool open(Connection& cnn, const QString& sql);
    // Moves to the next row (the first after open). False at the end of the rows and on an
    // error; failed() tells which.
    bool next();
    bool failed() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }
    void close();

    int fieldCount() const { return static_cast<int>(m_names.size()); }
    QString fieldName(int index) const { return m_names.value(index); }
    // -1 when the name (any case) is not a field.
    int fieldIndex(const QString& name) const;
    // The current row's field; a null QVariant for a NULL, an invalid one out of range.
    QVariant value(int index) const;
    // The current row's field exactly as SQLite holds it, for bulk readers that convert it
    // themselves; false on any other engine (use value()) or out of range.
    bool crudo(int index, ValorCrudo& out) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
    QStringList m_names;
    QStringList m_folded;
    QString m_error;
};

}  // namespace lumaro::db
