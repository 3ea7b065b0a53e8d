// The ten tables as data: shapes, look-ups, and the embedded production schema made from them.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "config/Settings.h"
#include "db/ConnectionText.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "snapshot/DataModel.h"

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
