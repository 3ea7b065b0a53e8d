// The chain check on store folders built here: generated production databases, snapshots
// written with our Jet writer from each store's own rows, and the merged state prepared by
// direct SQL. Also a day of activity from the demo tool.

#include <gtest/gtest.h>

#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "cadena/EstadoEsperado.h"
#include "cadena/LecturaFilas.h"
#include "cadena/Verificar.h"
#include "config/Settings.h"
#include "db/clsDBAdmin.h"
#include "db/tool/ActividadDemo.h"
#include "db/tool/DemoDatabases.h"
#include "jet/Writer.h"
#include "snapshot/ValoresCopia.h"

namespace {

using namespace lumaro;
using snapshot::Fila;
using snapshot::Table;
using Filas = std::map<const Table*, std::vector<Fila>>;

class Cadena : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        config::setProgramFolder(m_dir.path());
        for (int id : {1, 2}) crearTienda(id);
    }
    void TearDown() override { config::setProgramFolder(QString()); }

    QString carpeta(int id) const { return m_dir.filePath(QStringLiteral("local%1").arg(id)); }
    QString base(int id, const char* nombre) const {
        return carpeta(id) + u'/' + QLatin1StringView(nombre);
    }

    void crearTienda(int id) {
        QDir().mkpath(carpeta(id) + QStringLiteral("/MDB_enviadas"));
        db::tool::DemoOptions o;
        o.clientePath = base(id, "cliente.db");
        o.logisticaPath = base(id, "logistica.db");
        o.idLocal = id;
        o.clientes = 6;
        o.locales = 2;
        o.semilla = static_cast<unsigned>(id);
        o.hoy = QDate(2026, 12, 1);
        QString error;
        ASSERT_TRUE(db::tool::crearBasesDemo(o, &error)) << error.toStdString();
        ASSERT_TRUE(db::tool::escribirConexionesDemo(
            carpeta(id) + QStringLiteral("/lumaro-sync.cfg"), o, &error));
    }

    // The store's own production rows, table by table.
    Filas propias(int id) {
        Filas out;
        for (const Table& t : snapshot::tables()) {
            db::Connection cnn;
            QString error;
            EXPECT_TRUE(cadena::abrirProduccion(cnn, baseDe(id, t), &error));
            EXPECT_TRUE(cadena::leerProduccion(
                cnn, t,
                [&](const Table& tt, Fila& f) {
                    if (cadena::duenioDeFila(tt, f) == id) out[&tt].push_back(f);
                },
                &error));
            db::dbAdmin().CerrarBD(cnn);
        }
        return out;
    }
    QString baseDe(int id, const Table& t) const {
        return base(id, t.database == snapshot::Database::Cliente ? "cliente.db" : "logistica.db");
    }

    void enviar(int id, const QString& hora, const Filas& filas) {
        auto w = jet::Writer::create(
            (carpeta(id) + QStringLiteral("/MDB_enviadas/%1_%2_01122026.mdb").arg(hora).arg(id))
                .toStdString());
        ASSERT_TRUE(w.isOk());
        for (const Table& t : snapshot::tables()) {
            auto h = w.value()->createTable(snapshot::jetTableDef(t));
            ASSERT_TRUE(h.isOk());
            const auto it = filas.find(&t);
            for (const Fila& f : it == filas.end() ? std::vector<Fila>{} : it->second) {
                std::vector<jet::Value> row;
                for (size_t i = 0; i < f.size(); ++i)
                    row.push_back(snapshot::valorSnapshot(
                        t.columns[i], snapshot::esColumnaVip(t.columns[i]), f[i]));
                ASSERT_TRUE(w.value()->insert(h.value(), row).isOk());
            }
        }
        ASSERT_TRUE(w.value()->commit().isOk());
    }

    // Runs statements on a store's client database, with the other's files attached as o.
    void sql(int id, const QString& statements, int otro = 0) {
        for (const char* nombre : {"cliente.db", "logistica.db"}) {
            db::Connection cnn;
            QString error;
            ASSERT_TRUE(cadena::abrirProduccion(cnn, base(id, nombre), &error));
            QSqlQuery q(cnn.database());
            if (otro) {
                ASSERT_TRUE(q.exec("attach '" + base(otro, nombre) + "' as o"));
            }
            for (const QString& s : statements.split(u';', Qt::SkipEmptyParts))
                q.exec(s);  // a table of the other database is simply absent
            db::dbAdmin().CerrarBD(cnn);
        }
    }

    // Each store holds the other's rows as a merge leaves them.
    void fusionarCruzado() {
        for (int id : {1, 2}) {
            const int otro = 3 - id;
            QString s;
            for (const Table& t : snapshot::tables()) {
                // Texts arrive with every quote as a blank, as the snapshot carries them.
                QStringList columnas;
                for (const snapshot::Column& c : t.columns)
                    columnas << (c.isText()
                                     ? QStringLiteral("replace(%1, '''', ' ')").arg(c.qName())
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
    }

    int verificar(QString& salida) {
        salida.clear();
        QTextStream out(&salida), err(&salida);
        return cadena::verificar({{carpeta(1), carpeta(2)}, {}, {}}, out, err);
    }

    QTemporaryDir m_dir;
};

struct Caso {
    const char* nombre;
    const char* sqlEnLocal2;   // run on store 2 after the merge
    const char* tablaSegunda;  // a second snapshot of store 1 with its first row of this table
    std::vector<std::pair<const char*, QVariant>> cambios;  // ... changed so
    int salida;
    const char* texto;  // in the report
};

const QDateTime kAntigua(QDate(2000, 1, 1), QTime(9, 0), Qt::UTC);

class CadenaCasos : public Cadena, public ::testing::WithParamInterface<Caso> {};

TEST_P(CadenaCasos, ReportsWhatAStoreHoldsAgainstTheRulesOfTheMerges) {
    const Caso& c = GetParam();
    enviar(1, QStringLiteral("090000"), propias(1));
    enviar(2, QStringLiteral("090000"), propias(2));
    fusionarCruzado();
    if (c.tablaSegunda) {
        const Table* t = snapshot::findTable(QString::fromUtf8(c.tablaSegunda));
        Filas filas = propias(1);
        Fila f = filas[t].front();
        for (const auto& [columna, valor] : c.cambios)
            f[static_cast<size_t>(snapshot::indiceColumna(*t, QString::fromUtf8(columna)))] = valor;
        enviar(1, QStringLiteral("180000"), {{t, {f}}});
    }
    sql(2, QString::fromUtf8(c.sqlEnLocal2));
    QString salida;
    EXPECT_EQ(verificar(salida), c.salida) << salida.toStdString();
    EXPECT_TRUE(salida.contains(QString::fromUtf8(c.texto))) << salida.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Filas, CadenaCasos,
    ::testing::Values(
        Caso{"converge", "", nullptr, {}, 0, "veredicto: la cadena converge (2 tiendas, "},
        Caso{"falta",
             "delete from Cliente where IdLocal = 1 and cClieCode = 2",
             nullptr,
             {},
             1,
             "falta: tienda 2, Cliente: Cliente cClieCode=2 IdLocal=1"},
        Caso{"sobra",
             "insert into Acumulacion_Ticket select cClieCode, 999, nTarjNumb, nTickCant, "
             "sUserDesc, dExtoDate, sUseEDesc, dAcumDate, cAjusFlag, IdLocal, 1 from "
             "Acumulacion_Ticket where IdLocal = 1 and cAcumCode = 1",
             nullptr,
             {},
             1,
             "sobra: tienda 2, Acumulacion_Ticket: Acumulacion_Ticket cClieCode=1 "
             "cAcumCode=999 IdLocal=1"},
        Caso{"distinta",
             "update Cliente set sClieName = 'Otra' where IdLocal = 1 and cClieCode = 3",
             nullptr,
             {},
             1,
             "cClieCode=3 IdLocal=1: sClieName esperado"},
        Caso{"sobrescribe",
             "",
             "Cliente",
             {{"sClieName", QStringLiteral("Nueva")}},
             1,
             "sClieName esperado \"Nueva\""},
        Caso{"por fecha, mas antigua no reemplaza",
             "",
             "Acumulacion_Punto",
             {{"nPuntCant", 999}, {"dAcumDate", kAntigua}, {"dExtoDate", QVariant()}},
             0,
             "veredicto: la cadena converge"},
        Caso{"por fecha, un extorno reemplaza",
             "",
             "Acumulacion_Punto",
             {{"dAcumDate", kAntigua}, {"dExtoDate", kAntigua}},
             1,
             "dExtoDate esperado 2000/01/01 09:00:00"},
        Caso{"solo insertar guarda la primera",
             "",
             "Acumulacion_Ticket",
             {{"nTickCant", 77}},
             0,
             "veredicto: la cadena converge"},
        Caso{"ecos", "", "Cliente", {{"IdLocal", 2}}, 0, "ecos de filas fusionadas"}),
    [](const auto& info) {
        std::string n = info.param.nombre;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST_F(Cadena, ADamagedSnapshotIsNamedAndStopsTheCheck) {
    QFile f(carpeta(1) + QStringLiteral("/MDB_enviadas/120000_1_02122026.mdb"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    QString salida;
    EXPECT_EQ(verificar(salida), cadena::kEntradaMala);
    EXPECT_TRUE(salida.contains(QStringLiteral("120000_1_02122026.mdb"))) << salida.toStdString();
}

TEST_F(Cadena, ADayOfActivityWritesOnlyTheStoresRowsUnsentAndDatedThatDay) {
    fusionarCruzado();
    sql(2, QStringLiteral("update Cliente set bFlagSincro = 1; update Tarjeta set bFlagSincro = 1;"
                          "update Cumpleaños set bFlagSincro = 1;"
                          "update Acumulacion_Punto set bFlagSincro = 1;"
                          "update Acumulacion_Ticket set bFlagSincro = 1;"
                          "update Canje_Punto set bFlagSincro = 1;"
                          "update Canje_Ticket set bFlagSincro = 1;"
                          "update Contactos set bFlagSincro = 1;"
                          "update registro_canje_cumpleaños set bFlagSincro = 1;"
                          "update registro_canje_cumpleaños_d set bFlagSincro = 1"));
    db::tool::ActividadOptions o{
        base(2, "cliente.db"), base(2, "logistica.db"), 2, QDate(2026, 12, 5), 200, 7};
    QString error;
    ASSERT_TRUE(db::tool::generarActividad(o, &error)) << error.toStdString();

    int nuevas = 0, extornos = 0;
    for (const auto& [t, filas] : propias(2))
        for (const Fila& f : filas) {
            const auto valor = [&](const char* c) {
                return f[static_cast<size_t>(snapshot::indiceColumna(*t, QString::fromUtf8(c)))];
            };
            if (valor(snapshot::kFlagColumn).toBool()) continue;
            ++nuevas;
            if (t->changeDate) {
                EXPECT_EQ(valor(t->changeDate).toDateTime().date(), QDate(2026, 12, 5))
                    << snapshot::describirClave(*t, f).toStdString();
            }
            if (t->mirrored && snapshot::indiceColumna(*t, u"dExtoDate") >= 0 &&
                !valor("dExtoDate").isNull() &&
                valor("dExtoDate").toDateTime().date() == QDate(2026, 12, 5))
                ++extornos;
        }
    EXPECT_GE(nuevas, 170);
    EXPECT_LE(nuevas, 200);
    EXPECT_GE(extornos, 8);
    // The other store's rows are untouched: all still marked sent.
    for (const auto& [t, filas] : propias(1)) {
        (void)filas;
        db::Connection cnn;
        ASSERT_TRUE(cadena::abrirProduccion(
            cnn,
            base(2, t->database == snapshot::Database::Cliente ? "cliente.db" : "logistica.db"),
            &error));
        QSqlQuery q(cnn.database());
        ASSERT_TRUE(
            q.exec(QStringLiteral("select count(*) from \"%1\" where %2 = 1 and bFlagSincro = 0")
                       .arg(t->qName(), QString::fromUtf8(t->owningStore))));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 0) << t->name;
        db::dbAdmin().CerrarBD(cnn);
    }
}

}  // namespace
