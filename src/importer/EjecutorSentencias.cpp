#include "importer/EjecutorSentencias.h"

#include "config/Settings.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "importer/StatementTemplates.h"
#include "run/Console.h"

namespace lumaro::importer {

namespace {

// The look-up with each mark ('$' or $) as a parameter.
QString conParametros(const Plantilla& p) {
    QString out = p.texto;
    for (auto m = p.marcas.rbegin(); m != p.marcas.rend(); ++m) {
        if (m->cruda)
            out.replace(m->posicion - 1, 3, u'?');
        else
            out.replace(m->posicion, 1, u'?');
    }
    return out;
}

}  // namespace

EjecutorSentencias::EjecutorSentencias(db::Connection& cnn)
    : m_cnn(cnn), m_rapido(db::SentenciasSqlite::para(cnn)) {}

std::optional<bool> EjecutorSentencias::buscar(const ReglaFusion& regla, const snapshot::Fila& fila,
                                               QVariant* fecha, QString* error) {
    if (m_rapido) {
        if (auto hallada = buscarRapido(regla, fila, fecha, error)) return hallada;
        if (error && !error->isEmpty()) return std::nullopt;
    }
    QString columna;
    const std::optional<QString> sql = armar(regla, regla.busqueda, fila, &columna);
    if (!sql) {
        if (error)
            *error = QStringLiteral("el valor de ") + columna +
                     QStringLiteral(" no es del tipo de la columna");
        return std::nullopt;
    }
    db::Recordset rs;
    if (!rs.open(m_cnn, *sql)) {
        if (error) *error = rs.errorText() + QStringLiteral(" - ") + *sql;
        return std::nullopt;
    }
    if (rs.eof()) return false;
    if (fecha && regla.fechaCambio >= 0)
        *fecha = rs.value(QString::fromUtf8(regla.tabla->changeDate));
    return true;
}

// nullopt with an empty error when the row needs the text look-up (a null key: IS NULL).
std::optional<bool> EjecutorSentencias::buscarRapido(const ReglaFusion& regla,
                                                     const snapshot::Fila& fila, QVariant* fecha,
                                                     QString* error) {
    std::vector<QVariant> parametros;
    for (const Plantilla::Marca& m : regla.busqueda.marcas) {
        const QVariant& v = fila[static_cast<size_t>(m.columna)];
        if (v.isNull()) return std::nullopt;
        if (regla.tabla->columns[static_cast<size_t>(m.columna)].isText()) {
            const QString t =
                ReemplazarCaracter(v.toString(), QStringLiteral("'"), QStringLiteral(" "));
            parametros.emplace_back(m.cruda ? sinBlancosExternos(t) : t);
        } else {
            parametros.emplace_back(v.toLongLong());
        }
    }
    if (m_busqueda.isEmpty()) m_busqueda = conParametros(regla.busqueda);
    const bool conFecha = fecha && regla.fechaCambio >= 0;
    const std::optional<bool> hallada =
        m_rapido->hayFila(m_busqueda, parametros, QString::fromUtf8(regla.tabla->changeDate),
                          conFecha ? fecha : nullptr, error);
    if (!hallada && error) *error += QStringLiteral(" - ") + m_busqueda;
    return hallada;
}

bool EjecutorSentencias::ejecutar(const QString& sql, QString* error) {
    if (m_rapido && m_rapido->ejecutar(sql, nullptr)) return true;
    // Also after a failure in the fast lane, so that the message is the one clsDBAdmin reads.
    if (db::dbAdmin().EjecutarSentencia(m_cnn, sql, 1)) return true;
    if (error) *error = m_cnn.lastError();
    return false;
}

bool EjecutorSentencias::ejecutarEnlazada(const ReglaFusion& regla, const Plantilla& plantilla,
                                          const snapshot::Fila& fila) {
    if (!m_rapido) return false;
    const std::optional<std::vector<QVariant>> valores = valoresEnlazados(regla, plantilla, fila);
    if (!valores) return false;
    QString& sql = m_enlazadas[&plantilla];
    if (sql.isEmpty()) sql = conParametros(plantilla);
    return m_rapido->ejecutar(sql, *valores, nullptr);
}

void EjecutorSentencias::informarFallo(const QString& sql, const QString& error) {
    run::console().messageBox(run::BoxIcon::Information, QString(),
                              error + QStringLiteral(" - ") + sql);
    config::EscribirLog(QStringLiteral("Error (EjecutarSentencia): ") + error);
}

}  // namespace lumaro::importer
