// The settings file, the run log and the file helpers, on real files in a temporary program
// folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "config/Clock.h"
#include "config/Console.h"
#include "config/Cp1252.h"
#include "config/HeadlessConsole.h"
#include "config/Settings.h"

using namespace lumaro::config;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        setProgramFolder(m_dir.path());
        setExecutableBaseName(QStringLiteral("lumaro-sync"));
        Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(23, 59, 58)));
        setConsole(&m_console);
    }
    void TearDown() override {
        setConsole(nullptr);
        Clock::setForTesting({});
        setProgramFolder(QString());
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QByteArray log() const { return readAll(logPath(Clock::today())); }

    QTemporaryDir m_dir;
    HeadlessConsole m_console;
};

// A settings file as an operator edits it by hand on Windows: CR LF, Windows-1252 bytes,
// comments, blanks around names and values, names in other cases.
const QByteArray kHandMade =
    "; lumaro\r\n"
    "[INICIO]\r\n"
    "  Hora1 =  2 \r\n"
    "Contrase\xF1"
    "aFtp= s3cr\xE9t \r\n"
    "IpFtp=\"127.0.0.1:2121\"\r\n"
    ";SubFile=comentado\r\n"
    "Vacia=\r\n"
    "\r\n"
    "[Conexion_Cliente]\r\n"
    "ServidorSQL = sqlite \r\n"
    "[Mysql]\r\n"
    "PWDMySQL=  clave  \r\n";

}  // namespace

TEST_F(ConfigTest, ReadsHandMadeWindowsFile) {
    writeAll(settingsPath(), kHandMade);
    struct Case {
        const char* section;
        QString key;
        QString expected;
    };
    const Case cases[] = {
        {"Inicio", QStringLiteral("hora1"), QStringLiteral("2")},
        {"Inicio", QStringLiteral("ContraseñaFtp"), QStringLiteral("s3crét")},
        {"Inicio", QStringLiteral("CONTRASEÑAFTP"), QStringLiteral("s3crét")},
        {"Inicio", QStringLiteral("IpFtp"), QStringLiteral("127.0.0.1:2121")},
        {"Inicio", QStringLiteral("SubFile"), QString()},  // commented out
        {"Inicio", QStringLiteral("Vacia"), QString()},
        {"Inicio", QStringLiteral("Missing"), QString()},
        {"Inicio", QStringLiteral("ServidorSQL"), QString()},  // another section's key
        {"conexion_cliente", QStringLiteral("servidorsql"), QStringLiteral("sqlite")},
        {"Mysql", QStringLiteral("PWDMySQL"), QStringLiteral("clave")},
        {"Nada", QStringLiteral("Hora1"), QString()},
    };
    for (const Case& c : cases) {
        const QString section = QString::fromLatin1(c.section);
        EXPECT_EQ(LeerConfigSeccion(section, c.key), c.expected)
            << c.section << "/" << c.key.toStdString();
        EXPECT_EQ(LeerIni(section, c.key, settingsPath()), c.expected);
    }
    EXPECT_EQ(LeerConfig(QStringLiteral("ContraseñaFtp")), QStringLiteral("s3crét"));
    EXPECT_EQ(LeerConfig(QStringLiteral("ServidorSQL")), QString());
}

TEST_F(ConfigTest, MissingOrUnreadableFileReadsEmpty) {
    EXPECT_EQ(LeerConfig(QStringLiteral("Hora1")), QString());
    writeAll(settingsPath(), QByteArray("\x00\xff[[[\n=\n[Inicio\nHora1\n=5\n", 24));
    EXPECT_EQ(LeerConfig(QStringLiteral("Hora1")), QString());
    QFile::remove(settingsPath());
    QDir().mkdir(settingsPath());  // a folder where the file should be
    EXPECT_EQ(LeerConfig(QStringLiteral("Hora1")), QString());
}

TEST_F(ConfigTest, WritesInPlaceKeepingOtherLines) {
    writeAll(settingsPath(), kHandMade);
    EXPECT_TRUE(GrabarConfig(QStringLiteral("HORA1"), QStringLiteral("4")));
    EXPECT_TRUE(GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1")));
    EXPECT_TRUE(GrabarConfig(QStringLiteral("BD_Temp"), QStringLiteral("  3_05122026.mdb  ")));
    const QByteArray after = readAll(settingsPath());
    QByteArray expected = kHandMade;
    expected.replace("  Hora1 =  2 \r\n", "Hora1=4\r\n");
    expected.replace("Vacia=\r\n", "Vacia=\r\nAutoSync=1\r\nBD_Temp=  3_05122026.mdb  \r\n");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(LeerConfig(QStringLiteral("BD_Temp")), QStringLiteral("3_05122026.mdb"));
    EXPECT_EQ(LeerConfig(QStringLiteral("hora1")), QStringLiteral("4"));
}

TEST_F(ConfigTest, WriteCreatesFileAndSectionInWindows1252) {
    EXPECT_TRUE(GrabarConfig(QStringLiteral("ContraseñaFtp"), QStringLiteral("año")));
    EXPECT_EQ(readAll(settingsPath()), QByteArray("[Inicio]\r\nContrase\xF1"
                                                  "aFtp=a\xF1o\r\n"));
    EXPECT_TRUE(GrabarConfig(QStringLiteral("Vacia"), QString()));
    EXPECT_EQ(LeerConfig(QStringLiteral("Vacia")), QString());
    EXPECT_EQ(LeerConfig(QStringLiteral("contraseñaftp")), QStringLiteral("año"));
}

TEST_F(ConfigTest, FailedWriteIsLoggedAndListed) {
    QDir().mkdir(settingsPath());
    EXPECT_FALSE(GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("0")));
    ASSERT_EQ(m_console.problems().size(), 1);
    EXPECT_TRUE(m_console.problems().first().contains(QStringLiteral("AutoSync")));
    EXPECT_TRUE(log().contains("Error al grabar la configuracion <AutoSync>"));
}

