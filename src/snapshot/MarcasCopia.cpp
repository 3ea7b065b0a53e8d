#include "snapshot/MarcasCopia.h"

#include <QDateTime>
#include <limits>

#include "db/clsDBAdmin.h"

namespace lumaro::snapshot {

namespace {

// Rows named by one marking statement: small enough for every engine's expression limits.
constexpr std::size_t kFilasPorSentencia = 200;
constexpr qint64 kNulo = std::numeric_limits<qint64>::min();

qint64 comoNumero(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    return ((d.year() * 100LL + d.month()) * 100 + d.day()) * 1000000LL + t.hour() * 10000LL +
           t.minute() * 100 + t.second();
}

QDateTime comoFecha(qint64 n) {
    const qint64 fecha = n / 1000000;
    const qint64 hora = n % 1000000;
    return QDateTime(QDate(static_cast<int>(fecha / 10000), static_cast<int>(fecha / 100 % 100),
                           static_cast<int>(fecha % 100)),
                     QTime(static_cast<int>(hora / 10000), static_cast<int>(hora / 100 % 100),
                           static_cast<int>(hora % 100)));
}

QString textoFecha(const QDateTime& dt) {
    return u'\'' + dt.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + u'\'';
}

}  // namespace

MarcasCopia::MarcasCopia(const Table& table) : m_table(table) {
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        const bool fechaDeCambio =
            table.hasChangeDate() && c.qName() == QString::fromUtf8(table.changeDate);
        if (!c.key && !fechaDeCambio) continue;
        m_columnas.push_back(static_cast<int>(i));
        if (c.isText())
            ++m_textosPorFila;
        else
            ++m_numerosPorFila;
    }
}

void MarcasCopia::agregar(const Fila& fila) {
    for (int i : m_columnas) {
        const QVariant& v = fila[static_cast<std::size_t>(i)];
        const Column& c = m_table.columns[static_cast<std::size_t>(i)];
        if (c.isText())
            m_textos << (v.isNull() ? QString() : v.toString());
        else if (v.isNull())
            m_numeros.push_back(kNulo);
        else if (c.type == ColumnType::DateTime)
            m_numeros.push_back(comoNumero(v.toDateTime()));
        else
            m_numeros.push_back(v.toLongLong());
    }
    ++m_filas;
}

QString MarcasCopia::condicion(std::size_t fila) const {
    std::size_t n = fila * static_cast<std::size_t>(m_numerosPorFila);
    qsizetype t = static_cast<qsizetype>(fila) * m_textosPorFila;
    QStringList partes;
    for (int i : m_columnas) {
        const Column& c = m_table.columns[static_cast<std::size_t>(i)];
        const QString nombre = c.qName();
        if (c.isText()) {
            const QString& v = m_textos[t++];
            partes << (v.isNull() ? nombre + QStringLiteral(" is null")
                                  : nombre + QStringLiteral("='") +
                                        QString(v).replace(u'\'', QStringLiteral("''")) + u'\'');
            continue;
        }
        const qint64 v = m_numeros[n++];
        if (v == kNulo) {
            partes << nombre + QStringLiteral(" is null");
        } else if (c.type == ColumnType::DateTime) {
            // The copied value is at whole seconds; the stored one may carry a fraction.
            const QDateTime desde = comoFecha(v);
            partes << nombre + QStringLiteral(">=") + textoFecha(desde) + QStringLiteral(" and ") +
                          nombre + u'<' + textoFecha(desde.addSecs(1));
        } else {
            partes << nombre + u'=' + QString::number(v);
        }
    }
    return u'(' + partes.join(QStringLiteral(" and ")) + u')';
}

bool MarcasCopia::aplicar(db::Connection& cnn, QString* error) const {
    const QString inicio =
        QStringLiteral("UPDATE ") + m_table.qName() + QStringLiteral(" SET bFlagSincro=1 WHERE ");
    for (std::size_t desde = 0; desde < m_filas; desde += kFilasPorSentencia) {
        QStringList condiciones;
        for (std::size_t f = desde; f < m_filas && f < desde + kFilasPorSentencia; ++f)
            condiciones << condicion(f);
        if (!db::dbAdmin().EjecutarSentencia(cnn, inicio + condiciones.join(QStringLiteral(" or ")),
                                             1, error))
            return false;
    }
    return true;
}

}  // namespace lumaro::snapshot
