// The access object, the connection texts and the embedded dialect, on real SQLite files.

#include <QFileInfo>
#include <random>

#include "DbFixture.h"
#include "db/ConnectionText.h"
#include "db/IdentifierMap.h"

using namespace lumaro::db;

namespace {

// A value that would end or change an entry arrives whole and untrimmed; an unclosed brace is
// no text. Windows' own drivers: no login means the Windows account; version 18 encrypts and
// takes the server's own certificate.
TEST(ConnectionText, SqlServerGoesToQodbc) {
    const QString tds = "DRIVER={FreeTDS};SERVER=";
    const QString ms = "DRIVER={SQL Server};SERVER=";
#ifdef Q_OS_WIN
    const QString porDefecto = ms;
#else
    const QString porDefecto = tds;
#endif
    const struct {
        QString server, user, password, driver, expected;
    } cases[] = {
        {"srv", "sa", "pw", "", porDefecto + "srv;DATABASE=Lumaro;UID=sa;PWD=pw;"},
        {"127.0.0.1,1433", "sa", "pw", "FreeTDS",
         tds + "127.0.0.1;PORT=1433;DATABASE=Lumaro;UID=sa;PWD=pw;"},
        {"srv,1433", "sa", "pw", "ODBC Driver 18 for SQL Server",
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=srv,1433;DATABASE=Lumaro;UID=sa;PWD=pw;"
         "Encrypt=Yes;TrustServerCertificate=Yes;"},
        {"srv\\SQLEXPRESS", "", "", "ODBC Driver 17 for SQL Server",
         "DRIVER={ODBC Driver 17 for SQL Server};SERVER=srv\\SQLEXPRESS;DATABASE=Lumaro;"
         "Trusted_Connection=Yes;"},
        {"srv", "sa", "pw", " {SQL Server} ", ms + "srv;DATABASE=Lumaro;UID=sa;PWD=pw;"},
        {"srv", "sa", " a;b}c ", "FreeTDS", tds + "srv;DATABASE=Lumaro;UID=sa;PWD={ a;b}}c };"},
        {"srv", "sa", "\"x'y", "FreeTDS", tds + "srv;DATABASE=Lumaro;UID=sa;PWD=\"x'y;"},
        {"srv", "sa", " p\"w ", "FreeTDS", tds + "srv;DATABASE=Lumaro;UID=sa;PWD={ p\"w };"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        const QString text = textoConexionSqlServer("u;1", c.password, "Lumaro", c.server);
        const auto entries = parseConnectionText(text);
        ASSERT_TRUE(entries.has_value());
        EXPECT_EQ(entryValue(*entries, "user id"), "u;1");
        EXPECT_EQ(entryValue(*entries, "PASSWORD"), c.password);
        QString error;
        const auto target = translateConnectionText(
            textoConexionSqlServer(c.user, c.password, "Lumaro", c.server), c.driver, &error);
        ASSERT_TRUE(target.has_value()) << error.toStdString();
        EXPECT_EQ(target->qtDriver, "QODBC");
        EXPECT_EQ(target->engine, Engine::SqlServer);
        EXPECT_EQ(target->databaseName, c.expected);
        EXPECT_TRUE(target->connectOptions.contains(QLatin1String("SQL_ATTR_LOGIN_TIMEOUT=180")));
        // Never the password in what goes to the log.
        EXPECT_FALSE(target->describe().contains(QLatin1String("PWD")));
        if (!c.password.isEmpty()) {
            EXPECT_FALSE(target->describe().contains(c.password));
        }
    }
    EXPECT_FALSE(parseConnectionText("a={unclosed").has_value());
    // The embedded form with a database file of a Windows settings file.
    QString error;
    const bool windows = lumaro::config::kEsteSistema == lumaro::config::SistemaRutas::Windows;
    EXPECT_EQ(translateConnectionText(
                  textoConexionSqlServer("", "", "C:\\Lumaro\\cliente.db", "sqlite"), {}, &error)
                  .has_value(),
              false);
    EXPECT_TRUE(error.contains(windows
                                   ? "No existe el archivo de base de datos: C:/Lumaro/cliente.db"
                                   : "la ruta C:\\Lumaro\\cliente.db es de Windows"))
        << error.toStdString();
}

TEST(ConnectionText, MySqlHostMayCarryAPort) {
    const struct {
        const char* host;
        int port;  // 0: refused
    } cases[] = {{"127.0.0.1:3307", 3307}, {"db.local", 3306}, {"h:99999", 0}};
    for (const auto& c : cases) {
        QString error;
        const auto target =
            translateConnectionText(textoConexionMySql(c.host, "m", "u", "p"), {}, &error);
        ASSERT_EQ(target.has_value(), c.port != 0) << c.host;
        if (!target) continue;
        EXPECT_EQ(target->hostName, QString(c.host).section(u':', 0, 0));
        EXPECT_EQ(target->port, c.port);
    }
}

// Names are rewritten only outside literals and comments; whatever a snapshot's values,
// rewriting changes only the case of names, never a quoted value.
TEST(IdentifierMap, RewritesOnlyTheCaseOfNamesOutsideLiteralsAndComments) {
    IdentifierMap names;
    names.addAll({"Cumpleaños", "cCliecode", "Cliente", "ab"});
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"select CCLIECODE from CUMPLEAÑOS", "select cCliecode from Cumpleaños"},
        {"select * from cliente where x = 'CLIENTE'", "select * from Cliente where x = 'CLIENTE'"},
        {"select 'it''s cliente' , [CLIENTE].\"CUMPLEAÑOS\"",
         "select 'it''s cliente' , [Cliente].\"Cumpleaños\""},
        {"select 1 -- cliente\nfrom CLIENTE /* cumpleaños */",
         "select 1 -- cliente\nfrom Cliente /* cumpleaños */"},
        {"select 1e5, x1cliente, cliente_2 from t", "select 1e5, x1cliente, cliente_2 from t"},
        {"select 'unclosed cliente", "select 'unclosed cliente"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(names.rewrite(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    const QString alphabet = "aAbBñÑcC '\"[]-/*\n$_1.";
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        QString value, sql = "update CLIENTE set AB = '";
        const int n = static_cast<int>(rng() % 24);
        for (int i = 0; i < n; ++i)
            value += alphabet[static_cast<qsizetype>(rng() % alphabet.size())];
        value.replace("'", " ");  // as the literals do
        sql += value + "' where " + value;
        const QString out = names.rewrite(sql);
        ASSERT_EQ(out.toCaseFolded(), sql.toCaseFolded()) << sql.toStdString();
        ASSERT_TRUE(out.startsWith("update Cliente set ab = '" + value + u'\''))
            << sql.toStdString();
    }
}

class DbAccess : public lumaro::testing::DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        makeDemoStore(3, 12);
        // A relative catalog is taken from the program folder.
        ASSERT_TRUE(
            dbAdmin().AbrirBD(m_cnn, textoConexionSqlServer("", "", "cliente.db", "SQLite")));
        m_console.clearEvents();
    }
    int count(const QString& sql) {
        Recordset rs;
        EXPECT_TRUE(rs.open(m_cnn, sql)) << rs.errorText().toStdString();
        return rs.value(0).toInt();
    }
    Connection m_cnn;  // closes with the fixture, its last copy
};

TEST_F(DbAccess, FailedOpenLogsOnceAndCreatesNothingCloseNeverFails) {
    Connection cnn;
    const QString missing = path("nada.db");
    EXPECT_FALSE(dbAdmin().AbrirBD(cnn, textoConexionSqlServer("", "", missing, "sqlite")));
    EXPECT_FALSE(cnn.isOpen());
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(logCount("clsDBAdmin.AbrirBD - Error: "), 1);
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(dbAdmin().AbrirBD(cnn, QString()));
    EXPECT_FALSE(dbAdmin().AbrirBD(cnn, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"));
    EXPECT_EQ(logCount("clsDBAdmin.AbrirBD - Error: "), 3);
    EXPECT_FALSE(cnn.beginTransaction());

    dbAdmin().CerrarBD(cnn);
    Connection copy = m_cnn;
    dbAdmin().CerrarBD(m_cnn);
    dbAdmin().CerrarBD(m_cnn);
    EXPECT_FALSE(copy.isOpen());  // a copy shares the one connection
}

TEST_F(DbAccess, StatementsRowCountsAndTransactions) { checkStatements(m_cnn, 12); }

TEST_F(DbAccess, NoisyFailureShowsBoxThenLogs) {
    const QString sql = "update Cliente set nope = 1";
    EXPECT_FALSE(dbAdmin().EjecutarSentencia(m_cnn, sql));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].number, static_cast<int>(lumaro::run::BoxIcon::Information));
    EXPECT_TRUE(boxes()[0].text.endsWith(" - " + sql));
    const QString text = log();
    const qsizetype logged = text.indexOf(QLatin1String("Error (EjecutarSentencia): "));
    ASSERT_GE(logged, 0);
    // The line carries the provider's message only, and comes after the box.
    EXPECT_FALSE(text.mid(logged).section(u'\n', 0, 0).contains(sql));
    EXPECT_LT(text.indexOf(QLatin1String("no such column")), logged);
    // A fault of the statement is final; a lock held by another program passes.
    EXPECT_FALSE(isTransientError(m_cnn.lastError()));
    EXPECT_TRUE(isTransientError("database is locked Unable to fetch row"));

    Recordset rs;
    QString sError;
    EXPECT_FALSE(
        dbAdmin().EjecutarConsulta(m_cnn, "select nope from Cliente", rs, true, 0, sError));
    EXPECT_EQ(logCount("Error (EjecutarConsulta): "), 1);
    EXPECT_FALSE(dbAdmin().EjecutarSentencia(m_cnn, "   ", 1, &sError));
}

// The embedded dialect: names in any case (non-ASCII included), year/month/day, date values.
TEST_F(DbAccess, NamesInAnyCaseAndDateFunctions) {
    // The stored spellings are "Cumpleaños" and "cCliecode".
    EXPECT_EQ(count("select count(*) from CUMPLEAÑOS"), 4);
    EXPECT_EQ(count("select count(*) from cumpleaños where CCLIECODE = 3"), 1);
    // A table created later is known at once.
    ASSERT_TRUE(dbAdmin().EjecutarSentencia(m_cnn, "create table Ñandú (Año int)"));
    ASSERT_TRUE(dbAdmin().EjecutarSentencia(m_cnn, "insert into ÑANDÚ (AÑO) values (2026)"));
    EXPECT_EQ(count("select año from ñandú"), 2026);
    // Demo change dates are today minus (code % 30) days.
    for (const int day : {5, 4})
        EXPECT_EQ(count(QString("select count(*) from Cliente where year(dUltTDate)=2026 and "
                                "month(dUltTDate)=12 and day(dUltTDate)=%1")
                            .arg(day)),
                  day == 4 ? 1 : 0);
    EXPECT_EQ(count("select count(*) from Cliente where year(dNacmDate) is null"), 2);
    Recordset rs;
    ASSERT_TRUE(rs.open(m_cnn,
                        "select dAcumDate, dExtoDate, * from ACUMULACION_PUNTO where "
                        "dExtoDate is not null"));
    ASSERT_GT(rs.recordCount(), 0);
    EXPECT_EQ(rs.value("dacumdate").metaType().id(), QMetaType::QDateTime);
    EXPECT_EQ(rs.fieldIndex("dAcumDate"), 0);  // the first of equal names
    EXPECT_EQ(rs.value("DEXTODATE").toDateTime().date(), QDate(2026, 12, 5));
    EXPECT_EQ(rs.value("cDocTipo").toString(), "BOLETA");
    ASSERT_TRUE(rs.open(m_cnn, "select email from Contactos where IdLocal is null"));
    EXPECT_TRUE(rs.isNull("EMAIL"));
}

}  // namespace
