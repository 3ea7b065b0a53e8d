// Converting the older program's Jet ledger (each layout, damage, interruption); the report.

#include <QDir>

#include "DbFixture.h"
#include "JetLedger.h"
#include "db/InformeLedger.h"
#include "db/Ledger.h"
#include "db/LedgerMigracion.h"

using namespace lumaro::db;
using lumaro::jet::ColumnType;
using lumaro::testing::escribirJetLedger;
using lumaro::testing::TiposLedger;
using Estado = MigracionLedger::Estado;

namespace {

// One history in each layout: a day twice (the "yes" wins), a day missing, a gap on the 3rd.
const struct {
    const char* nombre;
    TiposLedger tipos;
    QStringList filas;
} kLayouts[] = {
    {"Integer, Date/Time, Yes/No",
     {ColumnType::Integer, ColumnType::DateTime, ColumnType::Boolean, ColumnType::Boolean},
     {"2|2026/12/01|1|1", "2|2026/12/02|1|0", "2|2026/12/02|0|0", "2|2026/12/04|0|0",
      "4|2026/11/30|1|1"}},
    {"Long, dd/mm/yyyy text, Integer -1",
     {ColumnType::Long, ColumnType::Text, ColumnType::Integer, ColumnType::Integer},
     {"2|01/12/2026|-1|-1", "2|2/12/2026 10:15:00|-1|0", "2|02/12/2026|0|0", "2|04/12/2026|0|0",
      "4|30/11/2026|-1|-1"}},
    {"Text, yyyy/mm/dd text, Long",
     {ColumnType::Text, ColumnType::Text, ColumnType::Long, ColumnType::Long},
     {" 2|2026/12/01 00:00:00|1|1", "2|2026-12-02|1|0", "2|2026/12/02|0|0", "2|2026/12/04|0|0",
      "4|2026-11-30T08:00:00|1|1"}},
};

class Migracion : public lumaro::testing::DbFixture {
protected:
    using DbFixture::escribir;
    QString jet() const { return rutaLedger() + ".jet"; }
    void escribir(int layout) {
        ASSERT_TRUE(
            escribirJetLedger(rutaLedger(), kLayouts[layout].tipos, kLayouts[layout].filas));
    }
    // The converted rows as "store|day|downloaded|merged".
    QStringList filas() {
        QString error;
        const auto f = leerFilasSqlite(rutaLedger(), &error);
        EXPECT_TRUE(f.has_value()) << error.toStdString();
        QStringList out;
        for (const FilaLedger& r : f.value_or(QList<FilaLedger>()))
            out << QStringLiteral("%1|%2|%3|%4")
                       .arg(r.idLocal)
                       .arg(r.fecha.toString("yyyy/MM/dd"))
                       .arg(r.descarga)
                       .arg(r.sincroniza);
        out.sort();
        return out;
    }
};

TEST_F(Migracion, EveryColumnLayoutKeepsTheHistory) {
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kLayouts[i].nombre);
        QFile::remove(rutaLedger());
        QFile::remove(jet());
        escribir(i);
        const QByteArray original = contenido(rutaLedger());
        ASSERT_TRUE(prepararLedger());
        EXPECT_EQ(filas(), QStringList({"2|2026/12/01|1|1", "2|2026/12/02|1|0", "2|2026/12/04|0|0",
                                        "4|2026/11/30|1|1"}));
        EXPECT_EQ(contenido(jet()), original);
        // Downloads go on from the day after the last one downloaded.
        EXPECT_EQ(getUltimaDescarga("2").fecha, QDate(2026, 12, 2));
        EXPECT_EQ(getUltimaDescarga("4").fecha, QDate(2026, 11, 30));
        EXPECT_EQ(QDir(m_dir.path()).entryList({"Seguridad.mdb*"}, QDir::Files),
                  QStringList({"Seguridad.mdb", "Seguridad.mdb.jet"}));
    }
    EXPECT_EQ(logCount("convertido del formato Jet del programa anterior: 4 filas (Local 2: 3 "
                       "filas, ultima descarga 02/12/2026; Local 4: 1 filas, ultima descarga "
                       "30/11/2026); el original queda en " +
                       jet()),
              3);
    // Converted once: the SQLite ledger is left alone.
    EXPECT_EQ(migrarLedger(rutaLedger()).estado, Estado::NoEsJet);
    EXPECT_TRUE(m_console.problems().isEmpty());
}

