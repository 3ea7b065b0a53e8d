#pragma once
// Store program folders for the chain check's test and benchmark: generated production
// databases, snapshots written with our Jet writer from a store's own rows into MDB_enviadas,
// and the state a merge leaves, prepared by direct SQL.

#include <QDir>
#include <QSqlQuery>
#include <map>
#include <vector>

#include "cadena/EstadoEsperado.h"
#include "cadena/LecturaFilas.h"
#include "db/clsDBAdmin.h"
#include "jet/Writer.h"
#include "snapshot/ValoresCopia.h"
#include "tools/DemoDatabases.h"

namespace lumaro::testing {

using FilasPorTabla = std::map<const snapshot::Table*, std::vector<snapshot::Fila>>;

class TiendasDePrueba {
public:
    explicit TiendasDePrueba(QString raiz) : m_raiz(std::move(raiz)) {}

    QString carpeta(int id) const { return m_raiz + QStringLiteral("/local%1").arg(id); }
    QString base(int id, snapshot::Database db) const {
        return carpeta(id) + (db == snapshot::Database::Cliente ? QStringLiteral("/cliente.db")
                                                                : QStringLiteral("/logistica.db"));
    }

    // A store with generated rows of `clientes` clients, stores 1..locales in table Local.
    bool crear(int id, int clientes, int locales, QString* error) const {
        QDir().mkpath(carpeta(id) + QStringLiteral("/MDB_enviadas"));
        tools::DemoOptions o;
        o.clientePath = base(id, snapshot::Database::Cliente);
        o.logisticaPath = base(id, snapshot::Database::Logistica);
        o.idLocal = id;
        o.clientes = clientes;
        o.locales = locales;
        o.semilla = static_cast<unsigned>(id);
        o.hoy = QDate(2026, 12, 1);
        return tools::crearBasesDemo(o, error) &&
               tools::escribirConexionesDemo(carpeta(id) + QStringLiteral("/lumaro-sync.cfg"), o,
                                             error);
    }

    // The rows the store owns in its production databases.
    FilasPorTabla propias(int id) const {
        FilasPorTabla out;
        for (const snapshot::Table& t : snapshot::tables()) {
            db::Connection cnn;
            QString error;
            if (!cadena::abrirProduccion(cnn, base(id, t.database), &error)) continue;
            cadena::leerProduccion(
                cnn, t,
                [&](const snapshot::Table& tt, snapshot::Fila& f) {
                    if (cadena::duenioDeFila(tt, f) == id) out[&tt].push_back(f);
                },
                &error);
            db::dbAdmin().CerrarBD(cnn);
        }
        return out;
    }

    // Archives a snapshot of the rows as sent by the store at hhmmss on 1 December 2026.
    bool enviar(int id, const QString& hora, const FilasPorTabla& filas) const {
        auto w = jet::Writer::create(
            (carpeta(id) + QStringLiteral("/MDB_enviadas/%1_%2_01122026.mdb").arg(hora).arg(id))
                .toStdString());
        if (!w) return false;
        for (const snapshot::Table& t : snapshot::tables()) {
            auto h = w.value()->createTable(snapshot::jetTableDef(t));
            if (!h) return false;
            const auto it = filas.find(&t);
            if (it == filas.end()) continue;
            for (const snapshot::Fila& f : it->second) {
                std::vector<jet::Value> row;
                for (size_t i = 0; i < f.size(); ++i)
                    row.push_back(snapshot::valorSnapshot(
                        t.columns[i], snapshot::esColumnaVip(t.columns[i]), f[i]));
                if (!w.value()->insert(h.value(), row)) return false;
            }
        }
        return w.value()->commit().isOk();
    }

    // Runs statements on both databases of a store, with the other store's file of the same
    // database attached as o. A statement on a table of the other database simply fails.
    void sql(int id, const QString& statements, int otro = 0) const {
        for (const auto db : {snapshot::Database::Cliente, snapshot::Database::Logistica}) {
            db::Connection cnn;
            QString error;
            if (!cadena::abrirProduccion(cnn, base(id, db), &error)) continue;
            QSqlQuery q(cnn.database());
            if (otro) q.exec("attach '" + base(otro, db) + "' as o");
            for (const QString& s : statements.split(u';', Qt::SkipEmptyParts)) q.exec(s);
            db::dbAdmin().CerrarBD(cnn);
        }
    }

    // Store id holds the other store's rows as a merge leaves them: texts with every quote as
    // a blank, as the snapshot carries them.
    void fusionar(int id, int otro) const {
        QString s;
        for (const snapshot::Table& t : snapshot::tables()) {
            QStringList columnas;
            for (const snapshot::Column& c : t.columns)
                columnas << (c.isText() ? QStringLiteral("replace(%1, '''', ' ')").arg(c.qName())
                                        : c.qName());
            s += QStringLiteral(
                     "insert or replace into \"%1\" select %4 from o.\"%1\" where "
                     "%2 = %3;")
                     .arg(t.qName(), QString::fromUtf8(t.owningStore))
                     .arg(otro)
                     .arg(columnas.join(u','));
        }
        sql(id, s, otro);
    }

private:
    QString m_raiz;
};

}  // namespace lumaro::testing
