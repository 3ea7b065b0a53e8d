// The transfer ledger on a real SQLite Seguridad.mdb in a temporary program folder.

#include <QFileInfo>

#include "DbFixture.h"
#include "JetLedger.h"
#include "db/Ledger.h"

using namespace lumaro::db;
using lumaro::db::dbAdmin;
using Estado = UltimaDescarga::Estado;

namespace {

class Ledger : public lumaro::testing::DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        QString error;
        ASSERT_TRUE(crearLedger(rutaLedger(), &error)) << error.toStdString();
        ASSERT_TRUE(dbAdmin().AbrirBD(m_cnn, lumaro::db::textoConexionAccess(rutaLedger())));
    }
    void TearDown() override {
        dbAdmin().CerrarBD(m_cnn);
        DbFixture::TearDown();
    }
    // The rows as "idLocal|fecha|iDescargaOK|iSincronizacionOK", in stored order.
    static QStringList rows() {
        return lumaro::testing::filasLedger(rutaLedger(),
                                            "select idLocal, fecha, iDescargaOK, iSincronizacionOK "
                                            "from TablasFTP order by idLocal, fecha");
    }
    const QDate d4{2026, 12, 4};
    lumaro::db::Connection m_cnn;
};

// One row per store and day, whatever the time of day stored in it.
TEST_F(Ledger, RegistrationsReplaceTheDayAndKeepOtherStores) {
    ASSERT_TRUE(dbAdmin().EjecutarSentencia(
        m_cnn, "insert into TablasFTP values (2, '2026/12/04 15:30:00', 1, 0)"));
    ASSERT_TRUE(registrarDescarga("3", d4, "1"));
    EXPECT_EQ(getUltimaDescarga("2").fecha, d4);
    ASSERT_TRUE(registrarSync("2", d4, "1", 2));
    EXPECT_EQ(rows(), QStringList({"2|2026/12/04 15:30:00|1|1", "3|2026/12/04 00:00:00|1|0"}));
    ASSERT_TRUE(registrarDescarga("2", d4, "0"));  // again: replaces, merged flag back to 0
    // Other modes and days without a row change nothing and are no failure.
    EXPECT_TRUE(registrarSync("2", d4, "1", 1));
    EXPECT_TRUE(registrarSync("2", d4.addDays(-9), "1", 2));
    EXPECT_EQ(rows(), QStringList({"2|2026/12/04 00:00:00|0|0", "3|2026/12/04 00:00:00|1|0"}));
    EXPECT_EQ(logCount("registrarDescarga=sSQL[Insert into TablasFTP values (3, '2026/12/04 "
                       "00:00:00', 1, 0)]"),
              1);
    EXPECT_EQ(logCount("registrarSync=sSQL[Update TablasFTP set iSincronizacionOK = 1 where "
                       "idLocal=2 and year(fecha)=2026 and month(fecha)=12 and day(fecha)=4]"),
              1);
}

TEST_F(Ledger, LastDownloadedDay) {
    ASSERT_TRUE(registrarDescarga("2", QDate(2026, 11, 30), "1"));
    ASSERT_TRUE(registrarDescarga("2", QDate(2026, 12, 2), "1"));
    ASSERT_TRUE(registrarDescarga("2", QDate(2026, 12, 3), "0"));  // a "0" row never advances it
    ASSERT_TRUE(registrarDescarga("4", QDate(2026, 12, 3), "0"));
    UltimaDescarga u = getUltimaDescarga("2");
    EXPECT_EQ(u.estado, Estado::Registrada);
    EXPECT_EQ(u.fecha, QDate(2026, 12, 2));
    // No download recorded: today, and a line that says why nothing is fetched.
    for (const char* store : {"4", "9"}) {
        u = getUltimaDescarga(store);
        EXPECT_EQ(u.estado, Estado::SinRegistro);
        EXPECT_EQ(u.fecha, QDate(2026, 12, 5));
    }
    EXPECT_EQ(logCount("getUltimaDescarga - No hay descarga registrada del Local 9"), 1);
}

