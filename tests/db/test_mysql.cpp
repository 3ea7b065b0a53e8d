// The MySQL mirror connection against a real MariaDB on loopback.

#include <QTcpServer>

#include "MariaDbFixture.h"
#include "db/Conexiones.h"

using namespace lumaro::db;

namespace {

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
    QTcpServer closed;  // a loopback port with nothing listening once it is closed
    closed.listen(QHostAddress::LocalHost, 0);
    const std::pair<int, QString> rows[] = {{closed.serverPort(), kPassword},
                                            {s_server->port(), "otra"}};
    closed.close();
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
