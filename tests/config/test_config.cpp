// The settings file, the run log and the file helpers, on real files in a temporary program
// folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "config/Clock.h"
#include "config/Cp1252.h"
#include "config/Settings.h"
#include "run/Console.h"
#include "run/HeadlessConsole.h"
#include "run/RunState.h"

using namespace lumaro::config;
using namespace lumaro::run;

namespace {

QByteArray utf16(const QString& text) { return QStringEncoder(QStringEncoder::Utf16LE)(text); }

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
        setExecutableBaseName("lumaro-sync");
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
        {"Inicio", "hora1", "2"},
        {"Inicio", "ContraseñaFtp", "s3crét"},
        {"Inicio", "CONTRASEÑAFTP", "s3crét"},
        {"Inicio", "IpFtp", "127.0.0.1:2121"},
        {"Inicio", "SubFile", QString()},  // commented out
        {"Inicio", "Vacia", QString()},
        {"Inicio", "Missing", QString()},
        {"Inicio", "ServidorSQL", QString()},  // another section's key
        {"conexion_cliente", "servidorsql", "sqlite"},
        {"Mysql", "PWDMySQL", "clave"},
        {"Nada", "Hora1", QString()},
    };
    for (const Case& c : cases) {
        const QString section = QString::fromLatin1(c.section);
        EXPECT_EQ(LeerConfigSeccion(section, c.key), c.expected)
            << c.section << "/" << c.key.toStdString();
        EXPECT_EQ(LeerIni(section, c.key, settingsPath()), c.expected);
    }
    EXPECT_EQ(LeerConfig("ContraseñaFtp"), "s3crét");
    EXPECT_EQ(LeerConfig("ServidorSQL"), QString());
}

TEST_F(ConfigTest, MissingOrUnreadableFileReadsEmpty) {
    EXPECT_EQ(LeerConfig("Hora1"), QString());
    writeAll(settingsPath(), QByteArray("\x00\xff[[[\n=\n[Inicio\nHora1\n=5\n", 24));
    EXPECT_EQ(LeerConfig("Hora1"), QString());
    QFile::remove(settingsPath());
    QDir().mkdir(settingsPath());  // a folder where the file should be
    EXPECT_EQ(LeerConfig("Hora1"), QString());
}

TEST_F(ConfigTest, WritesInPlaceKeepingOtherLines) {
    writeAll(settingsPath(), kHandMade);
    EXPECT_TRUE(GrabarConfig("HORA1", "4"));
    EXPECT_TRUE(GrabarConfig("AutoSync", "1"));
    EXPECT_TRUE(GrabarConfig("BD_Temp", "  3_05122026.mdb  "));
    const QByteArray after = readAll(settingsPath());
    QByteArray expected = kHandMade;
    expected.replace("  Hora1 =  2 \r\n", "Hora1=4\r\n");
    expected.replace("Vacia=\r\n", "Vacia=\r\nAutoSync=1\r\nBD_Temp=  3_05122026.mdb  \r\n");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(LeerConfig("BD_Temp"), "3_05122026.mdb");
    EXPECT_EQ(LeerConfig("hora1"), "4");
}

TEST_F(ConfigTest, WriteCreatesFileAndSectionInWindows1252) {
    EXPECT_TRUE(GrabarConfig("ContraseñaFtp", "año"));
    EXPECT_EQ(readAll(settingsPath()), QByteArray("[Inicio]\r\nContrase\xF1"
                                                  "aFtp=a\xF1o\r\n"));
    EXPECT_TRUE(GrabarConfig("Vacia", QString()));
    EXPECT_EQ(LeerConfig("Vacia"), QString());
    EXPECT_EQ(LeerConfig("contraseñaftp"), "año");
}

