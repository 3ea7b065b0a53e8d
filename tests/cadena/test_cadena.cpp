// The chain check on store folders built here: generated production databases, snapshots
// written with our Jet writer from each store's own rows, the merged state made by direct SQL.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "TiendasDePrueba.h"
#include "cadena/Estado.h"
#include "cadena/Verificar.h"
#include "config/Settings.h"
#include "db/MariaDbServer.h"
#include "ftp/FtpServerFixture.h"
#include "outputs/DatosEspejo.h"
#include "tools/EsquemaEspejo.h"

namespace {

using namespace lumaro;
using snapshot::Fila;
using snapshot::Table;
using Filas = lumaro::testing::FilasPorTabla;

class Cadena : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        config::setProgramFolder(m_dir.path());
        QString error;
        for (int id : {1, 2}) ASSERT_TRUE(m_tiendas.crear(id, 6, 2, &error)) << error.toStdString();
    }
    void TearDown() override { config::setProgramFolder(QString()); }

    // Both stores send their own rows at 09:00 and each merges the other's.
    void enviarYFusionar() {
        for (int id : {1, 2})
            ASSERT_TRUE(m_tiendas.enviar(id, QStringLiteral("090000"), m_tiendas.propias(id)));
        m_tiendas.fusionar(1, 2);
        m_tiendas.fusionar(2, 1);
    }
    int verificar(QString& salida, const QString& espejo = {}) {
        salida.clear();
        QTextStream out(&salida), err(&salida);
        return cadena::verificar({{m_tiendas.carpeta(1), m_tiendas.carpeta(2)}, espejo, {}}, out,
                                 err);
    }

    QTemporaryDir m_dir;
    lumaro::testing::TiendasDePrueba m_tiendas{m_dir.path()};
};

using Cambios = std::vector<std::pair<const char*, QVariant>>;

struct Caso {
    const char* nombre;
    int salida;
    const char* texto;                   // in the report
    const char* sqlEnLocal2;             // run on store 2 after the merge
    const char* tablaSegunda = nullptr;  // store 1 sends the first row of this table again,
    Cambios cambios = {};                // with these values
};

Caso segunda(const char* nombre, int salida, const char* texto, const char* tabla, Cambios c) {
    return {nombre, salida, texto, "", tabla, std::move(c)};
}

const QDateTime kAntigua(QDate(2000, 1, 1), QTime(9, 0), Qt::UTC);

class CadenaCasos : public Cadena, public ::testing::WithParamInterface<Caso> {};

TEST_P(CadenaCasos, ReportsWhatAStoreHoldsAgainstTheRulesOfTheMerges) {
    const Caso& c = GetParam();
    enviarYFusionar();
    if (c.tablaSegunda) {
        const Table* t = snapshot::findTable(QString::fromUtf8(c.tablaSegunda));
        Fila f = m_tiendas.propias(1)[t].front();
        for (const auto& [columna, valor] : c.cambios)
            f[static_cast<size_t>(snapshot::indiceColumna(*t, QString::fromUtf8(columna)))] = valor;
        ASSERT_TRUE(m_tiendas.enviar(1, QStringLiteral("180000"), {{t, {f}}}));
    }
    m_tiendas.sql(2, QString::fromUtf8(c.sqlEnLocal2));
    QString salida;
    EXPECT_EQ(verificar(salida), c.salida) << salida.toStdString();
    EXPECT_TRUE(salida.contains(QString::fromUtf8(c.texto))) << salida.toStdString();
}

const char* const kConverge = "veredicto: la cadena converge";

