// The installer's command-line tool, run as a process.

#include <QDir>
#include <QDirIterator>
#include <QProcess>

#include "DbFixture.h"
#include "JetLedger.h"
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
        m_stdout = QString::fromLocal8Bit(p.readAllStandardOutput());
        return p.exitCode();
    }
    // Every file under the folder with its bytes.
    QMap<QString, QByteArray> disk() const {
        QMap<QString, QByteArray> out;
        for (QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile f(it.next());
            out.insert(it.filePath(), f.open(QIODevice::ReadOnly) ? f.readAll() : "?");
        }
        return out;
    }
    QString m_stderr, m_stdout;
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

const lumaro::testing::TiposLedger kTextos = {
    lumaro::jet::ColumnType::Text, lumaro::jet::ColumnType::Text, lumaro::jet::ColumnType::Long,
    lumaro::jet::ColumnType::Long};

TEST_F(Tool, MovesAStoreOverByHandAndReportsIt) {
    const QString ledger = lumaro::db::rutaLedger();
    ASSERT_TRUE(lumaro::testing::escribirJetLedger(ledger, kTextos,
                                                   {"3|01/12/2026|1|1", "3|03/12/2026|1|0"}));
    ASSERT_EQ(run({"ledger-migrar", ledger}), 0) << m_stderr.toStdString();
    EXPECT_TRUE(m_stdout.contains("2 filas (Local 3: 2 filas, ultima descarga 03/12/2026)"));
    ASSERT_EQ(run({"ledger-migrar", ledger}), 0);  // again: already ours, nothing to do
    EXPECT_TRUE(m_stdout.contains("ya es un ledger SQLite"));
    ASSERT_EQ(run({"ledger-informe", ledger, "--csv", "--local", "3"}), 0);
    EXPECT_EQ(m_stdout.split('\n', Qt::SkipEmptyParts),
              QStringList({"local,fecha,estado,carpeta", "3,01/12/2026,\"sincronizado\",",
                           "3,02/12/2026,\"sin registro\",",
                           "3,03/12/2026,\"descargado, sin sincronizar\","}));
    ASSERT_EQ(run({"ledger-informe", ledger}), 0);
    EXPECT_TRUE(m_stdout.contains("  Hueco: del 02/12/2026 al 02/12/2026"))
        << m_stdout.toStdString();
    ASSERT_EQ(run({"ledger-informe", ledger, "--desde", "02/12/2026"}), 0);
    EXPECT_FALSE(m_stdout.contains("01/12/2026"));
}

// Malformed input: a clear message, a non-zero exit, nothing changed on disk.
TEST_F(Tool, MalformedInputIsRefusedAndChangesNothing) {
    const char* const migrar = "ledger-migrar";
    const char* const informe = "ledger-informe";
    const char* const sana = "sqlite:2, '2026/12/01 00:00:00', 1, 0";
    const struct {
        const char* comando;
        const char* ledger;     // "" none, "texto", "jet:<row>" or "sqlite:<values>"
        const char* mensaje;    // in the message on stderr
        QStringList args = {};  // after the command and the ledger's path
    } casos[] = {
        {migrar, "", "no existe el archivo"},
        {migrar, "texto", "no es un ledger (ni Jet ni SQLite)"},
        {migrar, "jet:2|31/02/2026|1|0", "TablasFTP, fila 1: fecha imposible: '31/02/2026'"},
        {migrar, "jet:2|06/12/2999|1|0", "fecha imposible"},
        {migrar, "jet:x7|01/12/2026|1|0", "IdLocal no numerico: 'x7'"},
        {informe, "", "no existe el archivo"},
        {informe, "texto", "no es un ledger"},
        {informe, "jet:2|1/13/2026|1|0", "fecha imposible: '1/13/2026'"},
        {informe, "sqlite:2, '2026/02/31 00:00:00', 1, 0", "fecha imposible: '2026/02/31"},
        {informe, "sqlite:'abc', '2026/12/01 00:00:00', 1, 0", "IdLocal no numerico: 'abc'"},
        {informe, sana, "IDLOCAL no es un numero: x", {"--local", "x"}},
        {informe, sana, "fecha no valida (DD/MM/AAAA): 31/02/2026", {"--desde", "31/02/2026"}},
    };
    int n = 0;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.mensaje);
        const QString carpeta = path(QString::number(++n));
        ASSERT_TRUE(QDir().mkpath(carpeta));
        const QString ledger = carpeta + "/Seguridad.mdb";
        const QString tipo = QString::fromLatin1(c.ledger).section(':', 0, 0);
        const QString fila = QString::fromLatin1(c.ledger).section(':', 1);
        if (tipo == "texto") {
            ASSERT_TRUE(escribir(ledger, "idLocal;fecha\r\n"));
        } else if (tipo == "jet") {
            ASSERT_TRUE(lumaro::testing::escribirJetLedger(ledger, kTextos, {fila}));
        } else if (tipo == "sqlite") {
            ASSERT_TRUE(lumaro::db::crearLedger(ledger));
            ASSERT_EQ(
                lumaro::testing::filasLedger(ledger, "insert into TablasFTP values (" + fila + ")"),
                QStringList());
        }
        const auto antes = disk();
        EXPECT_NE(run(QStringList{c.comando, ledger} + c.args), 0);
        EXPECT_TRUE(m_stderr.contains(c.mensaje)) << m_stderr.toStdString();
        EXPECT_EQ(disk(), antes);
    }
}

}  // namespace
