#include "importer/StatementTemplates.h"

#include "snapshot/Fila.h"

#include <QDateTime>

#include "db/DateText.h"
#include "run/Console.h"

namespace lumaro::importer {

namespace {

// The scan position and the item counter are 16-bit in the stored templates' format.
constexpr qsizetype kMaxTemplate = 32767;
const QString kConvert = QStringLiteral("CONVERT(DATETIME,'");
const QString kConvertClose = QStringLiteral("')");

QString fail(const QString& description) {
    run::console().messageBox(run::BoxIcon::Information, QString(), description);
    return QString();
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
            out += sinBlancosExternos(value.text());
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

QString sinBlancosExternos(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == u' ') ++b;
    while (e > b && s[e - 1] == u' ') --e;
    return s.mid(b, e - b);
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
    const auto n = snapshot::valorColumna(snapshot::ColumnType::Integer, value);
    if (!n) return std::nullopt;
    return n->isNull() ? literalNulo() : QString::number(n->toLongLong());
}

std::optional<QString> literalFecha(const QVariant& value) {
    const auto dt = snapshot::valorColumna(snapshot::ColumnType::DateTime, value);
    if (!dt) return std::nullopt;
    return dt->isNull() ? literalNulo() : u'\'' + db::dateTimeText(dt->toDateTime()) + u'\'';
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
