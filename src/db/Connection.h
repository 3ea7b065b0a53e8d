#pragma once
// A database connection as the program's connection variables hold it.
//
// A Connection is a handle: copies share one open database, which closes when the last copy
// is dropped or CerrarBD empties the variable. An empty (default) Connection is closed.
// clsDBAdmin::AbrirBD fills it; statements and queries go through clsDBAdmin and Recordset.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <memory>

#include "db/ConnectionText.h"
#include "db/IdentifierMap.h"

namespace lumaro::db {

// The provider's own message of a Qt SQL error, or Qt's text when the provider gave none.
QString providerMessage(const QSqlError& e);

// True for CREATE, ALTER and DROP statements.
bool isSchemaStatement(const QString& sql);

// True when a provider's message says the statement met a passing condition rather than a
// fault of the row: a lock held by another program (the store's till writes the same tables),
// a deadlock, a time-out, a link that dropped. Such a statement is worth running again later.
bool isTransientError(const QString& providerMessage);

class Connection {
public:
    Connection() = default;

    bool isOpen() const;
    // True when the database still answers a trivial query: a connection the server dropped
    // reads as open until it is used, this asks.
    bool isAlive() const;
    Engine engine() const;
    // The database product as the driver names it ("Microsoft SQL Server", "SQLite", ...).
    QString dbmsName() const;
    // The open Qt database; invalid when closed. Statements should go through clsDBAdmin or
    // Recordset, which give them this connection's dialect.
    QSqlDatabase database() const;

    // The statement as it goes to the engine: names in their stored spelling where the engine
    // compares them exactly (see IdentifierMap). Schema statements refresh the known names.
    QString prepareStatement(const QString& sql) const;
    // Re-reads the table and column names after the schema changed.
    void refreshNames() const;

    // Transactions. Each returns false, with the provider's message in lastError(), when the
    // connection is closed or the database refuses.
    bool beginTransaction();
    bool commitTransaction();
    bool rollbackTransaction();

    // Rows changed by the last statement run through clsDBAdmin::EjecutarSentencia; -1 when
    // unknown.
    int rowsAffected() const;
    // The provider's message of the last failed statement or transaction step.
    QString lastError() const;

    // Used by clsDBAdmin.
    struct State;
    explicit Connection(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    State* state() const { return m_state.get(); }

private:
    bool transactionStep(bool (QSqlDatabase::*step)());
    std::shared_ptr<State> m_state;
};

struct Connection::State {
    State(QString name, Engine engine) : connectionName(std::move(name)), engine(engine) {}
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    QString connectionName;
    Engine engine;
    QString dbmsName;
    bool mapNames = false;  // rewrite names to their stored spelling
    mutable IdentifierMap names;
    int rowsAffected = -1;
    QString lastError;
};

}  // namespace lumaro::db
