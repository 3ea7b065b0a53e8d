// The installer's command-line tool, run as a process: the ledger it creates and seeds is the
// one the download run reads (tests/e2e/two_stores.sh sets up its stores with its demo
// databases).

#include <QProcess>

#include "DbFixture.h"
#include "db/Ledger.h"

namespace {

class Tool : public lumaro::testing::DbFixture {
protected:
    int run(const QStringList& args) {
        QProcess p;
        p.setProgram(QStringLiteral(LUMARO_BINARY_DIR "/src/db/tool/lumaro-db"));
        p.setArguments(args);
        p.setWorkingDirectory(m_dir.path());
        p.start();
        EXPECT_TRUE(p.waitForFinished(60000));
        m_stderr = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitCode();
    }
    QString m_stderr;
};

TEST_F(Tool, SeedsTheLedgerSoDownloadsStartOnTheGivenDay) {
    const QString ledger = lumaro::db::rutaLedger();
    ASSERT_EQ(run({"ledger-crear", ledger}), 0) << m_stderr.toStdString();
    ASSERT_EQ(run({"ledger-iniciar", ledger, "2", "01/12/2026"}), 0) << m_stderr.toStdString();
    ASSERT_EQ(run({"ledger-crear", ledger}), 0);  // again: keeps the rows
    const auto u = lumaro::db::getUltimaDescarga("2");
    EXPECT_EQ(u.estado, lumaro::db::UltimaDescarga::Estado::Registrada);
    EXPECT_EQ(u.fecha, QDate(2026, 11, 30));
    // The seeded day is not a snapshot to merge.
    ASSERT_TRUE(lumaro::db::listarPendientes("1").has_value());
    EXPECT_TRUE(lumaro::db::listarPendientes("1")->isEmpty());

    EXPECT_NE(run({"ledger-iniciar", ledger, "2 or 1=1", "01/12/2026"}), 0);
    EXPECT_NE(run({"ledger-iniciar", ledger, "2", "31/02/2026"}), 0);
    EXPECT_NE(run({"ledger-iniciar", path("otro.db"), "2", "01/12/2026"}), 0);
    EXPECT_NE(run({"nada"}), 0);
}

}  // namespace
