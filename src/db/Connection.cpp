#include "db/Connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "db/SessionSetup.h"

namespace lumaro::db {

QString providerMessage(const QSqlError& e) {
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

bool isSchemaStatement(const QString& sql) {
    const QString head = sql.trimmed().left(7).toUpper();
    return head.startsWith(QLatin1String("CREATE")) || head.startsWith(QLatin1String("ALTER")) ||
           head.startsWith(QLatin1String("DROP"));
}

bool isTransientError(const QString& providerMessage) {
    // SQLite, SQL Server (English and Spanish logins), MySQL and the ODBC layer.
    static const char* const kPasajeros[] = {
        "database is locked",
        "database table is locked",
        "deadlock",
        "interbloqueo",
        "lock request time out",
        "tiempo de espera de la solicitud de bloqueo",
        "lock wait timeout",
        "timeout expired",
        "tiempo de espera",
        "server has gone away",
        "lost connection",
        "communication link failure",
        "connection is busy",
    };
    const QString texto = providerMessage.toLower();
    for (const char* pasajero : kPasajeros)
        if (texto.contains(QLatin1String(pasajero))) return true;
    return false;
}

Connection::State::~State() {
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isValid()) db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

bool Connection::isOpen() const {
    return m_state && QSqlDatabase::database(m_state->connectionName, false).isOpen();
}

bool Connection::isAlive() const {
    if (!isOpen()) return false;
    QSqlQuery q(database());
    return q.exec(QStringLiteral("select 1")) && q.next();
}

Engine Connection::engine() const { return m_state ? m_state->engine : Engine::None; }

QString Connection::dbmsName() const { return m_state ? m_state->dbmsName : QString(); }

QSqlDatabase Connection::database() const {
    return m_state ? QSqlDatabase::database(m_state->connectionName, false) : QSqlDatabase();
}

QString Connection::prepareStatement(const QString& sql) const {
    if (!m_state || !m_state->mapNames) return sql;
    // SQLite folds ASCII letters in names itself: only a text with other letters needs them.
    if (m_state->engine == Engine::Sqlite &&
        std::all_of(sql.cbegin(), sql.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return sql;
    if (isSchemaStatement(sql)) return sql;  // names being defined keep the caller's spelling
    return m_state->names.rewrite(sql);
}

void Connection::refreshNames() const {
    if (m_state && m_state->mapNames) loadStoredNames(*this, m_state->names);
}

bool Connection::transactionStep(bool (QSqlDatabase::*step)()) {
    if (!isOpen()) {
        if (m_state) m_state->lastError = QStringLiteral("La conexion no esta abierta");
        return false;
    }
    QSqlDatabase db = database();
    if ((db.*step)()) return true;
    m_state->lastError = providerMessage(db.lastError());
    return false;
}

bool Connection::beginTransaction() { return transactionStep(&QSqlDatabase::transaction); }
bool Connection::commitTransaction() { return transactionStep(&QSqlDatabase::commit); }
bool Connection::rollbackTransaction() { return transactionStep(&QSqlDatabase::rollback); }

int Connection::rowsAffected() const { return m_state ? m_state->rowsAffected : -1; }

QString Connection::lastError() const { return m_state ? m_state->lastError : QString(); }

}  // namespace lumaro::db