INSTANTIATE_TEST_SUITE_P(
    Filas, CadenaCasos,
    ::testing::Values(
        Caso{"converge", 0, "veredicto: la cadena converge (2 tiendas, ", ""},
        Caso{"falta", 1, "falta: tienda 2, Cliente: Cliente cClieCode=2 IdLocal=1",
             "delete from Cliente where IdLocal = 1 and cClieCode = 2"},
        Caso{"sobra", 1,
             "sobra: tienda 2, Acumulacion_Ticket: Acumulacion_Ticket cClieCode=1 "
             "cAcumCode=999 IdLocal=1",
             "insert into Acumulacion_Ticket select cClieCode, 999, nTarjNumb, nTickCant, "
             "sUserDesc, dExtoDate, sUseEDesc, dAcumDate, cAjusFlag, IdLocal, 1 from "
             "Acumulacion_Ticket where IdLocal = 1 and cAcumCode = 1"},
        Caso{"distinta", 1, "totales cadena: 0 faltan, 0 sobran, 1 columnas distintas",
             "update Cliente set sClieName = 'Otra' where IdLocal = 1 and cClieCode = 3"},
        segunda("sobrescribe", 1, "sClieName esperado \"Nueva\"", "Cliente",
                {{"sClieName", QStringLiteral("Nueva")}}),
        segunda("por fecha, mas antigua no reemplaza", 0, kConverge, "Acumulacion_Punto",
                {{"nPuntCant", 999}, {"dAcumDate", kAntigua}, {"dExtoDate", QVariant()}}),
        segunda("por fecha, un extorno reemplaza", 1, "dExtoDate esperado 2000/01/01 09:00:00",
                "Acumulacion_Punto", {{"dAcumDate", kAntigua}, {"dExtoDate", kAntigua}}),
        segunda("solo insertar guarda la primera", 0, kConverge, "Acumulacion_Ticket",
                {{"nTickCant", 77}}),
        segunda("ecos", 0, "ecos de filas fusionadas", "Cliente", {{"IdLocal", 2}})),
    [](const auto& info) {
        std::string n = info.param.nombre;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST_F(Cadena, ADamagedSnapshotIsNamedAndStopsTheCheck) {
    QFile f(m_tiendas.carpeta(1) + QStringLiteral("/MDB_enviadas/120000_1_02122026.mdb"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    QString salida;
    EXPECT_EQ(verificar(salida), cadena::kEntradaMala);
    EXPECT_TRUE(salida.contains(QStringLiteral("120000_1_02122026.mdb"))) << salida.toStdString();
}

TEST_F(Cadena, TheMirrorMustHoldExactlyThePrincipalStoresRows) {
    lumaro::testing::MariaDbServer servidor;
    QString error;
    if (!servidor.start(&error)) GTEST_SKIP() << error.toStdString();
    ASSERT_TRUE(
        servidor.runAsRoot(QStringLiteral("create database espejo; create user "
                                          "'lumaro'@'127.0.0.1' identified by 'c:l'; "
                                          "grant all on espejo.* to 'lumaro'@'127.0.0.1';") +
                               tools::esquemaEspejo(QStringLiteral("espejo")),
                           &error))
        << error.toStdString();
    enviarYFusionar();
    // The mirror as the principal store's copy (its own rows) and merges (the others') wrote it.
    QString sql = QStringLiteral("use espejo;");
    for (const int duenio : {1, 2})
        for (const auto& [t, filas] : m_tiendas.propias(duenio))
            if (const outputs::TablaEspejo* te = outputs::tablaEspejo(*t))
                for (const Fila& f : filas)
                    sql += outputs::sentenciaInsert(
                               *te, f,
                               duenio == 1 ? outputs::Origen::Copia : outputs::Origen::Fusion) +
                           u';';
    ASSERT_TRUE(servidor.runAsRoot(sql, &error)) << error.toStdString();
    const QString espejo = QStringLiteral("127.0.0.1:%1:lumaro:c:l:espejo").arg(servidor.port());
    QString salida;
    EXPECT_EQ(verificar(salida, espejo), cadena::kCoincide) << salida.toStdString();
    EXPECT_TRUE(salida.contains("veredicto espejo: el espejo coincide con el local principal"));
    ASSERT_TRUE(servidor.runAsRoot(
        "update espejo.Canje_Punto set nPuntCant = 9 where cCanjCode = 3 and IdLocal = 2; "
        "delete from espejo.Cliente where cClieCode = 2 and IdLocal = 1",
        &error));
    EXPECT_EQ(verificar(salida, espejo), cadena::kNoCoincide) << salida.toStdString();
    EXPECT_TRUE(salida.contains("veredicto espejo: el espejo NO coincide (2 diferencias)"))
        << salida.toStdString();
}

// The exchange folder of a chain on 5 December: stores 1 and 2 sent in time, store 3 last sent
// four days ago; names that are not a store's snapshot are left out. The central address of
// [Correo] gets the page by mail while a store is late.
TEST(CadenaEstado, NamesTheLateStoreAndDrawsThePage) {
#ifdef _WIN32
    GTEST_SKIP() << ftp::test::kSinTlsPorDireccion;  // the report goes by mail over TLS
#endif
    ftp::test::FtpServer servidor;
    ASSERT_GT(servidor.port(), 0) << "the loopback FTP server did not start";
    ftp::test::StoreFolder tienda(servidor.port());
    config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 30)));
    const std::pair<const char*, int> archivos[] = {
        {"1_04122026.mdb", 10}, {"1_05122026.mdb", 1000}, {"2_04122026.mdb", 2000},
        {"3_20112026.mdb", 10}, {"3_01122026.mdb", 3000}, {"0_05122026.mdb", 10},
        {"4_31112026.mdb", 10}, {"notas.txt", 10}};
    for (const auto& [nombre, bytes] : archivos)
        ASSERT_TRUE(ftp::test::writeFile(servidor.remote(QStringLiteral("intercambio/") + nombre),
                                         ftp::test::bytes(bytes)));
    using Seguridad = ftp::test::SmtpServer::Security;
    ftp::test::SmtpServer smtp(Seguridad::StartTls, "good", QString(), QString());
    ftp::test::configurarCorreo(smtp.port(), Seguridad::StartTls, "ca.pem", QString(), QString());
    ASSERT_TRUE(ftp::test::writeFile(
        config::settingsPath(),
        ftp::test::readAll(config::settingsPath()) + "CorreoCentral=central@example.com\r\n"));
    QTemporaryDir dir;
    const QString cfg = config::settingsPath(), pagina = dir.filePath("estado.html");
    QString salida, errores;
    const auto estado = [&](const QStringList& argumentos) {
        salida.clear();
        errores.clear();
        QTextStream out(&salida), err(&errores);
        return cadena::estado(argumentos, out, err);
    };
    EXPECT_EQ(estado({cfg, "--html", pagina}), cadena::kEstadoTarde) << errores.toStdString();
    EXPECT_TRUE(
        salida.contains("       1  05/12/2026                0          1000  al dia\n"
                        "       2  04/12/2026                1          2000  atrasada\n"
                        "       3  01/12/2026                4          3000  tarde\n"
                        "Tiendas con mas de 2 dias sin enviar: 3\n"))
        << salida.toStdString();
    EXPECT_TRUE(
        salida.endsWith("Informe enviado por correo a central@example.com (Tiendas con "
                        "mas de 2 dias sin enviar: 3)\n"))
        << salida.toStdString();
    const QStringList correos = smtp.mails();
    ASSERT_EQ(correos.size(), 1);
    EXPECT_TRUE(correos[0].contains("Content-Type: text/html; charset=UTF-8") &&
                correos[0].contains("<tr class=\"tarde\"><td>3</td>"))
        << correos[0].toStdString();
    EXPECT_EQ(estado({cfg, "--json", "--dias-tarde", "4"}), cadena::kEstadoAlDia);
    const QJsonObject json = QJsonDocument::fromJson(salida.toUtf8()).object();
    const QJsonArray tiendas = json["tiendas"].toArray();
    ASSERT_EQ(tiendas.size(), 3) << salida.toStdString();
    EXPECT_EQ(tiendas[2].toObject()["diasDeRetraso"].toInt(), 4);
    EXPECT_EQ(tiendas[2].toObject()["tamano"].toInt(), 3000);
    EXPECT_EQ(tiendas[2].toObject()["diasEnviados"].toArray().size(), 2);
    EXPECT_TRUE(json["tarde"].toArray().isEmpty());
    EXPECT_EQ(errores,
              "No se envio el informe por correo a central@example.com: ninguna tienda "
              "esta tarde\n");
    EXPECT_EQ(estado({cfg, "--dias-tarde"}), cadena::kEstadoUsoMalo);
    tienda.setPort(ftp::test::unusedPort());
    EXPECT_EQ(estado({cfg}), cadena::kEstadoSinServidor);
    EXPECT_TRUE(errores.contains("no se pudo listar la carpeta de intercambio \"intercambio\""))
        << errores.toStdString();

    // The page as a browser shows it.
    const QString html = QString::fromUtf8(ftp::test::readAll(pagina));
    EXPECT_TRUE(html.contains("<tr class=\"tarde\"><td>3</td>") && !html.contains("<script"));
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed: the page is not drawn";
    const QString png = LUMARO_BINARY_DIR "/tests/cadena/cadena-estado.png";
    QFile::remove(png);
    QProcess navegador;
    navegador.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu",
                               "--user-data-dir=" + dir.filePath("perfil"), "--screenshot=" + png,
                               "--window-size=1000,700", "file://" + pagina});
    if (!navegador.waitForFinished(90000)) navegador.kill();
    const QByteArray imagen = ftp::test::readAll(png);
    EXPECT_TRUE(imagen.startsWith("\x89PNG") && imagen.size() > 20000)
        << "screenshot " << png.toStdString() << ": " << imagen.size() << " bytes";
}

}  // namespace
