#include "tools/EsquemaEspejo.h"

#include <QStringList>

namespace lumaro::tools {

QString tablaEspejo(const snapshot::Table& t, const QString& base) {
    QStringList cols, keys;
    for (const snapshot::Column& c : t.columns) {
        if (!c.inMirror) continue;
        switch (c.type) {
            case snapshot::ColumnType::Text:
                cols << c.qName() + QStringLiteral(" varchar(%1)").arg(c.size);
                break;
            case snapshot::ColumnType::DateTime:
                cols << c.qName() + QStringLiteral(" datetime");
                break;
            case snapshot::ColumnType::Flag:
                cols << c.qName() + QStringLiteral(" int not null default 0");
                break;
            case snapshot::ColumnType::Integer:
                cols << c.qName() + QStringLiteral(" int");
        }
        if (c.key) keys << c.qName();
    }
    // The flag's index lets the copy's marking statement ("... WHERE bFlagSincro=0") find the
    // few rows it marks instead of reading the whole table, which grows with the chain's years.
    return QStringLiteral("create table ") + base + u'.' + t.qName() + u'(' + cols.join(u',') +
           QStringLiteral(", primary key(") + keys.join(u',') + QStringLiteral("), key ") +
           QLatin1StringView(snapshot::kFlagColumn) + u'(' +
           QLatin1StringView(snapshot::kFlagColumn) + QStringLiteral("))");
}

QString esquemaEspejo(const QString& base) {
    QString sql;
    for (const snapshot::Table& t : snapshot::tables())
        if (t.mirrored)
            sql += QStringLiteral("drop table if exists %1.%2; ").arg(base, t.qName()) +
                   tablaEspejo(t, base) + QStringLiteral("; ");
    return sql;
}

}  // namespace lumaro::tools
