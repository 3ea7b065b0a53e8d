#include "db/SentenciasSqlite.h"

#include <sqlite3.h>
#include <QSqlDriver>
#include <cstring>

namespace lumaro::db {

namespace {

bool soloAscii(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() > 0x7F) return false;
    return true;
}

}  // namespace

std::unique_ptr<SentenciasSqlite> SentenciasSqlite::para(const Connection& cnn) {
    if (cnn.engine() != Engine::Sqlite || !cnn.isOpen()) return nullptr;
    const QVariant h = cnn.database().driver()->handle();
    if (!h.isValid() || h.typeName() == nullptr || std::strcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    sqlite3* handle = *static_cast<sqlite3* const*>(h.constData());
    if (handle == nullptr) return nullptr;
    return std::unique_ptr<SentenciasSqlite>(new SentenciasSqlite(cnn, handle));
}

SentenciasSqlite::~SentenciasSqlite() {
    for (auto& [sql, stmt] : m_preparadas) sqlite3_finalize(stmt);
}

// SQLite folds ASCII letters in names itself; only a text with other letters needs the
// stored spellings.
QByteArray SentenciasSqlite::texto(const QString& sql) const {
    return (soloAscii(sql) ? sql : m_cnn.prepareStatement(sql)).toUtf8();
}

QString SentenciasSqlite::mensaje() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

std::optional<std::vector<QVariant>> SentenciasSqlite::primeraFila(
    const QString& sql, const std::vector<QVariant>& parametros, QString* error) {
    sqlite3_stmt*& stmt = m_preparadas[sql];
    if (stmt == nullptr) {
        const QByteArray t = texto(sql);
        if (sqlite3_prepare_v2(m_db, t.constData(), static_cast<int>(t.size()), &stmt, nullptr) !=
            SQLITE_OK) {
            if (error) *error = mensaje();
            m_preparadas.erase(sql);
            return std::nullopt;
        }
    }
    sqlite3_reset(stmt);
    for (size_t i = 0; i < parametros.size(); ++i) {
        const QVariant& p = parametros[i];
        const int n = static_cast<int>(i) + 1;
        if (p.isNull()) {
            sqlite3_bind_null(stmt, n);
        } else if (p.metaType().id() == QMetaType::LongLong) {
            sqlite3_bind_int64(stmt, n, p.toLongLong());
        } else {
            const QByteArray v = p.toString().toUtf8();
            sqlite3_bind_text(stmt, n, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        }
    }
    std::vector<QVariant> fila;
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_NULL)
                fila.emplace_back();
            else if (sqlite3_column_type(stmt, c) == SQLITE_INTEGER)
                fila.emplace_back(qlonglong{sqlite3_column_int64(stmt, c)});
            else
                fila.emplace_back(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                      sqlite3_column_bytes(stmt, c)));
        }
    } else if (rc != SQLITE_DONE) {
        if (error) *error = mensaje();
        sqlite3_reset(stmt);
        return std::nullopt;
    }
    sqlite3_reset(stmt);
    return fila;
}

int SentenciasSqlite::indiceColumna(const QString& sql, const QString& nombre) const {
    const auto it = m_preparadas.find(sql);
    if (it == m_preparadas.end()) return -1;
    for (int c = 0; c < sqlite3_column_count(it->second); ++c)
        if (QString::fromUtf8(sqlite3_column_name(it->second, c))
                .compare(nombre, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

bool SentenciasSqlite::ejecutar(const QString& sql, QString* error) {
    const QByteArray t = texto(sql);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, t.constData(), static_cast<int>(t.size()), &stmt, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
    }
    const bool ok = rc == SQLITE_DONE || (rc == SQLITE_OK && stmt == nullptr);
    if (!ok && error) *error = mensaje();
    sqlite3_finalize(stmt);
    return ok;
}

}  // namespace lumaro::db
