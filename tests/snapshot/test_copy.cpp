// Today's snapshot on a generated embedded store: creation, the copy of changed rows with its
// DBF files and production marks, and what the copy does with bad rows and missed days.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <map>

#include "../db/DbFixture.h"
#include "ExternalReaders.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "jet/Reader.h"
#include "outputs/ExportacionDBF.h"
#include "snapshot/CopiarTablas.h"
#include "snapshot/CrearBDTemp.h"

using namespace lumaro;
using snapshot::SnapshotDelDia;

namespace {

const QString kHoy = QStringLiteral("3_05122026.mdb");

// Runs statements during the copy, when the first row of a table has been copied: another
// program writing production between the selection and the marking, on the copy's own
// connection (sentencias) and on a connection of its own (ajena, which must not get through).
class Intrusa : public snapshot::SalidaCopia {
public:
    QString tabla;
    QStringList sentencias;
    QString ajena;
    bool preparar(const QString&) override { return true; }
    void fila(const snapshot::Table& t, const snapshot::Fila&) override {
        if (t.qName() != tabla) return;
        for (const QString& s : sentencias)
            EXPECT_TRUE(db::dbAdmin().EjecutarSentencia(db::cnnCliente(), s, 1)) << s.toStdString();
        sentencias.clear();
        if (ajena.isEmpty()) return;
        {
            QSqlDatabase otra = QSqlDatabase::addDatabase("QSQLITE", "ajena");
            otra.setDatabaseName(db::cnnCliente().database().databaseName());
            otra.setConnectOptions("QSQLITE_BUSY_TIMEOUT=0");
            EXPECT_TRUE(otra.open());
            EXPECT_FALSE(QSqlQuery(otra).exec(ajena));
        }
        QSqlDatabase::removeDatabase("ajena");
        ajena.clear();
    }
    void finTabla(const snapshot::Table&) override {}
    void fin(bool) override {}
};

class Copy : public lumaro::testing::DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        makeDemoStore(3, 30);
        QDir().mkpath(path("salida"));
        QString error;
        tools::DemoOptions o;
        o.clientePath = path("cliente.db");
        o.logisticaPath = path("logistica.db");
        o.idLocal = 3;
        ASSERT_TRUE(tools::escribirConexionesDemo(config::settingsPath(), o, &error));
        setKey("Inicio", "RtDbf", path("salida"));
        db::setLocalPropio("3", QString());
        ASSERT_TRUE(db::AbrirConexion(3) && db::AbrirConexion(1));
    }
    void TearDown() override {
        db::cerrarConexiones();
        DbFixture::TearDown();
    }
    void sql(const QString& s) {
        ASSERT_TRUE(db::dbAdmin().EjecutarSentencia(db::cnnCliente(), s, 1)) << s.toStdString();
    }
    int count(const QString& s) {
        db::Recordset rs;
        EXPECT_TRUE(rs.open(db::cnnCliente(), s)) << s.toStdString();
        return rs.value(0).toInt();
    }
    std::optional<snapshot::FilasPorTabla> generar(std::vector<snapshot::SalidaCopia*> extra = {}) {
        const SnapshotDelDia hoy = snapshot::crearBDTemp();
        EXPECT_EQ(hoy.estado, SnapshotDelDia::Estado::Creada);
        EXPECT_EQ(hoy.nombre, kHoy);
        outputs::ExportacionDBF dbf;
        extra.push_back(&dbf);
        return snapshot::CopiarTablas(hoy.nombre, extra);
    }
    std::vector<std::vector<jet::Value>> filas(const char* tabla) {
        auto db = jet::Database::open(path("salida/" + kHoy).toStdString());
        EXPECT_TRUE(db.isOk()) << db.status().message();
        if (!db) return {};
        auto t = db->table(tabla);
        return t ? t->readAll().value() : std::vector<std::vector<jet::Value>>{};
    }
};

