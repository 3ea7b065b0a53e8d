// The connections opened from the settings and the store registry, on a generated store.

#include <QFileInfo>

#include "DbFixture.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/clsLocal.h"

using namespace lumaro::db;
using lumaro::config::LeerConfig;

namespace {

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
        setAbridorSnapshot({});
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
        EXPECT_EQ(box.number, static_cast<int>(lumaro::config::BoxIcon::Critical));
        EXPECT_EQ(box.caption, "Problemas de Configuración");
        EXPECT_EQ(box.text,
                  "Comuníquese con el Proveedor, indicando:\r\n\r\n- Idioma Servidor "
                  "SQL Server no es: 'SPANISH', 'ENGLISH'");
    }
}

TEST_F(Connections, OpensBothDatabasesWithoutMirrorOutsideThePrincipalStore) {
    ASSERT_TRUE(openBoth());
    EXPECT_TRUE(cnnCliente().isOpen());
    EXPECT_TRUE(cnnLogistica().isOpen());
    EXPECT_FALSE(cnnMySql().isOpen());
    EXPECT_FALSE(esLocalPrincipal());
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(log().contains(QLatin1String("secreto-no-va-al-log")));
    // Settings are read again at every opening.
    EXPECT_EQ(datosConfiguracion().cliente.catalogo, "cliente.db");
    setKey("Conexion_Cliente", "BaseDatosSQL", "otro.db");
    EXPECT_FALSE(AbrirConexion(1));
    EXPECT_EQ(datosConfiguracion().cliente.catalogo, "otro.db");
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

TEST_F(Connections, SnapshotKind) {
    QString openedPath;
    setAbridorSnapshot([&](const QString& ruta, QString* error) {
        openedPath = ruta;
        if (ruta.endsWith(QLatin1String("bad.mdb"))) {
            *error = "formato no reconocido";
            return false;
        }
        return true;
    });
    rutaOrigenImportacion() = path("MDB_descargadas/2_05122026.mdb");
    EXPECT_FALSE(AbrirConexion(2));
    EXPECT_TRUE(openedPath.isEmpty());
    EXPECT_EQ(boxTexts().value(0), "No se encuentra el archivo mdb: " + rutaOrigenImportacion());

    for (const char* name : {"ok.mdb", "bad.mdb"})
        ASSERT_TRUE(QFile(path(name)).open(QIODevice::WriteOnly));
    rutaOrigenImportacion() = path("ok.mdb");
    EXPECT_TRUE(AbrirConexion(2));
    EXPECT_EQ(openedPath, path("ok.mdb"));
    rutaOrigenImportacion() = path("bad.mdb");
    EXPECT_FALSE(AbrirConexion(2));
    EXPECT_EQ(boxTexts().value(1), "No se puede conectar a " + path("bad.mdb") +
                                       "\r\n\r\n. Se detendra el proceso actual");
    EXPECT_EQ(logCount("clsDBAdmin.AbrirBD - Error: formato no reconocido"), 1);
}

TEST_F(Connections, ConfigLocalesLoadsListAndActiveStore) {
    setLocalPropio(QString(), QString());
    ASSERT_TRUE(openBoth());
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
}

struct RegistryFailure {
    const char* name;
    const char* sql;
    const char* caption;
    QString box;
    QString line;
};

void PrintTo(const RegistryFailure& c, std::ostream* os) { *os << c.name; }

class RegistryFailures : public Connections,
                         public ::testing::WithParamInterface<RegistryFailure> {};

TEST_P(RegistryFailures, BoxLogAndFalse) {
    const RegistryFailure& c = GetParam();
    run(c.sql);
    // Without table Local the principal-store test fails too, so AbrirConexion(1) does.
    const bool opened = openBoth();
    EXPECT_EQ(opened, c.caption != nullptr || QString(c.name) != "missing_table");
    setLocalPropio("7", "antes@x");
    EXPECT_FALSE(ConfigLocales());
    EXPECT_EQ(idLocalPropio(), "7");  // a failed call changes nothing
    if (c.caption) {
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].number, static_cast<int>(lumaro::config::BoxIcon::Critical));
        EXPECT_EQ(boxes()[0].caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(boxes()[0].text, c.box);
    } else {
        EXPECT_TRUE(boxes().empty());
    }
    EXPECT_EQ(logCount(c.line), 1) << log().toStdString();
    if (QString(c.name) == "C_two_active") {
        EXPECT_EQ(locales().getNroLocales(), 4);  // the list is loaded all the same
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryFailures,
    ::testing::Values(
        RegistryFailure{"A_empty", "delete from Local", "Problemas de Configuración",
                        "No existe registro de Locales en BD: cliente.db",
                        "MainProcesoSinc.ConfigLocales(A) - No existe registro de Locales en "
                        "BD:cliente.db"},
        RegistryFailure{"B_none_active", "update Local set Activo = 0",
                        "Problemas de Configuracion",
                        "No se ha establecido Local Activo en BD: cliente.db",
                        "MainProcesoSinc.ConfigLocales(B) - No se ha establecido Local Activo en "
                        "BD: cliente.db"},
        RegistryFailure{"C_two_active", "update Local set Activo = 1 where IdLocal in (2, 3)",
                        "Problemas de Configuración",
                        "No se puede establecer más de un Local como Activo en BD: cliente.db",
                        "MainProcesoSinc.ConfigLocales(C) - No se puede establecer más de un "
                        "Local como Activo en BD: cliente.db"},
        RegistryFailure{"missing_table", "drop table Local", nullptr, "",
                        "MainProcesoSinc.ConfigLocales(A) - Error : "},
        // A store number that is not a number never reaches a statement or file name.
        RegistryFailure{"non_numeric_id", "update Local set IdLocal = '3 or 1=1' where Activo = 1",
                        nullptr, "", "IdLocal no numerico en la tabla Local: 3 or 1=1"}));

}  // namespace
