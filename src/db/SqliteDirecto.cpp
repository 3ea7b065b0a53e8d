#include "db/SqliteDirecto.h"

#include <sqlite3.h>

#include <QDateTime>

#include "db/DateText.h"

namespace lumaro::db {

SentenciaSqlite::~SentenciaSqlite() {
    if (m_stmt) sqlite3_finalize(m_stmt);
}

bool SentenciaSqlite::preparar(sqlite3* db, const QString& sql) {
    m_db = db;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &m_stmt, nullptr) ==
        SQLITE_OK)
        return true;
    m_error = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

bool SentenciaSqlite::enlazar(const QVariantList& valores) {
    sqlite3_reset(m_stmt);
    for (int i = 0; i < valores.size(); ++i) {
        const QVariant& v = valores[i];
        int r = SQLITE_OK;
        switch (v.isNull() ? QMetaType::UnknownType : v.metaType().id()) {
            case QMetaType::UnknownType:
                r = sqlite3_bind_null(m_stmt, i + 1);
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Bool:
                r = sqlite3_bind_int64(m_stmt, i + 1, v.toLongLong());
                break;
            case QMetaType::Double:
                r = sqlite3_bind_double(m_stmt, i + 1, v.toDouble());
                break;
            default: {
                const QByteArray utf8 = v.metaType().id() == QMetaType::QDateTime
                                            ? dateTimeText(v.toDateTime()).toUtf8()
                                            : v.toString().toUtf8();
                r = sqlite3_bind_text(m_stmt, i + 1, utf8.constData(),
                                      static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
            }
        }
        if (r != SQLITE_OK) {
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
            return false;
        }
    }
    return true;
}

SentenciaSqlite::Paso SentenciaSqlite::paso() {
    switch (sqlite3_step(m_stmt)) {
        case SQLITE_ROW:
            return Paso::Fila;
        case SQLITE_DONE:
            return Paso::Fin;
        default:
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
            return Paso::Error;
    }
}

void SentenciaSqlite::reiniciar() { sqlite3_reset(m_stmt); }

int SentenciaSqlite::columnas() const { return sqlite3_column_count(m_stmt); }

QString SentenciaSqlite::nombreColumna(int i) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

QVariant SentenciaSqlite::valor(int i) const {
    const ValorCrudo v = crudo(i);
    switch (v.tipo) {
        case ValorCrudo::Tipo::Entero:
            return QVariant(static_cast<qlonglong>(v.entero));
        case ValorCrudo::Tipo::Real:
            return QVariant(v.real);
        case ValorCrudo::Tipo::Texto:
            return QVariant(QString::fromUtf8(v.datos, v.largo));
        case ValorCrudo::Tipo::Blob:
            return QVariant(QByteArray(v.datos, v.largo));
        default:
            return QVariant();
    }
}

// The column's value is taken once, then read through it: every sqlite3_column_* call checks
// the column and takes the connection's lock again, which on a bulk read cost more than the
// value. The value is the statement's own and only this thread steps the statement.
ValorCrudo SentenciaSqlite::crudo(int i) const {
    ValorCrudo v;
    sqlite3_value* valor = sqlite3_column_value(m_stmt, i);
    switch (sqlite3_value_type(valor)) {
        case SQLITE_INTEGER:
            v.tipo = ValorCrudo::Tipo::Entero;
            v.entero = sqlite3_value_int64(valor);
            break;
        case SQLITE_FLOAT:
            v.tipo = ValorCrudo::Tipo::Real;
            v.real = sqlite3_value_double(valor);
            break;
        case SQLITE_TEXT:
            v.tipo = ValorCrudo::Tipo::Texto;
            v.datos = reinterpret_cast<const char*>(sqlite3_value_text(valor));
            v.largo = sqlite3_value_bytes(valor);
            break;
        case SQLITE_BLOB:
            v.tipo = ValorCrudo::Tipo::Blob;
            v.datos = static_cast<const char*>(sqlite3_value_blob(valor));
            v.largo = sqlite3_value_bytes(valor);
            break;
        default:
            break;
    }
    return v;
}

bool SentenciaSqlite::enlazarEntero(int i, qint64 valor) {
    if (sqlite3_bind_int64(m_stmt, i + 1, valor) == SQLITE_OK) return true;
    m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

bool SentenciaSqlite::enlazarTexto(int i, const char* utf8, int largo) {
    if (sqlite3_bind_text(m_stmt, i + 1, utf8, largo, SQLITE_TRANSIENT) == SQLITE_OK) return true;
    m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

int SentenciaSqlite::filasAfectadas() const { return sqlite3_changes(m_db); }

}  // namespace lumaro::db