// A write that fails leaves the file as it was and says why and where (the log, and the cause
// the run control takes for the command's outcome and List1): a folder in the file's place,
// then a full disk (a 64 KiB tmpfs).
TEST_F(ConfigTest, FailedWriteKeepsTheFileAndSaysWhy) {
    QDir().mkdir(settingsPath());
    EXPECT_FALSE(GrabarConfig("AutoSync", "0"));
    EXPECT_TRUE(tomarFalloConfiguracion().contains(settingsPath()));
    EXPECT_TRUE(log().contains("Error al grabar la configuracion <AutoSync>"));

    const QString lleno = path("lleno");
    QDir().mkdir(lleno);
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", lleno}) != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
    setProgramFolder(lleno);
    const QByteArray antes = kHandMade + QByteArray(459 - kHandMade.size(), ';') + "\r\n";
    writeAll(settingsPath(), antes);
    QFile relleno(path("lleno/relleno"));
    ASSERT_TRUE(relleno.open(QIODevice::WriteOnly));
    for (int i = 0; i < 64 && relleno.write(QByteArray(4096, 'x')) > 0 && relleno.flush(); ++i) {
    }
    relleno.close();
    tomarFalloConfiguracion();
    EXPECT_FALSE(GrabarConfig("AutoSync", "1"));
    EXPECT_EQ(readAll(settingsPath()), antes);
    const QString fallo = tomarFalloConfiguracion();
    EXPECT_TRUE(fallo.contains(settingsPath()) && fallo.contains("no queda espacio en el disco"))
        << fallo.toStdString();
    EXPECT_TRUE(tomarFalloConfiguracion().isEmpty());
    QProcess::execute("umount", {lleno});
}