// A ledger error is never a date (the download run skips the store, not fetching 31/12/1899).
TEST_F(Ledger, ErrorsAreReportedNotTurnedIntoDates) {
    ASSERT_TRUE(dbAdmin().EjecutarSentencia(m_cnn, "drop table TablasFTP"));
    dbAdmin().CerrarBD(m_cnn);
    EXPECT_EQ(getUltimaDescarga("2").estado, Estado::Error);
    EXPECT_FALSE(registrarDescarga("2", d4, "1"));
    EXPECT_EQ(logCount("Verificar [sSQL=select count(*) as i_qx from TablasFTP where "
                       "year(fecha)=2026 and month(fecha)=12 and day(fecha)=4 and idLocal = 2].D="),
              1);

    ASSERT_TRUE(QFile::remove(rutaLedger()));
    const UltimaDescarga u = getUltimaDescarga("2");
    EXPECT_EQ(u.estado, Estado::Error);
    EXPECT_FALSE(u.ok());
    EXPECT_FALSE(u.fecha.isValid());
    EXPECT_FALSE(registrarDescarga("2", d4, "1"));
    EXPECT_FALSE(registrarSync("2", d4, "1", 2));
    EXPECT_FALSE(listarPendientes("1").has_value());
    EXPECT_FALSE(QFileInfo::exists(rutaLedger()));  // the program never creates the ledger
    const std::pair<QString, int> lines[] = {
        {"getUltimaDescarga - Error: ", 2},
        {"Error Al Registrar Descarga. MDB Seguridad Local - Verificar [sSQL=].D=", 1},
        {"MainProcesoSinc.registrarSync - Error al actualizar registro de Sincronizacion en MDB < "
         "Seguridad.mdb >. Los detalles se muestran en la siguiente linea.",
         1},
        {"MainProcesoSinc.registrarSync - Error: [sSQL=", 1}};
    for (const auto& [line, times] : lines) EXPECT_EQ(logCount(line), times) << line.toStdString();
    QString error;
    EXPECT_FALSE(crearLedger(path("no/such/folder/Seguridad.mdb"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// Store numbers go into statements: anything but a whole number is refused.
TEST_F(Ledger, StoreNumbersMustBeNumbers) {
    ASSERT_TRUE(registrarDescarga("2", d4, "1"));
    EXPECT_EQ(getUltimaDescarga("2 or 1=1").estado, Estado::Error);
    EXPECT_FALSE(registrarDescarga("1; delete from TablasFTP", d4, "1"));
    EXPECT_FALSE(registrarSync("2", d4, "1 where 1=1 --", 2));
    EXPECT_FALSE(borrarDescarga("x", d4));
    EXPECT_EQ(rows().size(), 1);
}

TEST_F(Ledger, PendingRowsForTheImportRunAndFileSizes) {
    ASSERT_TRUE(registrarDescarga("4", QDate(2026, 12, 3), "1"));
    for (const int day : {4, 2, 1}) ASSERT_TRUE(registrarDescarga("2", QDate(2026, 12, day), "1"));
    ASSERT_TRUE(registrarSync("2", QDate(2026, 12, 1), "1", 2));   // merged
    ASSERT_TRUE(registrarDescarga("2", QDate(2026, 12, 5), "0"));  // absent on the server
    ASSERT_TRUE(registrarDescarga("3", QDate(2026, 12, 3), "1"));  // own store
    const auto p = listarPendientes("3");
    ASSERT_TRUE(p.has_value());
    QStringList got;
    for (const auto& r : *p) got << r.idLocal + u'_' + r.fecha.toString("ddMMyyyy");
    EXPECT_EQ(got, QStringList({"2_02122026", "2_04122026", "4_03122026"}));
    ASSERT_TRUE(borrarDescarga("2", QDate(2026, 12, 4)));
    EXPECT_EQ(listarPendientes("3")->size(), 2);

    EXPECT_EQ(getTamanoArchivo(rutaLedger()), QFileInfo(rutaLedger()).size());
    EXPECT_EQ(getTamanoArchivo(path("none.mdb")), -1);
}

}  // namespace
