#include "snapshot/MarcasCopia.h"

#include <QDateTime>
#include <limits>

#include <map>
#include <memory>

#include "db/SentenciaPreparada.h"

namespace lumaro::snapshot {

namespace {

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
                           static_cast<int>(hora % 100)),
                     Qt::UTC);
}

// "yyyy/mm/dd hh:mm:ss", written digit by digit: it runs twice for every copied row.
QString textoFecha(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    QString out(19, u'/');
    const auto put = [&out](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) out[at + i] = QChar(u'0' + value % 10);
    };
    put(0, d.year(), 4);
    put(5, d.month(), 2);
    put(8, d.day(), 2);
    out[10] = u' ';
    put(11, t.hour(), 2);
    out[13] = u':';
    put(14, t.minute(), 2);
    out[16] = u':';
    put(17, t.second(), 2);
    return out;
}

}  // namespace

MarcasCopia::MarcasCopia(const Table& table) : m_table(table) {
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        const bool fechaDeCambio =
            table.hasChangeDate() && c.qName() == QString::fromUtf8(table.changeDate);
        if (!c.key && !fechaDeCambio) continue;
        m_columnas.push_back(static_cast<int>(i));
    }
}

void MarcasCopia::agregar(const Fila& fila) {
    if (m_filas == 0 && !m_archivo.isOpen()) {
        m_archivo.open();
        m_flujo.setDevice(&m_archivo);
    }
    for (int i : m_columnas) {
        const QVariant& v = fila[static_cast<std::size_t>(i)];
        const Column& c = m_table.columns[static_cast<std::size_t>(i)];
        if (c.isText())
            m_flujo << (v.isNull() ? QString() : v.toString());
        else if (v.isNull())
            m_flujo << kNulo;
        else if (c.type == ColumnType::DateTime)
            m_flujo << comoNumero(v.toDateTime());
        else
            m_flujo << static_cast<qint64>(v.toLongLong());
    }
    ++m_filas;
}

unsigned MarcasCopia::leerFila(QDataStream& in, QVariantList& out) const {
    out.clear();
    unsigned nulos = 0;
    for (std::size_t k = 0; k < m_columnas.size(); ++k) {
        const Column& c = m_table.columns[static_cast<std::size_t>(m_columnas[k])];
        if (c.isText()) {
            QString v;
            in >> v;
            if (v.isNull())
                nulos |= 1u << k;
            else
                out << v;
            continue;
        }
        qint64 v = 0;
        in >> v;
        if (v == kNulo) {
            nulos |= 1u << k;
        } else if (c.type == ColumnType::DateTime) {
            // The copied value is at whole seconds; the stored one may carry a fraction.
            const QDateTime desde = comoFecha(v);
            out << textoFecha(desde) << textoFecha(desde.addSecs(1));
        } else {
            out << v;
        }
    }
    return nulos;
}

QString MarcasCopia::sentencia(unsigned nulos) const {
    QStringList partes;
    for (std::size_t k = 0; k < m_columnas.size(); ++k) {
        const Column& c = m_table.columns[static_cast<std::size_t>(m_columnas[k])];
        const QString nombre = c.qName();
        if (nulos & (1u << k))
            partes << nombre + QStringLiteral(" is null");
        else if (c.type == ColumnType::DateTime)
            partes << nombre + QStringLiteral(">=? and ") + nombre + QStringLiteral("<?");
        else
            partes << nombre + QStringLiteral("=?");
    }
    return QStringLiteral("UPDATE ") + m_table.qName() +
           QStringLiteral(" SET bFlagSincro=1 WHERE ") + partes.join(QStringLiteral(" and "));
}

bool MarcasCopia::aplicar(db::Connection& cnn, QString* error) const {
    // One prepared statement per pattern of null values (a null needs "is null").
    std::map<unsigned, std::unique_ptr<db::SentenciaPreparada>> sentencias;
    QVariantList valoresFila;
    if (m_filas > 0 && (!m_archivo.flush() || !m_archivo.seek(0))) {
        if (error)
            *error = QStringLiteral("No se pudo leer el archivo temporal de marcas: ") +
                     m_archivo.errorString();
        return false;
    }
    QDataStream in(&m_archivo);
    for (std::size_t f = 0; f < m_filas; ++f) {
        const unsigned nulos = leerFila(in, valoresFila);
        auto& s = sentencias[nulos];
        if (!s) {
            s = std::make_unique<db::SentenciaPreparada>();
            if (!s->preparar(cnn, sentencia(nulos))) {
                if (error) *error = s->errorText();
                return false;
            }
        }
        if (!s->ejecutar(valoresFila)) {
            if (error) *error = s->errorText();
            return false;
        }
    }
    return true;
}

}  // namespace lumaro::snapshot
