#include "db/Cursor.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/Connection.h"
#include "db/SqliteDirecto.h"

namespace lumaro::db {

// On SQLite the rows are read straight from the sqlite3 handle; elsewhere through Qt SQL.
struct Cursor::State {
    explicit State(const QSqlDatabase& db) : query(db) {}
    QSqlQuery query;
    std::unique_ptr<SentenciaSqlite> directa;
    bool onRow = false;
};

Cursor::Cursor() = default;
Cursor::~Cursor() = default;

bool Cursor::open(Connection& cnn, const QString& sql) {
    close();
    if (!cnn.isOpen()) {
        m_error = QStringLiteral("La conexion no esta abierta");
        return false;
    }
    m_state = std::make_unique<State>(cnn.database());
    if (sqlite3* db = sqliteHandle(cnn)) {
        m_state->directa = std::make_unique<SentenciaSqlite>();
        if (!m_state->directa->preparar(db, cnn.prepareStatement(sql))) {
            m_error = m_state->directa->errorText();
            m_state.reset();
            return false;
        }
        for (int i = 0; i < m_state->directa->columnas(); ++i) {
            m_names << m_state->directa->nombreColumna(i);
            m_folded << m_names.back().toCaseFolded();
        }
        return true;
    }
    m_state->query.setForwardOnly(true);
    if (!m_state->query.exec(cnn.prepareStatement(sql))) {
        m_error = providerMessage(m_state->query.lastError());
        m_state.reset();
        return false;
    }
    const QSqlRecord rec = m_state->query.record();
    for (int i = 0; i < rec.count(); ++i) {
        m_names << rec.fieldName(i);
        m_folded << rec.fieldName(i).toCaseFolded();
    }
    return true;
}

bool Cursor::next() {
    if (!m_state) return false;
    if (m_state->directa) {
        const auto paso = m_state->directa->paso();
        if (paso == SentenciaSqlite::Paso::Error) m_error = m_state->directa->errorText();
        m_state->onRow = paso == SentenciaSqlite::Paso::Fila;
        return m_state->onRow;
    }
    m_state->onRow = m_state->query.next();
    if (!m_state->onRow && m_state->query.lastError().isValid())
        m_error = providerMessage(m_state->query.lastError());
    return m_state->onRow;
}

void Cursor::close() {
    if (m_state && !m_state->directa) m_state->query.finish();
    m_state.reset();
    m_names.clear();
    m_folded.clear();
    m_error.clear();
}

int Cursor::fieldIndex(const QString& name) const {
    return static_cast<int>(m_folded.indexOf(name.toCaseFolded()));
}

QVariant Cursor::value(int index) const {
    if (!m_state || !m_state->onRow || index < 0 || index >= fieldCount()) return QVariant();
    if (m_state->directa) return m_state->directa->valor(index);
    return m_state->query.value(index);
}

bool Cursor::crudo(int index, ValorCrudo& out) const {
    if (!m_state || !m_state->onRow || !m_state->directa || index < 0 || index >= fieldCount())
        return false;
    out = m_state->directa->crudo(index);
    return true;
}

}  // namespace lumaro::db
