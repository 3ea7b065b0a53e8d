#include "db/SentenciaPreparada.h"

#include <QSqlError>
#include <QSqlQuery>

#include "db/Connection.h"
#include "db/SqliteDirecto.h"

namespace lumaro::db {

// On SQLite the statement runs straight on the sqlite3 handle; elsewhere through Qt SQL.
struct SentenciaPreparada::State {
    explicit State(const QSqlDatabase& db) : query(db) {}
    QSqlQuery query;
    std::unique_ptr<SentenciaSqlite> directa;
    QString sql;
};

SentenciaPreparada::SentenciaPreparada() = default;
SentenciaPreparada::~SentenciaPreparada() = default;

bool SentenciaPreparada::preparar(Connection& cnn, const QString& sql) {
    m_state.reset();
    m_error.clear();
    if (!cnn.isOpen()) {
        m_error = QStringLiteral("La conexion no esta abierta");
        return false;
    }
    auto state = std::make_unique<State>(cnn.database());
    state->sql = sql;
    if (sqlite3* db = sqliteHandle(cnn)) {
        state->directa = std::make_unique<SentenciaSqlite>();
        if (!state->directa->preparar(db, cnn.prepareStatement(sql))) {
            m_error = state->directa->errorText() + QStringLiteral(" - ") + sql;
            return false;
        }
        m_state = std::move(state);
        return true;
    }
    if (!state->query.prepare(cnn.prepareStatement(sql))) {
        m_error = providerMessage(state->query.lastError()) + QStringLiteral(" - ") + sql;
        return false;
    }
    m_state = std::move(state);
    return true;
}

bool SentenciaPreparada::ejecutar(const QVariantList& valores) {
    m_filas = -1;
    if (!m_state) {
        m_error = QStringLiteral("La sentencia no esta preparada");
        return false;
    }
    if (SentenciaSqlite* d = m_state->directa.get()) {
        if (!d->enlazar(valores) || d->paso() == SentenciaSqlite::Paso::Error) {
            m_error = d->errorText() + QStringLiteral(" - ") + m_state->sql;
            return false;
        }
        m_filas = d->filasAfectadas();
        return true;
    }
    for (int i = 0; i < valores.size(); ++i) m_state->query.bindValue(i, valores[i]);
    if (!m_state->query.exec()) {
        m_error =
            providerMessage(m_state->query.lastError()) + QStringLiteral(" - ") + m_state->sql;
        return false;
    }
    m_filas = m_state->query.numRowsAffected();
    return true;
}

}  // namespace lumaro::db
