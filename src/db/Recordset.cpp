#include "db/Recordset.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/Connection.h"
#include "db/DateText.h"

namespace lumaro::db {

namespace {

// A date text as SQLite stores it becomes a QDateTime; every other value stays as read.
QVariant fromSqlite(const QVariant& v) {
    if (v.isNull() || v.metaType().id() != QMetaType::QString) return v;
    const QString s = v.toString();
    if (s.size() < 10 || s.size() > 26 || !s[0].isDigit() || !s[4].isPunct()) return v;
    if (const auto dt = parseDateTimeText(s)) return *dt;
    return v;
}

}  // namespace

bool Recordset::open(Connection& cnn, const QString& sql) {
    close();
    if (!cnn.isOpen()) {
        m_error = QStringLiteral("La conexion no esta abierta");
        return false;
    }
    QSqlQuery q(cnn.database());
    q.setForwardOnly(true);
    if (!q.exec(cnn.prepareStatement(sql))) {
        const QSqlError e = q.lastError();
        m_error = providerMessage(e);
        m_errorNumber = e.nativeErrorCode();
        return false;
    }
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i) {
        m_names << rec.fieldName(i);
        m_foldedNames << rec.fieldName(i).toCaseFolded();
    }
    const bool sqlite = cnn.engine() == Engine::Sqlite;
    while (q.next()) {
        std::vector<QVariant> row;
        row.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row.push_back(sqlite ? fromSqlite(q.value(i)) : q.value(i));
        m_rows.push_back(std::move(row));
    }
    if (q.lastError().isValid()) {
        const QSqlError e = q.lastError();
        close();
        m_error = providerMessage(e);
        m_errorNumber = e.nativeErrorCode();
        return false;
    }
    m_open = true;
    return true;
}

void Recordset::close() {
    m_open = false;
    m_error.clear();
    m_errorNumber.clear();
    m_names.clear();
    m_foldedNames.clear();
    m_rows.clear();
    m_pos = 0;
}

int Recordset::fieldIndex(const QString& name) const {
    return static_cast<int>(m_foldedNames.indexOf(name.toCaseFolded()));
}

QVariant Recordset::value(int index) const {
    if (eof() || index < 0 || index >= fieldCount()) return QVariant();
    return m_rows[m_pos][static_cast<size_t>(index)];
}

}  // namespace lumaro::db
