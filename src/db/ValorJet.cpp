#include "db/ValorJet.h"

#include <QByteArray>
#include <QDateTime>

namespace lumaro::db {

QVariant valorJet(const jet::Value& value) {
    struct Visitor {
        QVariant operator()(std::monostate) const { return QVariant(); }
        QVariant operator()(bool b) const { return b; }
        QVariant operator()(int64_t n) const { return QVariant::fromValue<qlonglong>(n); }
        QVariant operator()(double d) const { return d; }
        QVariant operator()(const jet::Currency& c) const {
            return static_cast<double>(c.tenThousandths) / 10000.0;
        }
        QVariant operator()(const jet::DateTime& dt) const {
            int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
            dt.toParts(y, mo, d, h, mi, s);
            // Wall-clock parts without a zone: valorColumna reads them as local time, and
            // no zone look-up is paid twice per date.
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
        }
        QVariant operator()(const std::string& t) const { return QString::fromStdString(t); }
        QVariant operator()(const jet::Bytes& b) const {
            return QByteArray(reinterpret_cast<const char*>(b.data()),
                              static_cast<qsizetype>(b.size()));
        }
    };
    return std::visit(Visitor{}, value);
}

}  // namespace lumaro::db
