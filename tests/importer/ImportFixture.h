#pragma once
// A program folder of store 3 with empty embedded production databases, a ledger, snapshots
// written by our Jet writer, and the import run installed.

#include <QDir>
#include <map>

#include "DbFixture.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "importer/StatementTemplates.h"
#include "importer/SyncLocales.h"
#include "jet/Reader.h"
#include "jet/Writer.h"
#include "ledger/Ledger.h"
#include "run/RunState.h"

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { PrintTo(l.join(", "), os); }

namespace lumaro::testing {

// Column values by name; unnamed columns are NULL (required ones get a filler, the owning
// store the sending store).
using Valores = std::map<QString, QVariant>;
using Filas = std::map<QString, std::vector<Valores>>;  // table -> rows

inline QDateTime fecha(int dia, int h = 10, int m = 0, int s = 0) {
    return QDateTime(QDate(2026, 12, dia), QTime(h, m, s));
}

class ImportFixture : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        for (const char* d : {"MDB_descargadas", "MDB_Syncronizadas", "Error"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(d));
        for (const char* f : {"cliente.db", "logistica.db"}) ASSERT_TRUE(escribir(path(f), {}));
        ASSERT_TRUE(ledger::crearLedger(ledger::rutaLedger()));
        db::setLocalPropio("3", "tienda3@lumaro.example");
        abrirProduccion();
        ejecutar("create table Local (IdLocal int primary key, sNombre text, Activo int)");
        ejecutar("insert into Local values (3, 'Tienda 3', 1)");
        for (const auto& t : snapshot::tables())
            ejecutar(snapshot::sqliteCreateStatement(t),
                     t.database == snapshot::Database::Logistica);
    }
    void TearDown() override {
        importer::setEspejoFusion(nullptr);
        importer::setTamanoLote(5000);
        db::cerrarConexiones();
        DbFixture::TearDown();
    }

    void abrirProduccion() {
        for (auto [cnn, f] : {std::pair{&db::cnnCliente(), "cliente.db"},
                              std::pair{&db::cnnLogistica(), "logistica.db"}})
            ASSERT_TRUE(
                db::dbAdmin().AbrirBD(*cnn, db::textoConexionSqlServer("", "", path(f), "sqlite")));
    }

    // A null in a required column becomes a filler value.
    static jet::Value valorJet(const snapshot::Column& c, QVariant v) {
        using T = snapshot::ColumnType;
        if (v.isNull() && c.type == T::Flag) return false;
        if (v.isNull() && !c.required) return jet::Value();
        if (v.isNull())
            v = c.type == T::Text       ? QVariant("x")
                : c.type == T::DateTime ? QVariant(fecha(1))
                                        : QVariant(1);
        switch (c.type) {
            case T::Integer:
                return int64_t{v.toLongLong()};
            case T::Text:
                return v.toString().toStdString();
            case T::Flag:
                return v.toBool();
            case T::DateTime: {
                if (v.typeId() == QMetaType::Double) return jet::DateTime{v.toDouble()};  // raw
                const QDateTime d = v.toDateTime();
                jet::DateTime j =
                    jet::DateTime::fromParts(d.date().year(), d.date().month(), d.date().day(),
                                             d.time().hour(), d.time().minute(), d.time().second());
                j.days += d.time().msec() / 86400000.0;
                return j;
            }
        }
        return jet::Value();
    }

    // Writes a snapshot of the ten tables (those in `sin` left out) into MDB_descargadas and
    // records its download in the ledger.
    QString snapshotDe(int local, int dia, const Filas& filas, const QStringList& sin = {}) {
        const QString nombre =
            snapshot::nombreSnapshot(QString::number(local), QDate(2026, 12, dia));
        const QString ruta = path("MDB_descargadas/" + nombre);
        auto w = jet::Writer::create(ruta.toStdString());
        EXPECT_TRUE(w);
        for (const auto& t : snapshot::tables()) {
            if (sin.contains(t.qName())) continue;
            auto h = w.value()->createTable(snapshot::jetTableDef(t));
            const auto it = filas.find(t.qName());
            std::vector<Valores> todas = it == filas.end() ? std::vector<Valores>{} : it->second;
            for (const Valores& f : todas) {
                std::vector<jet::Value> row;
                for (const auto& c : t.columns) {
                    const auto v = f.find(c.qName());
                    const bool suya = c.required && c.qName() == QLatin1String(t.owningStore);
                    row.push_back(valorJet(c, v != f.end() ? v->second
                                              : suya       ? QVariant(local)
                                                           : QVariant()));
                }
                EXPECT_TRUE(w.value()->insert(h.value(), row).isOk()) << t.name;
            }
        }
        EXPECT_TRUE(w.value()->commit().isOk());
        EXPECT_TRUE(ledger::registrarDescarga(QString::number(local), QDate(2026, 12, dia), "1"));
        return nombre;
    }

    // bFlagSincro of every row of a table of a snapshot file, in file order.
    static std::vector<bool> marcas(const QString& ruta, const char* tabla) {
        std::vector<bool> out;
        auto d = jet::Database::open(ruta.toStdString());
        EXPECT_TRUE(d);
        auto t = d.value().table(tabla);
        t->forEachRow([&](const jet::Row& r) {
            out.push_back(std::get<bool>(*r.field("bFlagSincro")));
            return true;
        });
        return out;
    }

    // The first column of a query on the client (or logistics) database, rows joined by "|".
    QString consulta(const QString& sql, bool logistica = false) {
        db::Recordset rs;
        EXPECT_TRUE(rs.open(logistica ? db::cnnLogistica() : db::cnnCliente(), sql))
            << rs.errorText().toStdString();
        QStringList out;
        for (; !rs.eof(); rs.moveNext()) {
            QStringList fila;
            for (int i = 0; i < rs.fieldCount(); ++i)
                fila << (rs.value(i).isNull() ? "NULL" : rs.value(i).toString());
            out << fila.join(',');
        }
        return out.join('|');
    }
    void ejecutar(const QString& sql, bool logistica = false) {
        ASSERT_TRUE(db::dbAdmin().EjecutarSentencia(
            logistica ? db::cnnLogistica() : db::cnnCliente(), sql, 1));
    }
    QString ledger(int local, int dia) {
        db::Connection l;
        db::dbAdmin().AbrirBD(l, db::textoConexionAccess(ledger::rutaLedger()));
        db::Recordset rs;
        rs.open(l, QStringLiteral("select iSincronizacionOK from TablasFTP where idLocal = %1 and "
                                  "day(fecha) = %2")
                       .arg(local)
                       .arg(dia));
        return rs.eof() ? QStringLiteral("none") : rs.value(0).toString();
    }
    QStringList carpeta(const char* nombre) {
        return QDir(path(nombre)).entryList(QDir::Files, QDir::Name);
    }
};

}  // namespace lumaro::testing
