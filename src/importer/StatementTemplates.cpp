#include "importer/StatementTemplates.h"

#include <QDateTime>

#include "config/Console.h"
#include "db/DateText.h"

namespace lumaro::importer {

namespace {

// The scan position and the item counter are 16-bit in the stored templates' format.
constexpr qsizetype kMaxTemplate = 32767;
const QString kConvert = QStringLiteral("CONVERT(DATETIME,'");
const QString kConvertClose = QStringLiteral("')");

QString trimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == u' ') ++b;
    while (e > b && s[e - 1] == u' ') --e;
    return s.mid(b, e - b);
}

QString fail(const QString& description) {
    config::console().messageBox(config::BoxIcon::Information, QString(), description);
    return QString();
}

std::optional<qint64> wholeNumber(const QVariant& value) {
    switch (value.metaType().id()) {
        case QMetaType::Bool:
            return value.toBool() ? 1 : 0;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return value.toLongLong();
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = value.toDouble();
            if (d != static_cast<double>(static_cast<qint64>(d))) return std::nullopt;
            return static_cast<qint64>(d);
        }
        default: {
            bool ok = false;
            const qint64 n = value.toString().trimmed().toLongLong(&ok);
            return ok ? std::optional<qint64>(n) : std::nullopt;
        }
    }
}

}  // namespace

QString ArmarSQL(const QString& plantilla, const QList<ItemSQL>& items) {
    if (plantilla.size() > kMaxTemplate) return fail(QStringLiteral("Desbordamiento"));
    QString out;
    out.reserve(plantilla.size() + 16 * items.size());
    qsizetype item = 0;
    const qsizetype n = plantilla.size();
    qsizetype desde = 0;  // start of the text not yet copied
    for (qsizetype i = plantilla.indexOf(u'$'); i >= 0; i = plantilla.indexOf(u'$', desde)) {
        out += QStringView(plantilla).mid(desde, i - desde);
        desde = i + 1;
        if (item >= items.size())
            return fail(QStringLiteral("El subíndice está fuera del intervalo"));
        const ItemSQL& value = items[item++];
        if (!value.isNull()) {
            out += trimBlanks(value.text());
            continue;
        }
        if (i >= kConvert.size() &&
            QStringView(plantilla).mid(i - kConvert.size(), kConvert.size()) == kConvert &&
            QStringView(plantilla).mid(i + 1, 2) == kConvertClose) {
            out.chop(kConvert.size());
            desde += 2;
        } else if (i >= 1 && plantilla[i - 1] == u'\'' && i + 1 < n && plantilla[i + 1] == u'\'') {
            out.chop(1);
            desde += 1;
        }
        out += QStringLiteral("Null");
    }
    out += QStringView(plantilla).mid(desde);
    return out;
}

QString ReemplazarCaracter(const QString& origen, const QString& buscar, const QString& reemplazo) {
    if (origen.isEmpty()) return QString();
    if (buscar.size() != 1) return origen;
    QString out;
    out.reserve(origen.size());
    for (const QChar c : origen) {
        if (c == buscar[0])
            out += reemplazo;
        else
            out += c;
    }
    return out;
}

std::optional<QString> literalTexto(const QVariant& value) {
    if (value.isNull()) return literalNulo();
    return u'\'' + ReemplazarCaracter(value.toString(), QStringLiteral("'"), QStringLiteral(" ")) +
           u'\'';
}

std::optional<QString> literalNumero(const QVariant& value) {
    if (value.isNull()) return literalNulo();
    const auto n = wholeNumber(value);
    if (!n) return std::nullopt;
    return QString::number(*n);
}

std::optional<QString> literalFecha(const QVariant& value) {
    if (value.isNull()) return literalNulo();
    QDateTime dt;
    if (value.metaType().id() == QMetaType::QDateTime)
        dt = value.toDateTime();
    else if (value.metaType().id() == QMetaType::QDate)
        dt = QDateTime(value.toDate(), QTime(0, 0));
    else if (const auto parsed = db::parseDateTimeText(value.toString()))
        dt = *parsed;
    if (!dt.isValid()) return std::nullopt;
    // 'yyyy/mm/dd hh:mm:ss', digits written directly: this runs for every date of a merge.
    const QDate d = dt.date();
    const QTime t = dt.time();
    if (d.year() < 0 || d.year() > 9999) return u'\'' + db::dateTimeText(dt) + u'\'';
    QChar texto[21];
    const auto poner = [&texto](int pos, int valor, int cifras) {
        for (int i = cifras - 1; i >= 0; --i, valor /= 10)
            texto[pos + i] = QChar(u'0' + valor % 10);
    };
    texto[0] = texto[20] = u'\'';
    poner(1, d.year(), 4);
    texto[5] = texto[8] = u'/';
    poner(6, d.month(), 2);
    poner(9, d.day(), 2);
    texto[11] = u' ';
    poner(12, t.hour(), 2);
    texto[14] = texto[17] = u':';
    poner(15, t.minute(), 2);
    poner(18, t.second(), 2);
    return QString(texto, 21);
}

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

std::optional<QString> literalColumna(snapshot::ColumnType type, const QVariant& value) {
    switch (type) {
        case snapshot::ColumnType::Text:
            return literalTexto(value);
        case snapshot::ColumnType::Integer:
            return literalNumero(value);
        case snapshot::ColumnType::DateTime:
            return literalFecha(value);
        case snapshot::ColumnType::Flag:
            if (value.isNull()) return QStringLiteral("0");
            return literalNumero(value);
    }
    return std::nullopt;
}

}  // namespace lumaro::importer
