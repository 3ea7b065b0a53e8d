#include "cadena/Informe.h"

#include <QDateTime>

#include "db/DateText.h"

namespace lumaro::cadena {

QString textoValor(const QVariant& v) {
    if (v.isNull()) return QStringLiteral("NULL");
    switch (v.metaType().id()) {
        case QMetaType::QDateTime:
            return db::dateTimeText(v.toDateTime());
        case QMetaType::QString:
            return u'"' + v.toString() + u'"';
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        default:
            return v.toString();
    }
}

void Informe::grupo(const QString& nombre) {
    m_grupo = nombre;
    m_faltan = m_sobran = m_distintas = 0;
}

void Informe::linea(const QString& texto) {
    ++m_total;
    if (m_faltan + m_sobran + m_distintas <= kLineasPorGrupo) m_out << "  " << texto << '\n';
}

void Informe::falta(const snapshot::Table& tabla, const snapshot::Fila& esperada) {
    ++m_faltan;
    ++m_cuentas.faltan;
    linea(QStringLiteral("falta: %1: %2").arg(m_grupo, snapshot::describirClave(tabla, esperada)));
}

void Informe::sobra(const snapshot::Table& tabla, const snapshot::Fila& encontrada) {
    ++m_sobran;
    ++m_cuentas.sobran;
    linea(
        QStringLiteral("sobra: %1: %2").arg(m_grupo, snapshot::describirClave(tabla, encontrada)));
}

bool Informe::comparar(const snapshot::Table& tabla, const snapshot::Fila& esperada,
                       const snapshot::Fila& encontrada, const Igualdad& iguales) {
    bool todas = true;
    for (size_t i = 0; i < tabla.columns.size(); ++i) {
        if (tabla.columns[i].type == snapshot::ColumnType::Flag) continue;
        const QVariant& e = esperada[i];
        const QVariant& f = encontrada[i];
        if (iguales ? iguales(i, e, f) : e == f) continue;
        todas = false;
        ++m_distintas;
        ++m_cuentas.distintas;
        linea(QStringLiteral("distinta: %1: %2: %3 esperado %4, encontrado %5")
                  .arg(m_grupo, snapshot::describirClave(tabla, esperada), tabla.columns[i].qName(),
                       textoValor(e), textoValor(f)));
    }
    return todas;
}

void Informe::cerrarGrupo() {
    if (m_faltan + m_sobran + m_distintas == 0) return;
    m_out << "  " << m_grupo
          << QStringLiteral(": %1 faltan, %2 sobran, %3 columnas distintas\n")
                 .arg(m_faltan)
                 .arg(m_sobran)
                 .arg(m_distintas);
}

void Informe::totales(const QString& nombre, const Cuentas& desde) {
    m_out << "totales " << nombre
          << QStringLiteral(": %1 faltan, %2 sobran, %3 columnas distintas\n")
                 .arg(m_cuentas.faltan - desde.faltan)
                 .arg(m_cuentas.sobran - desde.sobran)
                 .arg(m_cuentas.distintas - desde.distintas);
}

}  // namespace lumaro::cadena
