#include "importer/EjecutorSentencias.h"

#include "db/Recordset.h"
#include "db/clsDBAdmin.h"

namespace lumaro::importer {

std::optional<bool> EjecutorSentencias::buscar(const QString& sql, const char* columnaFecha,
                                               std::optional<QVariant>* fecha, QString* error) {
    db::Recordset rs;
    if (!rs.open(m_cnn, sql)) {
        if (error) *error = rs.errorText() + QStringLiteral(" - ") + sql;
        return std::nullopt;
    }
    if (rs.eof()) return false;
    if (columnaFecha && fecha) *fecha = rs.value(QString::fromUtf8(columnaFecha));
    return true;
}

bool EjecutorSentencias::ejecutar(const QString& sql) {
    return db::dbAdmin().EjecutarSentencia(m_cnn, sql, 0);
}

}  // namespace lumaro::importer
