// The connections opened from the settings (embedded, through unixODBC, the MySQL mirror on a
// real loopback MariaDB) and the store registry, on a generated store.

#include <QFileInfo>
#include <QTcpServer>

#include "MariaDbFixture.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/SessionSetup.h"
#include "db/clsLocal.h"

using namespace lumaro::db;
using lumaro::config::LeerConfig;

namespace {

// A loopback port with nothing listening.
int closedPort() {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    return closed.serverPort();
}

class Connections : public lumaro::testing::DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        setFinPrograma([this] { ++m_ended; });
        makeDemoStore(3, 6);
        for (const char* section : {"Conexion_Cliente", "Conexion_Logistica"}) {
            setKey(section, "ServidorSQL", "sqlite");
            setKey(section, "UserSQL", "sa");
            setKey(section, "PwdUserSQL", "secreto-no-va-al-log");
        }
        setKey("Conexion_Cliente", "BaseDatosSQL", "cliente.db");
        setKey("Conexion_Logistica", "BaseDatosSQL", "logistica.db");
    }
    void TearDown() override {
        cerrarConexiones();
        setFinPrograma({});
        DbFixture::TearDown();
    }
    void run(const QString& sql) {
        Connection cnn;
        ASSERT_TRUE(dbAdmin().AbrirBD(cnn, textoConexionSqlServer("", "", "cliente.db", "sqlite")));
        QString error;
        ASSERT_TRUE(dbAdmin().EjecutarSentencia(cnn, sql, 1, &error)) << error.toStdString();
    }
    bool openBoth() { return AbrirConexion(3) && AbrirConexion(1); }
    int m_ended = 0;
};

TEST_F(Connections, ServerLanguageOnlyEnglishOrSpanishInAnyCase) {
    const std::pair<const char*, bool> rows[] = {{nullptr, true},   {"", true},
                                                 {"english", true}, {"SpAnIsH", true},
                                                 {"FRENCH", false}, {"ESPAÑOL", false}};
    int refused = 0;
    for (const auto& [value, accepted] : rows) {
        SCOPED_TRACE(value ? value : "absent");
        if (value) setKey("Conexion_Cliente", "IdionaSQLServer", value);
        EXPECT_EQ(TraerDatosConfiguracion(), accepted);
        refused += accepted ? 0 : 1;
        EXPECT_EQ(m_ended, refused);
        ASSERT_EQ(static_cast<int>(boxes().size()), refused);
    }
    for (const auto& box : boxes()) {
        EXPECT_EQ(box.number, static_cast<int>(lumaro::run::BoxIcon::Critical));
        EXPECT_EQ(box.caption, "Problemas de Configuración");
        EXPECT_EQ(box.text,
                  "Comuníquese con el Proveedor, indicando:\r\n\r\n- Idioma Servidor "
                  "SQL Server no es: 'SPANISH', 'ENGLISH'");
    }
}

TEST_F(Connections, UnreachableCatalogNamesTheCatalog) {
    setKey("Conexion_Cliente", "BaseDatosSQL", "falta.db");
    setKey("Conexion_Logistica", "BaseDatosSQL", "falta-log.db");
    EXPECT_FALSE(AbrirConexion(1));
    EXPECT_FALSE(AbrirConexion(3));
    EXPECT_EQ(boxTexts(), QStringList({"No se puede conectar a la BD: falta.db\r\n\r\n. Se "
                                       "detendrá el proceso actual",
                                       "No se puede conectar a la BD: falta-log.db\r\n\r\n. Se "
                                       "detendrá el proceso actual."}));
    EXPECT_EQ(logCount("clsDBAdmin.AbrirBD - Error: "), 2);
    EXPECT_FALSE(QFileInfo::exists(path("falta.db")));
}

TEST_F(Connections, IncompleteMirrorSettingsBoxOncePerOpening) {
    setKey("Inicio", "Local_Activo", " 1 ");
    setKey("Mysql", "RutaBDClienteMySQL", "127.0.0.1");
    setKey("Mysql", "DataBaseMySQL", "espejo");
    setKey("Mysql", "USRNameMySQL", "root");
    ASSERT_TRUE(openBoth());  // store 3 is active: no mirror needed
    const QString box = QStringLiteral(
        "No se han cargado los parametros MySql desde el archivo Ini,\r\nlos procesos no se "
        "ejecutaran.");
    EXPECT_EQ(boxTexts(), QStringList({box, box}));
    EXPECT_TRUE(datosConfiguracion().textoConexionMySql.isEmpty());
}

