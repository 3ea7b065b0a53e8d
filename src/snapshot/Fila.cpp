#include "snapshot/Fila.h"

#include <QDateTime>
#include <cmath>
#include <limits>

#include "db/DateText.h"

namespace lumaro::snapshot {

namespace {

std::optional<QVariant> entero(const QVariant& raw) {
    switch (raw.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return QVariant(raw.toLongLong());
        case QMetaType::ULongLong: {
            const qulonglong v = raw.toULongLong();
            if (v > static_cast<qulonglong>(std::numeric_limits<qlonglong>::max()))
                return std::nullopt;
            return QVariant(static_cast<qlonglong>(v));
        }
        case QMetaType::Bool:
            return QVariant(qlonglong{raw.toBool() ? 1 : 0});
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = raw.toDouble();
            if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9.0e15)
                return std::nullopt;
            return QVariant(static_cast<qlonglong>(d));
        }
        default: {
            bool ok = false;
            const qlonglong v = raw.toString().trimmed().toLongLong(&ok);
            if (!ok) return std::nullopt;
            return QVariant(v);
        }
    }
}

std::optional<QVariant> fecha(const QVariant& raw) {
    QDateTime dt;
    if (raw.metaType().id() == QMetaType::QDateTime) {
        dt = raw.toDateTime();
    } else if (raw.metaType().id() == QMetaType::QDate) {
        dt = QDateTime(raw.toDate(), QTime(0, 0));
    } else if (raw.metaType().id() == QMetaType::QString ||
               raw.metaType().id() == QMetaType::QByteArray) {
        const auto parsed = db::parseDateTimeText(raw.toString());
        if (!parsed) return std::nullopt;
        dt = *parsed;
    } else {
        return std::nullopt;
    }
    if (!dt.isValid()) return std::nullopt;
    // Dates travel and are compared at whole seconds, as the wall-clock reading they were
    // stored with: in UTC, so that no time zone is ever applied to them.
    const QTime t = dt.time();
    return QVariant(QDateTime(dt.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC));
}

std::optional<QVariant> marca(const QVariant& raw) {
    if (raw.metaType().id() == QMetaType::Bool) return QVariant(raw.toBool());
    const auto n = entero(raw);
    if (!n) return std::nullopt;
    return QVariant(n->toLongLong() != 0);
}

}  // namespace

std::optional<QVariant> valorColumna(ColumnType type, const QVariant& raw) {
    if (raw.isNull() || !raw.isValid()) return QVariant();
    switch (type) {
        case ColumnType::Integer:
            return entero(raw);
        case ColumnType::Text:
            if (raw.metaType().id() == QMetaType::QDateTime) return std::nullopt;
            return QVariant(raw.toString());
        case ColumnType::DateTime:
            return fecha(raw);
        case ColumnType::Flag:
            return marca(raw);
    }
    return std::nullopt;
}

int indiceColumna(const Table& table, QStringView columnName) {
    const Column* c = table.column(columnName);
    if (!c) return -1;
    return static_cast<int>(c - table.columns.data());
}

QString describirClave(const Table& table, const Fila& fila) {
    QStringList parts;
    for (size_t i = 0; i < table.columns.size() && i < fila.size(); ++i) {
        if (!table.columns[i].key) continue;
        const QVariant& v = fila[i];
        parts << table.columns[i].qName() + u'=' +
                     (v.isNull() ? QStringLiteral("NULL") : v.toString());
    }
    return table.qName() + u' ' + parts.join(u' ');
}

}  // namespace lumaro::snapshot
