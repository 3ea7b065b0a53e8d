#pragma once
// Ledgers for the tests: Jet ones as the older program left them, and our ledger's rows read back.

#include <QDateTime>
#include <QFile>
#include <QStringList>

#include "db/ConnectionText.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "jet/Writer.h"

namespace lumaro::testing {

// Column types of idLocal, fecha, iDescargaOK and iSincronizacionOK.
using TiposLedger = std::array<jet::ColumnType, 4>;

// Writes TablasFTP with rows "idLocal|fecha|iDescargaOK|iSincronizacionOK": a Date/Time cell
// takes "yyyy/mm/dd", a Text cell the text as it is, a Yes/No cell anything but "0" as yes.
inline bool escribirJetLedger(const QString& ruta, const TiposLedger& tipos,
                              const QStringList& filas) {
    using jet::ColumnType;
    auto w = jet::Writer::create(ruta.toStdString());
    if (!w) return false;
    jet::TableDef def{"TablasFTP", {}};
    const char* nombres[] = {"idLocal", "fecha", "iDescargaOK", "iSincronizacionOK"};
    for (int i = 0; i < 4; ++i) {
        const bool texto = tipos[i] == ColumnType::Text;
        def.columns.push_back(
            {nombres[i], tipos[i], texto ? 24 : static_cast<int>(jet::fixedSizeOf(tipos[i]))});
    }
    auto t = w.value()->createTable(def);
    if (!t) return false;
    for (const QString& fila : filas) {
        std::vector<jet::Value> valores;
        for (int i = 0; i < 4; ++i) {
            const QString c = fila.section(u'|', i, i);
            const QStringList p = c.split(u'/');
            if (tipos[i] == ColumnType::Text)
                valores.emplace_back(c.toStdString());
            else if (tipos[i] == ColumnType::Boolean)
                valores.emplace_back(c != QLatin1String("0"));
            else if (tipos[i] == ColumnType::DateTime)
                valores.emplace_back(
                    jet::DateTime::fromParts(p[0].toInt(), p[1].toInt(), p[2].toInt()));
            else
                valores.emplace_back(int64_t{c.toLongLong()});
        }
        if (!w.value()->insert(t.value(), valores)) return false;
    }
    return w.value()->commit().isOk();
}

// A statement's rows on the ledger at ruta, values joined by sep; a failure: one "ERROR: " row.
inline QStringList filasLedger(const QString& ruta, const QString& sql, QChar sep = u'|') {
    db::Connection cnn;
    db::Recordset rs;
    QStringList rows;
    const bool ok = db::dbAdmin().AbrirBD(cnn, db::textoConexionAccess(ruta)) && rs.open(cnn, sql);
    if (!ok) rows << "ERROR: " + rs.errorText();
    for (; ok && !rs.eof(); rs.moveNext()) {
        QStringList values;
        for (int i = 0; i < rs.fieldCount(); ++i) {
            const QVariant v = rs.value(i);
            values << (v.metaType().id() == QMetaType::QDateTime
                           ? v.toDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"))
                           : v.toString());
        }
        rows << values.join(sep);
    }
    db::dbAdmin().CerrarBD(cnn);
    return rows;
}

}  // namespace lumaro::testing
