#pragma once
// Jet ledgers as the program a store moves over from left them, written by our own Jet writer
// with the column types that program used.

#include <QFile>
#include <QStringList>

#include "jet/Writer.h"

namespace lumaro::testing {

// Column types of idLocal, fecha, iDescargaOK and iSincronizacionOK.
using TiposLedger = std::array<jet::ColumnType, 4>;

// One cell from its text: a Date/Time column takes "yyyy/mm/dd", a Text column the text as it is.
inline jet::Value celdaJet(jet::ColumnType tipo, const QString& texto) {
    switch (tipo) {
        case jet::ColumnType::Text:
            return texto.toStdString();
        case jet::ColumnType::Boolean:
            return texto != QLatin1String("0");
        case jet::ColumnType::DateTime: {
            const QStringList p = texto.split(u'/');
            return jet::DateTime::fromParts(p[0].toInt(), p[1].toInt(), p[2].toInt());
        }
        default:
            return int64_t{texto.toLongLong()};
    }
}

// Writes TablasFTP with rows "idLocal|fecha|iDescargaOK|iSincronizacionOK".
inline bool escribirJetLedger(const QString& ruta, const TiposLedger& tipos,
                              const QStringList& filas) {
    auto w = jet::Writer::create(ruta.toStdString());
    if (!w) return false;
    jet::TableDef def{"TablasFTP", {}};
    const char* nombres[] = {"idLocal", "fecha", "iDescargaOK", "iSincronizacionOK"};
    for (int i = 0; i < 4; ++i)
        def.columns.push_back({nombres[i], tipos[i],
                               tipos[i] == jet::ColumnType::Text
                                   ? 24
                                   : static_cast<int>(jet::fixedSizeOf(tipos[i]))});
    auto t = w.value()->createTable(def);
    if (!t) return false;
    for (const QString& fila : filas) {
        const QStringList c = fila.split(u'|');
        std::vector<jet::Value> valores;
        for (int i = 0; i < 4; ++i) valores.push_back(celdaJet(tipos[i], c[i]));
        if (!w.value()->insert(t.value(), valores)) return false;
    }
    return w.value()->commit().isOk();
}

}  // namespace lumaro::testing
