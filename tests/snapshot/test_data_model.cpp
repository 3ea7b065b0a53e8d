// The ten tables as data: shapes, look-ups, the embedded production schema made from them, and
// the lists other parts keep per table.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>

#include "config/Settings.h"
#include "db/ConnectionText.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "importer/Fusion.h"
#include "importer/ReglasFusion.h"
#include "outputs/DatosEspejo.h"
#include "outputs/EstructuraDBF.h"
#include "outputs/ModCargaMySQL.h"
#include "snapshot/DataModel.h"
#include "snapshot/PlanCopia.h"

using namespace lumaro::snapshot;

namespace {

// The rules every table follows, whatever its columns.
TEST(DataModel, EveryTableCarriesTheFlagAndItsOwningStore) {
    ASSERT_EQ(tables().size(), 10u);
    ASSERT_EQ(importOrder().size(), 10u);
    for (const Table& t : tables()) {
        SCOPED_TRACE(t.name);
        // The synchronised flag is in every table and required; so is the owning store, but
        // in Contactos (a contact may belong to no store); everything in the register tables is.
        const Column* flag = t.column(u"bflagsincro");
        ASSERT_NE(flag, nullptr);
        EXPECT_TRUE(flag->required);
        EXPECT_EQ(t.column(QString::fromUtf8(t.owningStore))->required, t.qName() != "Contactos");
        EXPECT_TRUE(t.keyColumns().contains(QString::fromUtf8(t.owningStore)));
        // The snapshot's table: the same columns, order and required columns; texts of the
        // model's width.
        const lumaro::jet::TableDef def = jetTableDef(t);
        ASSERT_EQ(def.columns.size(), t.columns.size());
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            EXPECT_TRUE(c.required || t.database == Database::Cliente) << c.name;
            EXPECT_EQ(def.columns[i].name, c.name);
            EXPECT_EQ(def.columns[i].required, c.required) << c.name;
            EXPECT_TRUE(c.type != ColumnType::Text || def.columns[i].size == c.size) << c.name;
        }
    }
}

TEST(DataModel, NamesInAnyCaseAndEitherSpelling) {
    EXPECT_EQ(findTable(u"CUMPLEAÑOS"), findTable(u"cumpleaños"));
    EXPECT_EQ(findTable(u"ACUMULACION_PUNTO")->qName(), "Acumulacion_Punto");
    EXPECT_EQ(findTable(u"Nada"), nullptr);
    const Table* birthdays = findTable(u"Cumpleaños");
    EXPECT_EQ(birthdays->column(u"cClieCode")->qName(), "cCliecode");
    EXPECT_EQ(birthdays->column(u"cClieCode")->mergeSpelling(), "cClieCode");
    EXPECT_EQ(findTable(u"Contactos")->column(u"email")->qName(), "Email");
    EXPECT_EQ(birthdays->qMergeName(), "CUMPLEAÑOS");
}

// Every list kept per table names the model's tables and columns, and holds exactly one entry
// for each table it must cover: all ten, or the mirrored ones.
TEST(DataModel, PerTableListsAgreeWithTheModel) {
    std::map<const Table*, int> planes, fusiones, espejo, cargas;
    for (const PlanCopia& p : planesCopia()) {
        const Table* t = findTable(QString::fromUtf8(p.tabla));
        ASSERT_NE(t, nullptr) << p.tabla;
        ++planes[t];
        // The texts select from the plan's own table, and the warning reads columns it has.
        const auto desde = QRegularExpression("FROM (\\S+) WHERE").match(p.desde);
        EXPECT_EQ(findTable(desde.captured(1)), t) << p.desde;
        if (!p.avisoConsulta) continue;
        const auto aviso = QRegularExpression("select (.*) from (\\S+) ").match(p.avisoConsulta);
        EXPECT_EQ(findTable(aviso.captured(2)), t) << p.avisoConsulta;
        for (const QString& c : aviso.captured(1).split(u','))
            EXPECT_NE(t->column(c.trimmed()), nullptr) << p.avisoConsulta;
    }
    for (const auto& r : lumaro::importer::reglasFusion()) ++fusiones[r.tabla];
    for (const auto& e : lumaro::outputs::tablasEspejo()) ++espejo[e.tabla];
    for (const Table* t : lumaro::outputs::tablasCarga()) {
        ASSERT_NE(t, nullptr);
        ++cargas[t];
    }
    for (const auto& e : lumaro::outputs::excepcionesDBF()) {
        const Table* t = findTable(QString::fromUtf8(e.tabla));
        ASSERT_NE(t, nullptr) << e.tabla;
        EXPECT_NE(t->dbfCode, nullptr) << e.tabla;
        EXPECT_NE(t->column(QString::fromUtf8(e.columna)), nullptr) << e.columna;
    }
    for (const Table& t : tables()) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(planes[&t], 1);
        EXPECT_EQ(fusiones[&t], 1);
        EXPECT_NE(lumaro::importer::fusionDeTabla(t), nullptr);
        EXPECT_EQ(espejo[&t], t.mirrored ? 1 : 0);
        EXPECT_EQ(cargas[&t], t.mirrored ? 1 : 0);
        if (t.dbfCode) {
            EXPECT_EQ(lumaro::outputs::tablaDBF(QString::fromLatin1(t.dbfCode)), &t);
        }
    }
}

// The embedded production schema: keys as primary keys, the flag 0 by default, required
// columns refuse NULL.
TEST(DataModel, EmbeddedProductionSchema) {
    QTemporaryDir dir;
    lumaro::config::setProgramFolder(dir.path());
    const QString file = dir.filePath("p.db");
    QFile(file).open(QIODevice::WriteOnly);
    using lumaro::db::dbAdmin;
    lumaro::db::Connection cnn;
    ASSERT_TRUE(dbAdmin().AbrirBD(cnn, lumaro::db::textoConexionAccess(file)));
    QString error;
    for (const Table& t : tables())
        ASSERT_TRUE(dbAdmin().EjecutarSentencia(cnn, sqliteCreateStatement(t), 1, &error))
            << error.toStdString();
    const struct {
        const char* sql;
        bool accepted;
    } inserts[] = {
        {"insert into Contactos (IdContacto, DscContacto) values (7, 'Ana')", true},
        {"insert into Contactos (IdContacto, DscContacto) values (NULL, 'x')", false},
        {"insert into Tarjeta (cClieCode, nTarjNumb, IdLocal) values (1, '00000001', 2)", true},
        {"insert into Tarjeta (cClieCode, nTarjNumb, IdLocal) values (1, '00000001', 2)", false},
        {"insert into registro_canje_cumpleaños_d values ('A', 1, 1, NULL, 0, 1)", false}};
    for (const auto& i : inserts)
        EXPECT_EQ(dbAdmin().EjecutarSentencia(cnn, QString::fromUtf8(i.sql), 1, &error), i.accepted)
            << i.sql;
    lumaro::db::Recordset rs;
    ASSERT_TRUE(rs.open(cnn, "select bFlagSincro from Contactos where IdContacto = 7"));
    EXPECT_EQ(rs.value(0).toInt(), 0);
    dbAdmin().CerrarBD(cnn);
    lumaro::config::setProgramFolder(QString());
}

}  // namespace
