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

bool SentenciaPreparada::fallo(const QString& mensaje) {
    m_error = mensaje + QStringLiteral(" - ") + (m_state ? m_state->sql : QString());
    return false;
}

bool SentenciaPreparada::enlazarEntero(int i, qint64 valor) {
    if (!m_state) return fallo(QStringLiteral("La sentencia no esta preparada"));
    if (SentenciaSqlite* d = m_state->directa.get()) {
        return d->enlazarEntero(i, valor) || fallo(d->errorText());
    }
    m_state->query.bindValue(i, valor);
    return true;
}

bool SentenciaPreparada::enlazarTexto(int i, const char* utf8, int largo) {
    if (!m_state) return fallo(QStringLiteral("La sentencia no esta preparada"));
    if (SentenciaSqlite* d = m_state->directa.get()) {
        return d->enlazarTexto(i, utf8, largo) || fallo(d->errorText());
    }
    m_state->query.bindValue(i, QString::fromUtf8(utf8, largo));
    return true;
}

bool SentenciaPreparada::ejecutar() {
    m_filas = -1;
    if (!m_state) return fallo(QStringLiteral("La sentencia no esta preparada"));
    if (SentenciaSqlite* d = m_state->directa.get()) {
        if (d->paso() == SentenciaSqlite::Paso::Error) return fallo(d->errorText());
        m_filas = d->filasAfectadas();
        d->reiniciar();
        return true;
    }
    if (!m_state->query.exec()) return fallo(providerMessage(m_state->query.lastError()));
    m_filas = m_state->query.numRowsAffected();
    return true;
}

}  // namespace lumaro::db