TEST_F(ConfigTest, ValueLengthLimits) {
    const QString longValue(300, QLatin1Char('x'));
    EXPECT_TRUE(GrabarConfig(QStringLiteral("Largo"), longValue));
    EXPECT_EQ(LeerConfig(QStringLiteral("Largo")).size(), 253);
    EXPECT_EQ(LeerIni(QStringLiteral("Inicio"), QStringLiteral("Largo"), settingsPath()).size(),
              254);
}

TEST_F(ConfigTest, LogLinesRollOverAtMidnight) {
    EscribirLog(QStringLiteral("Configuración"));
    const QString yesterday = logPath(Clock::today());
    Clock::advance(3);  // 00:00:01 of the 6th
    EscribirLog(QStringLiteral("segunda"));
    EXPECT_EQ(readAll(yesterday), QByteArray("05/12/2026 23:59:58 Configuraci\xF3n\r\n"));
    EXPECT_TRUE(yesterday.endsWith(QStringLiteral("Err_20261205.log")));
    EXPECT_EQ(readAll(logPath(QDate(2026, 12, 6))), QByteArray("06/12/2026 00:00:01 segunda\r\n"));
}

TEST_F(ConfigTest, LogNeverForgesLinesAndSurvivesUnwritableFile) {
    EscribirLog(QStringLiteral("valor\r\n05/12/2026 00:00:00 falso\nfin"));
    EXPECT_EQ(log(), QByteArray("05/12/2026 23:59:58 valor 05/12/2026 00:00:00 falso fin\r\n"));
    QFile::remove(logPath(Clock::today()));
    QDir().mkdir(logPath(Clock::today()));   // the log cannot be opened
    EscribirLog(QStringLiteral("perdida"));  // returns normally
    QDir().rmdir(logPath(Clock::today()));
    EscribirLog(QStringLiteral("siguiente"));
    EXPECT_EQ(log(), QByteArray("05/12/2026 23:59:58 siguiente\r\n"));
}

TEST_F(ConfigTest, FileHelpersReplaceAndLogFailures) {
    writeAll(path(QStringLiteral("a.mdb")), "nuevo");
    writeAll(path(QStringLiteral("b.mdb")), "viejo contenido");
    EXPECT_TRUE(CopiarArchivo(path(QStringLiteral("a.mdb")), path(QStringLiteral("b.mdb"))));
    EXPECT_EQ(readAll(path(QStringLiteral("b.mdb"))), QByteArray("nuevo"));
    EXPECT_FALSE(CopiarArchivo(path(QStringLiteral("no.mdb")), path(QStringLiteral("c.mdb"))));
    EXPECT_FALSE(CopiarArchivo(path(QStringLiteral("a.mdb")), path(QStringLiteral("nada/c.mdb"))));
    EXPECT_TRUE(BorrarArchivo(path(QStringLiteral("a.mdb"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.mdb"))));
    EXPECT_FALSE(BorrarArchivo(path(QStringLiteral("a.mdb"))));
    const QByteArray lines = log();
    EXPECT_TRUE(lines.contains("Error # Function CopiarArchivo -  53 - File not found\r\n"));
    EXPECT_TRUE(lines.contains("Error # Function BorrarArchivo -  53 - File not found\r\n"));
    EXPECT_EQ(lines.count("Error # Function CopiarArchivo - "), 2);
}

TEST(Cp1252, RoundTripsEveryDefinedByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(fromCp1252("\x80\x9c"), QStringLiteral("€œ"));
    EXPECT_EQ(toCp1252(QStringLiteral("Ω")), QByteArray("?"));
}

TEST_F(ConfigTest, HeadlessBoxesAreLoggedAndAnswered) {
    console().messageBox(BoxIcon::Critical, QStringLiteral("Sincronizacion Lumaro"),
                         QStringLiteral("línea 1\r\nlínea 2"));
    console().notice(QStringLiteral("DESCARGANDO..."), QStringLiteral("DESCARGANDO..."), 1000);
    EXPECT_EQ(m_console.eventsOf(HeadlessConsole::Event::Kind::Box).size(), 1u);
    EXPECT_TRUE(
        log().contains("Mensaje (Error) <Sincronizacion Lumaro>: l\xEDnea 1 l\xEDnea 2\r\n"));
    EXPECT_TRUE(log().contains("Aviso <DESCARGANDO...>: DESCARGANDO...\r\n"));
}