// Both databases open without a mirror outside the principal store; the registry gives the
// store list and the active store.
TEST_F(Connections, OpensBothDatabasesAndLoadsTheStoreRegistry) {
    setLocalPropio(QString(), QString());
    ASSERT_TRUE(openBoth());
    EXPECT_TRUE(cnnCliente().isOpen());
    EXPECT_TRUE(cnnLogistica().isOpen());
    EXPECT_FALSE(cnnMySql().isOpen());
    EXPECT_FALSE(esLocalPrincipal());
    EXPECT_FALSE(log().contains(QLatin1String("secreto-no-va-al-log")));
    ASSERT_TRUE(ConfigLocales());
    EXPECT_EQ(idLocalPropio(), "3");
    EXPECT_EQ(LeerConfig("Local_Activo"), "3");
    EXPECT_EQ(emailContactoPropio(), "local3@lumaro.example");
    EXPECT_EQ(locales().getNroLocales(), 4);
    EXPECT_EQ(locales().getIdLocal(1), "2");
    EXPECT_EQ(locales().getNombreLocalCod(3), locales().getNombreLocal(2));
    EXPECT_TRUE(locales().getNombreLocalCod(99).isEmpty());
    EXPECT_TRUE(locales().getIdLocal(4).isEmpty());
    EXPECT_TRUE(boxes().empty());

    run("delete from Contactos where IdLocal = 3");  // no contact: the e-mail stays
    ASSERT_TRUE(ConfigLocales());
    EXPECT_EQ(emailContactoPropio(), "local3@lumaro.example");
    // A failure in the contacts step comes after the result became true.
    run("drop table Contactos");
    EXPECT_TRUE(ConfigLocales());
    EXPECT_EQ(logCount("MainProcesoSinc.ConfigLocales(A) - Error : "), 1);
    // Settings are read again at every opening.
    EXPECT_EQ(datosConfiguracion().cliente.catalogo, "cliente.db");
    setKey("Conexion_Cliente", "BaseDatosSQL", "otro.db");
    EXPECT_FALSE(AbrirConexion(1));
    EXPECT_EQ(datosConfiguracion().cliente.catalogo, "otro.db");
}

// The same store reached through unixODBC's SQLite driver, and FreeTDS as the default driver.
class Odbc : public Connections {
protected:
    void SetUp() override {
        Connections::SetUp();
        if (!connectThroughOdbc(true)) GTEST_SKIP() << "libsqliteodbc or tdsodbc is not installed";
        // Would end the entry and lose its blanks if it were not quoted.
        for (const char* section : {"Conexion_Cliente", "Conexion_Logistica"})
            setKey(section, "PwdUserSQL", "\" p;w}d \"");
    }
};

TEST_F(Odbc, StatementsRowCountsAndTransactionsEndToEnd) {
#ifdef _WIN32
    GTEST_SKIP() << kSinSqliteOdbc;
#endif
    ASSERT_TRUE(openBoth()) << log().toStdString();
    Connection& cnn = cnnCliente();
    EXPECT_EQ(cnn.database().driverName(), "QODBC");
    EXPECT_TRUE(cnn.dbmsName().contains(QLatin1String("SQLite"))) << cnn.dbmsName().toStdString();
    EXPECT_EQ(cnn.engine(), Engine::OtherOdbc);  // not SQL Server: no SET DATEFORMAT
    ASSERT_TRUE(ConfigLocales());
    EXPECT_EQ(emailContactoPropio(), "local3@lumaro.example");
    checkStatements(cnn, 6);
    EXPECT_FALSE(log().contains(QLatin1String("p;w}d")));
}