// The start-up review and the character set, on a file that holds every key a store needs,
// changed per row. The value written afterwards must come back in the file's own bytes ("" for
// a write refused).
TEST_F(ConfigTest, ReviewAndCharacterSetOfHandTypedFiles) {
    const QByteArray completo =
        "[Inicio]\r\nIpFtp=ftp\r\nUsuarioFtp=u\r\nContrase\xF1"
        "aFtp=clave\r\nSubFile=x\r\nHora1=2\r\nMinuto1=0\r\nHora2=14\r\nMinuto2=0\r\nRtDbf=/r\r\n"
        "[Conexion_Cliente]\r\nServidorSQL=sqlite\r\nBaseDatosSQL=c.db\r\n"
        "[Conexion_Logistica]\r\nServidorSQL=sqlite\r\nBaseDatosSQL=l.db\r\n";
    const auto cambiado = [&](const char* de, const char* a) {
        return QByteArray(completo).replace(de, a);
    };
    const QByteArray utf8 = cambiado("\xF1", "\xC3\xB1");
    const QString f = QStringLiteral(" de ") + settingsPath();
    struct Caso {
        const char* nombre;
        QByteArray archivo;
        QStringList revision;
        QString valor;       // written into RtDbf
        QByteArray grabado;  // the bytes it leaves in the file
    } casos[] = {
        {"windows-1252", completo, {}, "año", "RtDbf=a\xF1o\r\n"},
        {"windows-1252 refuses what it cannot hold", completo, {}, "Ω", ""},
        {"utf-8 as Linux editors write it", utf8, {}, "Ω", "RtDbf=\xCE\xA9\r\n"},
        {"utf-8 with its mark", "\xEF\xBB\xBF" + utf8, {}, "año", "RtDbf=a\xC3\xB1o\r\n"},
        {"utf-16 as Notepad saves Unicode",
         "\xFF\xFE" + utf16(fromCp1252(completo)),
         {},
         "Ω",
         utf16("RtDbf=Ω\r\n")},
        {"missing key",
         cambiado("IpFtp=ftp\r\n", ""),
         {"Falta la clave IpFtp en la seccion [Inicio]" + f +
          ": sin ella no hay descarga ni subida"},
         "x",
         "RtDbf=x\r\n"},
        {"typo",
         cambiado("Contrase\xF1"
                  "aFtp",
                  "ContrasenaFtp"),
         {"Falta la clave ContraseñaFtp en la seccion [Inicio]" + f +
              ": sin ella no hay descarga ni subida",
          "Clave desconocida ContrasenaFtp en la seccion [Inicio]" + f +
              ": el programa no la lee (quiza ContraseñaFtp)"},
         "x",
         "RtDbf=x\r\n"},
        {"principal store, key in the wrong section, unknown section",
         cambiado("RtDbf=/r\r\n", "RtDbf=/r\r\nLocal_Activo=1\r\nPWDMySQL=p\r\n") +
             "[Mysql]\r\nRutaBDClienteMySQL=h\r\nDataBaseMySQL=d\r\nUSRNameMySQL=u\r\n"
             "[Otra]\r\nA=1\r\n",
         {"Falta la clave PWDMySQL en la seccion [Mysql]" + f +
              ": la tienda principal (Local_Activo=1) no carga el espejo MySQL",
          "Seccion desconocida [Otra] en " + settingsPath() + ": el programa no la lee",
          "Clave desconocida PWDMySQL en la seccion [Inicio]" + f +
              ": el programa no la lee (PWDMySQL va en la seccion [Mysql])"},
         "x",
         "RtDbf=x\r\n"},
        {"snapshot folder of a Windows settings file", cambiado("RtDbf=/r", "RtDbf=D:\\Dbf"),
         kEsteSistema == SistemaRutas::Windows
             ? QStringList()
             : QStringList{"RtDbf de " + settingsPath() +
                           ": la ruta D:\\Dbf es de Windows (letra de unidad D:) y este sistema "
                           "no la tiene; escriba una carpeta de este sistema, con / (por ejemplo "
                           "/var/lib/lumaro-sync/Dbf)"},
         "x", "RtDbf=x\r\n"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        writeAll(settingsPath(), c.archivo);
        EXPECT_EQ(revisarConfiguracion(), c.revision);
        for (const QString& linea : c.revision) EXPECT_TRUE(log().contains(toCp1252(linea)));
        if (c.revision.isEmpty()) {
            EXPECT_EQ(LeerConfig("ContraseñaFtp"), "clave");
        }
        EXPECT_EQ(GrabarConfig("RtDbf", c.valor), !c.grabado.isEmpty());
        const QByteArray despues = readAll(settingsPath());
        if (c.grabado.isEmpty())
            EXPECT_EQ(despues, c.archivo);
        else
            EXPECT_TRUE(despues.contains(c.grabado)) << despues.toStdString();
        EXPECT_EQ(despues.startsWith("\xEF\xBB\xBF"), c.archivo.startsWith("\xEF\xBB\xBF"));
    }
}

// Paths as a settings file written on Windows holds them, read by either system: Windows takes
// them as written; elsewhere a drive letter or a leading backslash is refused with its cause,
// never read as a relative folder name. nullptr: refused.
TEST_F(ConfigTest, SettingsPathsOfBothSystems) {
    const struct {
        const char* valor;
        const char* windows;
        const char* posix;
    } casos[] = {
        {"C:\\Lumaro\\Dbf\\", "C:/Lumaro/Dbf", nullptr},
        {" c:/Lumaro/Dbf ", "c:/Lumaro/Dbf", nullptr},
        {"\\\\servidor\\lumaro\\dbf\\", "//servidor/lumaro/dbf", nullptr},
        {"\\Lumaro\\Dbf", "/Lumaro/Dbf", nullptr},
        {"Dbf\\Salida\\", "Dbf/Salida", "Dbf/Salida"},
        {"/srv/lumaro/out/", "/srv/lumaro/out", "/srv/lumaro/out"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.valor);
        for (const SistemaRutas sistema : {SistemaRutas::Windows, SistemaRutas::Posix}) {
            const char* esperada = sistema == SistemaRutas::Windows ? c.windows : c.posix;
            QString causa;
            EXPECT_EQ(rutaConfigurada(c.valor, &causa, sistema), esperada ? esperada : "");
            EXPECT_EQ(causa.isEmpty(), esperada != nullptr) << causa.toStdString();
            if (!esperada) {
                EXPECT_TRUE(causa.contains(QString(c.valor).trimmed() + " es de Windows"));
            }
        }
    }
    // The snapshot folder of such a file: the cause once in the log, however often it is read.
    ASSERT_TRUE(GrabarConfig("RtDbf", "C:\\Lumaro\\Dbf\\"));
    const bool windows = kEsteSistema == SistemaRutas::Windows;
    EXPECT_EQ(Inicio::leer().rtDbf, windows ? "C:/Lumaro/Dbf" : "");
    EXPECT_EQ(Inicio::leer().causaRtDbf.isEmpty(), windows);
    EXPECT_EQ(log().count("RtDbf de " + toCp1252(settingsPath()) +
                          ": la ruta C:\\Lumaro\\Dbf\\ "
                          "es de Windows (letra de unidad C:)"),
              windows ? 0 : 1);
}

TEST_F(ConfigTest, ValueLengthLimits) {
    const QString longValue(300, QLatin1Char('x'));
    EXPECT_TRUE(GrabarConfig("Largo", longValue));
    EXPECT_EQ(LeerConfig("Largo").size(), 253);
    EXPECT_EQ(LeerIni("Inicio", "Largo", settingsPath()).size(), 254);
}

TEST_F(ConfigTest, LogLinesRollOverAtMidnight) {
    EscribirLog("Configuración");
    const QString yesterday = logPath(Clock::today());
    Clock::advance(3);  // 00:00:01 of the 6th
    EscribirLog("segunda");
    EXPECT_EQ(readAll(yesterday), QByteArray("05/12/2026 23:59:58 Configuraci\xF3n\r\n"));
    EXPECT_TRUE(yesterday.endsWith("Err_20261205.log"));
    EXPECT_EQ(readAll(logPath(QDate(2026, 12, 6))), QByteArray("06/12/2026 00:00:01 segunda\r\n"));
}

TEST_F(ConfigTest, LogNeverForgesLinesAndSurvivesUnwritableFile) {
    EscribirLog("valor\r\n05/12/2026 00:00:00 falso\nfin");
    EXPECT_EQ(log(), QByteArray("05/12/2026 23:59:58 valor 05/12/2026 00:00:00 falso fin\r\n"));
    QFile::remove(logPath(Clock::today()));
    QDir().mkdir(logPath(Clock::today()));  // the log cannot be opened
    EscribirLog("perdida");                 // returns normally
    QDir().rmdir(logPath(Clock::today()));
    EscribirLog("siguiente");
    EXPECT_EQ(log(), QByteArray("05/12/2026 23:59:58 siguiente\r\n"));
}

TEST_F(ConfigTest, FileHelpersReplaceAndLogFailures) {
    writeAll(path("a.mdb"), "nuevo");
    writeAll(path("b.mdb"), "viejo contenido");
    EXPECT_TRUE(CopiarArchivo(path("a.mdb"), path("b.mdb")));
    EXPECT_EQ(readAll(path("b.mdb")), QByteArray("nuevo"));
    EXPECT_FALSE(CopiarArchivo(path("no.mdb"), path("c.mdb")));
    EXPECT_FALSE(CopiarArchivo(path("a.mdb"), path("nada/c.mdb")));
    EXPECT_TRUE(BorrarArchivo(path("a.mdb")));
    EXPECT_FALSE(QFile::exists(path("a.mdb")));
    EXPECT_FALSE(BorrarArchivo(path("a.mdb")));
    const QByteArray lines = log();
    EXPECT_TRUE(lines.contains("Error # Function CopiarArchivo -  53 - File not found\r\n"));
    EXPECT_TRUE(lines.contains("Error # Function BorrarArchivo -  53 - File not found\r\n"));
    EXPECT_EQ(lines.count("Error # Function CopiarArchivo - "), 2);
}

TEST(Cp1252, RoundTripsEveryDefinedByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(fromCp1252("\x80\x9c"), "€œ");
    EXPECT_EQ(toCp1252("Ω"), QByteArray("?"));
}

TEST_F(ConfigTest, HeadlessBoxesAreLoggedAndAnswered) {
    console().messageBox(BoxIcon::Critical, "Sincronizacion Lumaro", "línea 1\r\nlínea 2");
    console().notice("DESCARGANDO...", "DESCARGANDO...", 1000);
    EXPECT_EQ(m_console.eventsOf(HeadlessConsole::Event::Kind::Box).size(), 1u);
    EXPECT_TRUE(
        log().contains("Mensaje (Error) <Sincronizacion Lumaro>: l\xEDnea 1 l\xEDnea 2\r\n"));
    EXPECT_TRUE(log().contains("Aviso <DESCARGANDO...>: DESCARGANDO...\r\n"));

    // A service's console keeps nothing but the last lines of its lists.
    HeadlessConsole servicio(/*echo=*/false, /*recordEvents=*/false);
    for (int i = 0; i < 3000; ++i) servicio.addProblem(QString::number(i));
    EXPECT_TRUE(servicio.events().empty());
    EXPECT_EQ(servicio.problems().size(), HeadlessConsole::kMaxLineas);
    EXPECT_EQ(servicio.problems().last(), "2999");
}
