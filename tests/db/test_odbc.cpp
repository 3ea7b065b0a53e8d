// The SQL Server path through Qt's QODBC and unixODBC, proven end to end against the SQLite
// ODBC driver (registered in a private odbcinst.ini, so nothing global is touched), and the
// default FreeTDS translation against a closed loopback port.

#include <QDir>
#include <QTcpServer>

#include "DbFixture.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/SessionSetup.h"

using namespace lumaro::db;

namespace {

QString findDriver(const QString& name) {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
                            "/usr/lib/odbc", "/usr/local/lib"}) {
        const QString p = QDir(QString::fromLatin1(dir)).filePath(name);
        if (QFileInfo::exists(p)) return p;
    }
    return QString();
}

class Odbc : public lumaro::testing::DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        const QString sqlite = findDriver("libsqlite3odbc.so");
        const QString tds = findDriver("libtdsodbc.so");
        if (sqlite.isEmpty() || tds.isEmpty())
            GTEST_SKIP() << "libsqliteodbc or tdsodbc is not installed";
        QFile ini(path("odbcinst.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(("[SQLite3]\nDriver=" + sqlite + "\n[FreeTDS]\nDriver=" + tds + "\n").toUtf8());
        ini.close();
        qputenv("ODBCSYSINI", m_dir.path().toUtf8());
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("ODBCINI", path("odbc.ini").toUtf8());

        makeDemoStore(2, 10);
        for (const char* section : {"Conexion_Cliente", "Conexion_Logistica"}) {
            setKey(section, "ServidorSQL", "127.0.0.1");
            setKey(section, "UserSQL", "sa");
            // Would end the entry and lose its blanks if it were not quoted.
            setKey(section, "PwdUserSQL", "\" p;w}d \"");
            setKey(section, "DriverODBC", "SQLite3");
        }
        setKey("Conexion_Cliente", "BaseDatosSQL", path("cliente.db"));
        setKey("Conexion_Logistica", "BaseDatosSQL", path("logistica.db"));
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

// Every SQL Server session reads year-first date texts as year, month, day, whatever the
// login's language (MySQL's NO_BACKSLASH_ESCAPES is proven on a real server).
TEST(SessionSetup, SqlServerSessionsReadDatesYearFirst) {
    EXPECT_EQ(sessionStatements(Engine::SqlServer), QStringList({"SET DATEFORMAT ymd"}));
    EXPECT_TRUE(sessionStatements(Engine::OtherOdbc).isEmpty());
}

}  // namespace
