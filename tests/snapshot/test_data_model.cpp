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

struct Shape {
    const char* table;
    int columns;
    const char* keys;
    const char* changeDate;
    Database database;
};

TEST(DataModel, TheTenTables) {
    const Shape shapes[] = {
        {"Cliente", 24, "cClieCode,IdLocal", "dUltTDate", Database::Cliente},
        {"Tarjeta", 10, "cClieCode,nTarjNumb,IdLocal", "dUltOper", Database::Cliente},
        {"Cumpleaños", 10, "cCliecode,nIdCump,IdLocal", nullptr, Database::Cliente},
        {"Acumulacion_Punto", 15, "cClieCode,cAcumCode,IdLocal", "dAcumDate", Database::Cliente},
        {"Acumulacion_Ticket", 11, "cClieCode,cAcumCode,IdLocal", "dAcumDate", Database::Cliente},
        {"Canje_Punto", 12, "cClieCode,cCanjCode,IdLocal", "dCanjDate", Database::Cliente},
        {"Canje_Ticket", 12, "cClieCode,cCanjCode,IdLocal", "dCanjDate", Database::Cliente},
        {"Contactos", 5, "IdContacto,IdLocal", nullptr, Database::Cliente},
        {"registro_canje_cumpleaños", 8, "vc_cod_mov,i_tip_mov,i_id_local_canje",
         "dt_fecha_registro", Database::Logistica},
        {"registro_canje_cumpleaños_d", 6, "vc_cod_mov,i_tip_mov,n_numero_item,i_id_local_canje",
         nullptr, Database::Logistica}};
    ASSERT_EQ(tables().size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        const Table& t = tables()[i];
        SCOPED_TRACE(t.name);
        EXPECT_EQ(t.qName(), QString::fromUtf8(shapes[i].table));
        EXPECT_EQ(static_cast<int>(t.columns.size()), shapes[i].columns);
        EXPECT_EQ(t.keyColumns().join(u','), QString::fromUtf8(shapes[i].keys));
        EXPECT_EQ(t.hasChangeDate(), shapes[i].changeDate != nullptr);
        if (shapes[i].changeDate) {
            EXPECT_STREQ(t.changeDate, shapes[i].changeDate);
        }
        EXPECT_EQ(t.database, shapes[i].database);
        const Column* flag = t.column(u"bflagsincro");
        ASSERT_NE(flag, nullptr);
        EXPECT_TRUE(flag->required);
        EXPECT_EQ(t.columnsWithoutFlag().size(), shapes[i].columns - 1);
        // Everything in the register tables is required; elsewhere the owner is, but in Contactos.
        EXPECT_EQ(t.column(QString::fromUtf8(t.owningStore))->required, t.qName() != "Contactos");
    }
    EXPECT_EQ(tables()[0].columns.back().qName(), QStringLiteral("bClienteVIP"));
    EXPECT_EQ(findTable(u"Cumpleaños")->column(u"nTarjNumb")->size, 50);
    EXPECT_EQ(findTable(u"Tarjeta")->column(u"nTarjNumb")->size, 8);
    for (const Table* t :
         {findTable(u"registro_canje_cumpleaños"), findTable(u"registro_canje_cumpleaños_d")})
        for (const Column& c : t->columns) EXPECT_TRUE(c.required) << c.name;
}

TEST(DataModel, NamesInAnyCaseAndEitherSpelling) {
    EXPECT_EQ(findTable(u"CUMPLEAÑOS"), findTable(u"cumpleaños"));
    EXPECT_EQ(findTable(u"ACUMULACION_PUNTO")->qName(), QStringLiteral("Acumulacion_Punto"));
    EXPECT_EQ(findTable(u"Nada"), nullptr);
    const Table* birthdays = findTable(u"Cumpleaños");
    EXPECT_EQ(birthdays->column(u"cClieCode")->qName(), QStringLiteral("cCliecode"));
    EXPECT_EQ(birthdays->column(u"cClieCode")->mergeSpelling(), QStringLiteral("cClieCode"));
    EXPECT_EQ(findTable(u"Contactos")->column(u"email")->qName(), QStringLiteral("Email"));
    EXPECT_EQ(birthdays->qMergeName(), QStringLiteral("CUMPLEAÑOS"));
}

