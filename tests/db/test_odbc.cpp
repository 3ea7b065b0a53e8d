// The SQL Server path through QODBC and unixODBC (SQLite ODBC driver; FreeTDS on a closed port).

#include <QTcpServer>

#include "DbFixture.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/SessionSetup.h"

using namespace lumaro::db;

namespace {

class Odbc : public lumaro::testing::DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        makeDemoStore(2, 10);
        if (!connectThroughOdbc(true)) GTEST_SKIP() << "libsqliteodbc or tdsodbc is not installed";
        for (const char* section : {"Conexion_Cliente", "Conexion_Logistica"}) {
            setKey(section, "UserSQL", "sa");
            // Would end the entry and lose its blanks if it were not quoted.
            setKey(section, "PwdUserSQL", "\" p;w}d \"");
        }
    }
    void TearDown() override {
        cerrarConexiones();
        DbFixture::TearDown();
    }
};

TEST_F(Odbc, StatementsRowCountsAndTransactionsEndToEnd) {
    ASSERT_TRUE(AbrirConexion(3)) << log().toStdString();
    ASSERT_TRUE(AbrirConexion(1)) << log().toStdString();
    Connection& cnn = cnnCliente();
    EXPECT_EQ(cnn.database().driverName(), "QODBC");
    EXPECT_TRUE(cnn.dbmsName().contains(QLatin1String("SQLite"))) << cnn.dbmsName().toStdString();
    EXPECT_EQ(cnn.engine(), Engine::OtherOdbc);  // not SQL Server: no SET DATEFORMAT
    ASSERT_TRUE(ConfigLocales());
    EXPECT_EQ(emailContactoPropio(), "local2@lumaro.example");
    checkStatements(cnn, 10);
    EXPECT_FALSE(log().contains(QLatin1String("p;w}d")));
}

TEST_F(Odbc, UnreachableSqlServerThroughFreeTds) {
    QTcpServer closed;  // a loopback port with nothing listening once it is closed
    closed.listen(QHostAddress::LocalHost, 0);
    const QString server = QStringLiteral("127.0.0.1,%1").arg(closed.serverPort());
    closed.close();
    setKey("Conexion_Logistica", "ServidorSQL", server);
    setKey("Conexion_Logistica", "DriverODBC", "");
    setKey("Conexion_Logistica", "BaseDatosSQL", "LumaroLogistica");
    EXPECT_FALSE(AbrirConexion(3));
    EXPECT_EQ(boxTexts(), QStringList({"No se puede conectar a la BD: LumaroLogistica\r\n\r\n. Se "
                                       "detendrá el proceso actual."}));
    EXPECT_EQ(logCount("clsDBAdmin.AbrirBD - Error: "), 1);
    EXPECT_FALSE(log().contains(QLatin1String("p;w}d")));
}

// A Spanish-language login reads year-first date texts as year, month, day only after this.
TEST(SessionSetup, SqlServerSessionsReadDatesYearFirst) {
    EXPECT_EQ(sessionStatements(Engine::SqlServer), QStringList({"SET DATEFORMAT ymd"}));
    EXPECT_TRUE(sessionStatements(Engine::OtherOdbc).isEmpty());
}

}  // namespace
