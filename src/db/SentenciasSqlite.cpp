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

std::optional<bool> SentenciasSqlite::hayFila(const QString& sql,
                                              const std::vector<QVariant>& parametros,
                                              const QString& columna, QVariant* valor,
                                              QString* error) {
    SentenciaSqlite* s = enlazada(sql, parametros, error);
    if (!s) return std::nullopt;
    switch (s->paso()) {
        case SentenciaSqlite::Paso::Fila:
            if (valor) {
                *valor = QVariant();
                for (int c = 0; c < s->columnas(); ++c)
                    if (s->nombreColumna(c).compare(columna, Qt::CaseInsensitive) == 0) {
                        *valor = s->valor(c);
                        break;
                    }
            }
            s->reiniciar();
            return true;
        case SentenciaSqlite::Paso::Fin:
            return false;
        case SentenciaSqlite::Paso::Error:
            break;
    }
    if (error) *error = s->errorText();
    return std::nullopt;
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