TEST(DataModel, ImportOrder) {
    QStringList names;
    for (const Table* t : importOrder()) names << t->qName();
    EXPECT_EQ(names, QStringList({"Acumulacion_Punto", "Acumulacion_Ticket", "Canje_Punto",
                                  "Canje_Ticket", "Cliente", "Cumpleaños", "Tarjeta", "Contactos",
                                  "registro_canje_cumpleaños", "registro_canje_cumpleaños_d"}));
    QStringList dbf;
    for (const Table& t : tables())
        if (t.dbfCode) dbf << QString::fromLatin1(t.dbfCode) + u':' + t.qName();
    EXPECT_EQ(dbf, QStringList({"C:Cliente", "T:Tarjeta", "A:Acumulacion_Punto", "K:Canje_Punto"}));
}

TEST(DataModel, SnapshotDefinitions) {
    const lumaro::jet::TableDef def = jetTableDef(*findTable(u"Tarjeta"));
    EXPECT_EQ(def.name, "Tarjeta");
    ASSERT_EQ(def.columns.size(), 10u);
    EXPECT_EQ(def.columns[1].type, lumaro::jet::ColumnType::Text);
    EXPECT_EQ(def.columns[1].size, 8);
    EXPECT_TRUE(def.columns[1].required);
    EXPECT_EQ(def.columns[3].type, lumaro::jet::ColumnType::DateTime);
    EXPECT_FALSE(def.columns[3].required);
    EXPECT_EQ(def.columns[9].type, lumaro::jet::ColumnType::Boolean);
    EXPECT_EQ(jetTableDef(tables()[2]).name, "Cumpleaños");
}

// The embedded production schema: keys as primary keys, the flag 0 by default, required
// columns refuse NULL.
TEST(DataModel, EmbeddedProductionSchema) {
    QTemporaryDir dir;
    lumaro::config::setProgramFolder(dir.path());
    const QString file = dir.filePath("p.db");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    using lumaro::db::dbAdmin;
    lumaro::db::Connection cnn;
    ASSERT_TRUE(dbAdmin().AbrirBD(cnn, lumaro::db::textoConexionAccess(file)));
    QString error;
    for (const Table& t : tables())
        ASSERT_TRUE(dbAdmin().EjecutarSentencia(cnn, sqliteCreateStatement(t), 1, &error))
            << error.toStdString();
    EXPECT_TRUE(dbAdmin().EjecutarSentencia(
        cnn, "insert into Contactos (IdContacto, DscContacto) values (7, 'Ana')", 1, &error));
    EXPECT_FALSE(dbAdmin().EjecutarSentencia(
        cnn, "insert into Contactos (IdContacto, DscContacto) values (NULL, 'x')", 1, &error));
    EXPECT_TRUE(dbAdmin().EjecutarSentencia(
        cnn, "insert into Tarjeta (cClieCode, nTarjNumb, IdLocal) values (1, '00000001', 2)", 1,
        &error));
    EXPECT_FALSE(dbAdmin().EjecutarSentencia(
        cnn, "insert into Tarjeta (cClieCode, nTarjNumb, IdLocal) values (1, '00000001', 2)", 1,
        &error));
    EXPECT_FALSE(dbAdmin().EjecutarSentencia(
        cnn, "insert into registro_canje_cumpleaños_d values ('A', 1, 1, NULL, 0, 1)", 1, &error));
    lumaro::db::Recordset rs;
    ASSERT_TRUE(rs.open(cnn, "select bFlagSincro from Contactos where IdContacto = 7"));
    EXPECT_EQ(rs.value(0).toInt(), 0);
    dbAdmin().CerrarBD(cnn);
    lumaro::config::setProgramFolder(QString());
}

}  // namespace