TEST_F(Migracion, InterruptedConversionIsRedoneAndAForeignCopyIsNeverOverwritten) {
    escribir(0);
    const QByteArray original = contenido(rutaLedger());
    // Interrupted after saving the original, a half-written new ledger left behind.
    ASSERT_TRUE(QFile::copy(rutaLedger(), jet()));
    ASSERT_TRUE(escribir(rutaLedger() + ".nuevo", "SQLite format 3"));
    EXPECT_EQ(migrarLedger(rutaLedger()).estado, Estado::Convertido);
    EXPECT_EQ(filas().size(), 4);
    EXPECT_EQ(contenido(jet()), original);
    EXPECT_FALSE(QFile::exists(rutaLedger() + ".nuevo"));

    // A different file under the .jet name is someone else's: refused, nothing touched.
    ASSERT_TRUE(QFile::remove(rutaLedger()));
    escribir(1);
    const QByteArray otro = contenido(rutaLedger());
    const MigracionLedger m = migrarLedger(rutaLedger());
    EXPECT_EQ(m.estado, Estado::Fallo);
    EXPECT_TRUE(m.mensaje.contains("ya existe " + jet() + " y es distinto"))
        << m.mensaje.toStdString();
    EXPECT_EQ(contenido(rutaLedger()), otro);
    EXPECT_EQ(contenido(jet()), original);
}

// A damaged Jet ledger is kept, reported, and fails the ledger calls, so no store is fetched.
TEST_F(Migracion, DamagedLedgerIsKeptAndDownloadsStayOff) {
    escribir(0);
    const QByteArray sano = contenido(rutaLedger());
    QByteArray basura = sano;
    for (qsizetype i = 2 * 4096; i < basura.size(); ++i) basura[i] = char(i * 7);
    for (const QByteArray& danado : {sano.left(3 * 4096), basura}) {
        ASSERT_TRUE(escribir(rutaLedger(), danado));
        m_console.clearProblems();
        EXPECT_FALSE(prepararLedger());
        EXPECT_EQ(contenido(rutaLedger()), danado);
        EXPECT_FALSE(QFile::exists(jet()));
        EXPECT_EQ(getUltimaDescarga("2").estado, UltimaDescarga::Estado::Error);
        ASSERT_EQ(m_console.problems().size(), 1);
        EXPECT_TRUE(m_console.problems()[0].contains("No se convirtio el ledger Jet"));
    }
    EXPECT_EQ(logCount("No se convirtio el ledger Jet " + rutaLedger() + " ("), 2);
}

// The report: per store and day, gaps, the snapshots in the working folders, a filter.
TEST_F(Migracion, ReportShowsEachDayGapsAndFiles) {
    escribir(0);
    ASSERT_TRUE(prepararLedger());
    for (const char* carpeta : {"MDB_descargadas", "Error"})
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(carpeta));
    for (const char* archivo :
         {"MDB_descargadas/2_02122026.mdb", "Error/101500_4_02122026.mdb", "Error/notas.txt"})
        ASSERT_TRUE(escribir(path(archivo), ""));
    QString error;
    auto informe = leerInforme(rutaLedger(), {}, &error);
    ASSERT_TRUE(informe.has_value()) << error.toStdString();
    EXPECT_EQ(
        lineasCsv(*informe),
        QStringList({"local,fecha,estado,carpeta", "2,01/12/2026,\"sincronizado\",",
                     "2,02/12/2026,\"descargado, sin sincronizar\",MDB_descargadas",
                     "2,03/12/2026,\"sin registro\",", "2,04/12/2026,\"buscado y no encontrado\",",
                     "4,30/11/2026,\"sincronizado\",", "4,01/12/2026,\"sin registro\",",
                     "4,02/12/2026,\"sin registro\",Error"}));
    const QStringList texto = lineasTexto(*informe);
    EXPECT_TRUE(
        texto.contains("  Hueco: del 03/12/2026 al 03/12/2026, 1 dias sin registro en el ledger"));
    EXPECT_TRUE(texto.contains(
        "  Resumen Local 4: del 30/11/2026 al 02/12/2026, 1 sincronizados, 0 descargados sin "
        "sincronizar, 0 no encontrados, 2 dias sin registro en 1 huecos; 0 en MDB_descargadas, "
        "1 en Error"))
        << texto.join('\n').toStdString();

    informe = leerInforme(rutaLedger(), {QDate(2026, 12, 2), 2}, &error);
    ASSERT_TRUE(informe.has_value());
    EXPECT_EQ(informe->dias.size(), 3);
    EXPECT_EQ(informe->huecos.size(), 1);
}

}  // namespace