TEST_F(Copy, EveryChangedRowTravelsWithItsDbfRecordsAndIsMarkedSent) {
    const QString ancho(50, u'Ñ');
    sql("insert into Cliente (cClieCode, sClieApel, sClieName, dNacmDate, dUltTDate, IdLocal, "
        "bFlagSincro, bClienteVIP) values (901, 'D''Angelo', '" +
        ancho +
        "', null, '2026/12/05 09:00:00', 3, 1, null), (902, 'Łódź 中 $1', 'x', "
        "'1980/03/05 00:00:00', '2026/12/01 08:00:00', 3, 0, 1)");
    sql("delete from Canje_Ticket");
    ASSERT_TRUE(db::dbAdmin().EjecutarSentencia(
        db::cnnLogistica(),
        "insert into registro_canje_cumpleaños values ('R1', 1, 'CJ', '2026/12/05 08:00:00', 3, "
        "5, 1, 3), ('R''2', 1, 'CJ', '2026/12/05 08:00:00', 3, 5, 0, 3)",
        1));
    const int clientes = count("select count(*) from Cliente");
    // The other stores' contacts came from them and are not sent back.
    const int contactosAjenos = count("select count(*) from Contactos where bFlagSincro=1");
    const auto copiadas = generar();
    ASSERT_TRUE(copiadas);

    // Every row of every table is in the snapshot and marked sent (client 901 was already
    // marked, but changed today: listed in the warning and sent again). A register row is
    // selected by its flag alone: one registered today and already sent is only listed. A
    // register code with a quote travels with a blank in its place and is marked sent.
    for (const snapshot::Table& t : snapshot::tables()) {
        SCOPED_TRACE(t.name);
        db::Connection& c =
            t.database == snapshot::Database::Cliente ? db::cnnCliente() : db::cnnLogistica();
        db::Recordset rs;
        ASSERT_TRUE(rs.open(c, "select count(*), sum(bFlagSincro) from \"" + t.qName() + "\""));
        EXPECT_EQ(rs.value(0).toInt(), rs.value(1).toInt());
        const int yaEnviadas = t.qName() == "registro_canje_cumpleaños" ? 1
                               : t.qName() == "Contactos"               ? contactosAjenos
                                                                        : 0;
        EXPECT_EQ(static_cast<int>(filas(t.name).size()), rs.value(0).toInt() - yaEnviadas);
        EXPECT_EQ(copiadas->value(t.qName()), static_cast<qint64>(filas(t.name).size()));
    }
    bool codigoConBlanco = false;
    for (const auto& f : filas("registro_canje_cumpleaños"))
        codigoConBlanco |= std::get<std::string>(f[0]) == "R 2";
    EXPECT_TRUE(codigoConBlanco);
    EXPECT_EQ(logCount(">>> Existen Reg Canje Cumpleaños actualizados el dia de hoy, pero "
                       "marcados como ya sincronizados."),
              1);
    EXPECT_EQ(logCount(">>> Existen clientes actualizados el dia de hoy, pero marcadas como ya "
                       "sincronizados. >>> De todas maneras se procederá a sincronizarlos. "
                       ">>> Cliente [901] Local[3]"),
              1);
    EXPECT_EQ(logCount("Preparada"), 10);
    EXPECT_EQ(logCount("Copia de Datos Satisfactoria"), 1);

    // Values as the receiving stores read them, by this engine and by mdb-export.
    std::map<int64_t, std::string> cli;
    for (const auto& f : filas("Cliente"))
        cli[std::get<int64_t>(f[0])] = jet::testing::canonicalRow({}, f);
    const auto nulos = [](int n) {
        std::string s;
        while (n-- > 0) s += "\t\\N";
        return s;
    };
    EXPECT_EQ(cli[901], "901\tD Angelo\t" + ancho.toStdString() + nulos(7) +
                            "\t2026/12/05 09:00:00" + nulos(10) + "\t3\t0\t0");
    EXPECT_EQ(cli[902], "902\tŁódź 中 $1\tx" + nulos(6) +
                            "\t1980/03/05 00:00:00\t2026/12/01 08:00:00" + nulos(10) + "\t3\t0\t1");
    const std::string file = path("salida/" + kHoy).toStdString();
    if (const std::string why = jet::testing::missingReaders(); !why.empty()) GTEST_SKIP() << why;
    jet::testing::expectMdbToolsAgree(file);
    jet::testing::expectMdbReaderAgrees(file);

    // One DBF record per copied row of the four master tables; none for an empty table.
    QStringList dbf = QDir(path("salida")).entryList({"*.dbf"}, QDir::Files);
    EXPECT_EQ(dbf, QStringList({"3_A_QC5.dbf", "3_C_QC5.dbf", "3_K_QC5.dbf", "3_T_QC5.dbf"}));
    QProcess py;
    py.start("/usr/bin/python3", {"-c", "import dbfread,sys; print(len(dbfread.DBF(sys.argv[1])))",
                                  path("salida/3_C_QC5.dbf")});
    ASSERT_TRUE(py.waitForFinished());
    EXPECT_EQ(py.readAllStandardOutput().trimmed().toInt(), clientes);
}

// Only what was copied is marked: a row another program inserts or changes between the
// selection and the marking keeps its flag and goes in the next snapshot.
TEST_F(Copy, RowsWrittenDuringTheCopyAreNotMarkedUnlessCopied) {
    Intrusa intrusa;
    intrusa.tabla = "Acumulacion_Punto";
    intrusa.sentencias = {
        "insert into Acumulacion_Punto (cClieCode, cAcumCode, IdLocal, bFlagSincro, dAcumDate) "
        "values (7, 99999, 3, 0, '2026/12/05 11:00:00')",
        "update Acumulacion_Punto set bFlagSincro = 0, dAcumDate = '2026/12/05 23:59:59' where "
        "cAcumCode = 1"};
    intrusa.ajena = "update Acumulacion_Punto set nPuntCant = 5 where cAcumCode = 2";
    ASSERT_TRUE(generar({&intrusa}));
    EXPECT_EQ(count("select bFlagSincro from Acumulacion_Punto where cAcumCode = 1"), 0);
    const int nueva = count("select bFlagSincro from Acumulacion_Punto where cAcumCode = 99999");
    bool enSnapshot = false;
    for (const auto& f : filas("Acumulacion_Punto")) enSnapshot |= std::get<int64_t>(f[1]) == 99999;
    EXPECT_EQ(nueva == 1, enSnapshot);

    // The next day's copy sends the changed row (and the new one, if it was left behind).
    config::Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(2, 0)));
    const auto manana = snapshot::crearBDTemp();
    ASSERT_TRUE(snapshot::CopiarTablas(manana.nombre, {}));
    EXPECT_EQ(count("select count(*) from Acumulacion_Punto where bFlagSincro = 0"), 0);
}

