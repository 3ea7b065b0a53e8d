#include "db/SentenciasSqlite.h"

namespace lumaro::db {

std::unique_ptr<SentenciasSqlite> SentenciasSqlite::para(const Connection& cnn) {
    sqlite3* handle = cnn.isOpen() ? sqliteHandle(cnn) : nullptr;
    if (handle == nullptr) return nullptr;
    return std::unique_ptr<SentenciasSqlite>(new SentenciasSqlite(cnn, handle));
}

SentenciasSqlite::~SentenciasSqlite() = default;

SentenciaSqlite* SentenciasSqlite::enlazada(const QString& sql,
                                            const std::vector<QVariant>& parametros,
                                            QString* error) {
    std::unique_ptr<SentenciaSqlite>& s = m_preparadas[sql];
    if (!s) {
        s = std::make_unique<SentenciaSqlite>();
        if (!s->preparar(m_db, m_cnn.prepareStatement(sql))) {
            if (error) *error = s->errorText();
            m_preparadas.erase(sql);
            return nullptr;
        }
    }
    const QVariantList valores(parametros.begin(), parametros.end());
    if (s->enlazar(valores)) return s.get();
    if (error) *error = s->errorText();
    return nullptr;
}

std::optional<std::vector<QVariant>> SentenciasSqlite::primeraFila(
    const QString& sql, const std::vector<QVariant>& parametros, QString* error) {
    SentenciaSqlite* s = enlazada(sql, parametros, error);
    if (!s) return std::nullopt;
    std::vector<QVariant> fila;
    switch (s->paso()) {
        case SentenciaSqlite::Paso::Fila:
            for (int c = 0; c < s->columnas(); ++c) fila.push_back(s->valor(c));
            s->reiniciar();
            break;
        case SentenciaSqlite::Paso::Fin:
            break;
        case SentenciaSqlite::Paso::Error:
            if (error) *error = s->errorText();
            return std::nullopt;
    }
    return fila;
}

int SentenciasSqlite::indiceColumna(const QString& sql, const QString& nombre) const {
    const auto it = m_preparadas.find(sql);
    if (it == m_preparadas.end()) return -1;
    for (int c = 0; c < it->second->columnas(); ++c)
        if (it->second->nombreColumna(c).compare(nombre, Qt::CaseInsensitive) == 0) return c;
    return -1;
}

bool SentenciasSqlite::ejecutar(const QString& sql, QString* error) {
    SentenciaSqlite s;
    bool ok = s.preparar(m_db, m_cnn.prepareStatement(sql));
    if (ok) {
        SentenciaSqlite::Paso paso;
        while ((paso = s.paso()) == SentenciaSqlite::Paso::Fila) {
        }
        ok = paso == SentenciaSqlite::Paso::Fin;
    }
    if (!ok && error) *error = s.errorText();
    return ok;
}

bool SentenciasSqlite::ejecutar(const QString& sql, const std::vector<QVariant>& parametros,
                                QString* error) {
    SentenciaSqlite* s = enlazada(sql, parametros, error);
    if (!s) return false;
    SentenciaSqlite::Paso paso;
    while ((paso = s->paso()) == SentenciaSqlite::Paso::Fila) {
    }
    if (paso != SentenciaSqlite::Paso::Fin && error) *error = s->errorText();
    s->reiniciar();
    return paso == SentenciaSqlite::Paso::Fin;
}

}  // namespace lumaro::db