TEST_F(Odbc, UnreachableSqlServerThroughFreeTds) {
    setKey("Conexion_Logistica", "ServidorSQL", QStringLiteral("127.0.0.1,%1").arg(closedPort()));
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

// Each broken store registry: its box (or none), its log line and false, changing nothing.
TEST_F(Connections, RegistryFailuresBoxLogAndFalse) {
    const struct {
        const char* sql;
        const char* caption;  // nullptr: no box
        QString box, line;
    } cases[] = {
        // Without table Local the principal-store test fails too, so AbrirConexion(1) does.
        {"drop table Local", nullptr, "", "MainProcesoSinc.ConfigLocales(A) - Error : "},
        {"delete from Local", "Problemas de Configuración",
         "No existe registro de Locales en BD: cliente.db",
         "MainProcesoSinc.ConfigLocales(A) - No existe registro de Locales en BD:cliente.db"},
        {"update Local set Activo = 0", "Problemas de Configuracion",
         "No se ha establecido Local Activo en BD: cliente.db",
         "MainProcesoSinc.ConfigLocales(B) - No se ha establecido Local Activo en BD: cliente.db"},
        // A store number that is not a number never reaches a statement or file name.
        {"update Local set IdLocal = '3 or 1=1' where Activo = 1", nullptr, "",
         "IdLocal no numerico en la tabla Local: 3 or 1=1"},
        {"update Local set Activo = 1 where IdLocal in (2, 3)", "Problemas de Configuración",
         "No se puede establecer más de un Local como Activo en BD: cliente.db",
         "MainProcesoSinc.ConfigLocales(C) - No se puede establecer más de un Local como Activo "
         "en BD: cliente.db"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        cerrarConexiones();
        makeDemoStore(3, 6);
        m_console.clearEvents();
        run(c.sql);
        EXPECT_EQ(openBoth(), c.caption != nullptr || QString(c.sql) != "drop table Local");
        setLocalPropio("7", "antes@x");
        EXPECT_FALSE(ConfigLocales());
        EXPECT_EQ(idLocalPropio(), "7");  // a failed call changes nothing
        ASSERT_EQ(boxes().size(), c.caption ? 1u : 0u);
        if (c.caption) {
            EXPECT_EQ(boxes()[0].number, static_cast<int>(lumaro::run::BoxIcon::Critical));
            EXPECT_EQ(boxes()[0].caption, QString::fromUtf8(c.caption));
            EXPECT_EQ(boxes()[0].text, c.box);
        }
        EXPECT_EQ(logCount(c.line), 1) << log().toStdString();
    }
    EXPECT_EQ(locales().getNroLocales(), 4);  // two active: the list is loaded all the same
}

// Quotes keep a value's outer blanks in the settings file; a password is never trimmed.
const char* const kPassword = "\" cla;ve x \"";

class Mirror : public lumaro::testing::MariaDbFixture {
protected:
    static void SetUpTestSuite() {
        startServer(" cla;ve x ", kPassword,
                    "create table espejo.cliente (cClieCode int, IdLocal int, sClieApel "
                    "varchar(50), bFlagsincro int)");
    }
};

// A fresh principal store opens the mirror before "Local_Activo" is written and after.
TEST_F(Mirror, PrincipalStoreOpensTheMirror) {
    makeDemoStore(1, 3);
    ASSERT_TRUE(AbrirConexion(3));
    ASSERT_TRUE(AbrirConexion(1)) << log().toStdString();
    EXPECT_TRUE(cnnMySql().isOpen());
    cerrarConexiones();
    setKey("Inicio", "Local_Activo", "1");
    ASSERT_TRUE(AbrirConexion(3));
    ASSERT_TRUE(AbrirConexion(1)) << log().toStdString();
    ASSERT_TRUE(cnnMySql().isOpen());
    EXPECT_EQ(cnnMySql().engine(), Engine::MySql);
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(log().contains(QLatin1String("cla;ve")));

    // A backslash cannot escape the closing quote of a value.
    QString sError;
    ASSERT_TRUE(dbAdmin().EjecutarSentencia(
        cnnMySql(),
        "insert into Cliente (cClieCode, IdLocal, sClieApel, bFlagsincro) values (1, 1, 'C:\\', 1)",
        1, &sError))
        << sError.toStdString();
    Recordset rs;
    ASSERT_TRUE(
        rs.open(cnnMySql(), "select sClieApel from CLIENTE where cClieCode=1 and IdLocal=1"))
        << rs.errorText().toStdString();
    EXPECT_EQ(rs.value(0).toString(), "C:\\");

    // A connection the server dropped still reads as open; isAlive asks.
    EXPECT_TRUE(cnnMySql().isAlive());
    ASSERT_TRUE(rs.open(cnnMySql(), "select connection_id()"));
    ASSERT_TRUE(s_server->runAsRoot("kill " + rs.value(0).toString()));
    EXPECT_TRUE(cnnMySql().isOpen());
    EXPECT_FALSE(cnnMySql().isAlive());
    EXPECT_FALSE(dbAdmin().EjecutarSentencia(cnnMySql(), "delete from Cliente", 1, &sError));
    EXPECT_TRUE(cnnCliente().isAlive());
}

// A closed port, then a wrong password.
TEST_F(Mirror, UnreachableMirrorBoxNamesItsDatabase) {
    makeDemoStore(1, 3);
    const std::pair<int, QString> rows[] = {{closedPort(), kPassword}, {s_server->port(), "otra"}};
    int n = 0;
    for (const auto& [port, password] : rows) {
        SCOPED_TRACE(port);
        cerrarConexiones();
        setMirror(port, password);
        ASSERT_TRUE(AbrirConexion(3));
        EXPECT_FALSE(AbrirConexion(1));
        EXPECT_EQ(boxTexts().value(n),
                  "No se puede conectar a la BD: espejo\r\n\r\n. Se detendrá "
                  "el proceso actual");
        EXPECT_EQ(logCount("clsDBAdmin.AbrirBD - Error: "), ++n);
        EXPECT_FALSE(log().contains(password));
    }
    EXPECT_EQ(boxes().size(), 2u);
}

}  // namespace