// A row that does not fit its snapshot column stops the copy in the eighth table: it is named
// in the log and List1, the seven tables before it stay unmarked, the snapshot keeps its ten
// empty tables and the DBF files of the run are gone. A quote in a text key only skips its row.
TEST_F(Copy, ARowThatDoesNotFitRollsEverythingBackAndIsNamed) {
    sql("update Tarjeta set nTarjNumb = 'AB''C' where cClieCode = 2");
    sql("insert into Contactos values (77, '" + QString(51, u'x') + "', null, 3, 0)");
    EXPECT_FALSE(generar());
    EXPECT_EQ(count("select count(*) from Cliente where bFlagSincro = 1"), 0);
    EXPECT_EQ(count("select count(*) from Canje_Ticket where bFlagSincro = 1"), 0);
    for (const snapshot::Table& t : snapshot::tables()) EXPECT_TRUE(filas(t.name).empty());
    EXPECT_TRUE(QDir(path("salida")).entryList({"*.dbf"}, QDir::Files).isEmpty());
    EXPECT_EQ(logCount("Util.CopiarTablas: 0-No se pudo copiar la fila Contactos IdContacto=77 "
                       "IdLocal=3: "),
              1);
    EXPECT_EQ(logCount("No se copia la fila Tarjeta cClieCode=2 nTarjNumb=AB'C IdLocal=3"), 1);
    EXPECT_EQ(m_console.eventsOf(Kind::Problem).size(), 2u);

    // Once the row that did not fit is gone, everything is marked but the quoted key.
    sql("delete from Contactos where IdContacto = 77");
    ASSERT_TRUE(generar());
    EXPECT_EQ(count("select count(*) from Tarjeta where bFlagSincro = 0"), 1);
    EXPECT_EQ(count("select bFlagSincro from Tarjeta where cClieCode = 2"), 0);
}

// The day's file: missed days get empty snapshots, a sent day is never generated again, a file
// that holds rows is kept, an empty one is replaced.
TEST_F(Copy, TodaysFileAndTheDaysMissedBeforeIt) {
    config::Clock::setFixed(QDateTime(QDate(2026, 12, 4), QTime(2, 0)));
    config::GrabarConfig("BD_Temp", "3_01122026.mdb");
    QDir().mkpath(path("MDB_enviadas"));
    QFile(path("MDB_enviadas/020000_3_02122026.mdb")).open(QIODevice::WriteOnly);
    auto r = snapshot::crearBDTemp();
    EXPECT_EQ(r.estado, SnapshotDelDia::Estado::Creada);
    EXPECT_EQ(QDir(path("salida")).entryList({"*.mdb"}, QDir::Files),
              QStringList({"3_03122026.mdb", "3_04122026.mdb"}));
    EXPECT_EQ(logCount("Se creo la MDB vacia del dia no generado: 3_03122026.mdb"), 1);
    QString error;
    EXPECT_EQ(snapshot::snapshotTieneFilas(path("salida/3_03122026.mdb"), &error), false);

    ASSERT_TRUE(snapshot::CopiarTablas(r.nombre, {}));
    r = snapshot::crearBDTemp();  // BD_Temp not yet written: the rows are kept
    EXPECT_EQ(r.estado, SnapshotDelDia::Estado::Conservada);
    EXPECT_EQ(snapshot::snapshotTieneFilas(path("salida/3_04122026.mdb"), &error), true);

    QFile(path("MDB_enviadas/021500_3_04122026.mdb")).open(QIODevice::WriteOnly);
    r = snapshot::crearBDTemp();
    EXPECT_EQ(r.estado, SnapshotDelDia::Estado::YaEnviada);
    EXPECT_EQ(m_console.eventsOf(Kind::Problem).size(), 1u);

    config::Clock::setFixed(QDateTime(QDate(2026, 12, 3), QTime(2, 0)));
    r = snapshot::crearBDTemp();  // the empty file of a missed day is replaced
    EXPECT_EQ(r.estado, SnapshotDelDia::Estado::Creada);

    setKey("Inicio", "RtDbf", path("no/existe"));
    r = snapshot::crearBDTemp();
    EXPECT_EQ(r.estado, SnapshotDelDia::Estado::Fallida);
    EXPECT_EQ(logCount("Crear_Base_Dato Error: "), 1);
    ASSERT_FALSE(boxes().empty());
    EXPECT_EQ(boxes().back().number, static_cast<int>(run::BoxIcon::Critical));
}

}  // namespace
