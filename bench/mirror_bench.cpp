// The MySQL mirror's speed: the start-up fill of 1,000,000 Acumulacion_Punto rows from an
// embedded (SQLite) client database into a MariaDB server on loopback, and the feeds of the copy
// and of the merges (half the rows new, half already in the mirror). Prints rows per second;
// nothing here is a test.
//
//   mirror_bench [fill rows] [feed rows]     (defaults 1000000 and 100000)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "MariaDbServer.h"
#include "config/Clock.h"
#include "config/ProfileFile.h"
#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "outputs/EspejoMySql.h"
#include "outputs/ModCargaMySQL.h"
#include "run/Console.h"
#include "run/HeadlessConsole.h"
#include "tools/EsquemaEspejo.h"

using namespace lumaro;

namespace {

bool fail(const QString& what) {
    std::fprintf(stderr, "mirror_bench: %s\n", qPrintable(what));
    return false;
}

bool setting(const char* section, const char* key, const QString& value) {
    QString error;
    return config::ProfileFile::write(config::settingsPath(), section, key, value, &error) ||
           fail(error);
}

// The principal store's client database with `rows` generated point accumulations.
bool clientDatabase(const QString& path, int rows) {
    QFile(path).open(QIODevice::WriteOnly);
    db::Connection cnn;
    if (!db::dbAdmin().AbrirBD(cnn, db::textoConexionSqlServer("", "", path, "sqlite")))
        return fail("cannot open " + path);
    QStringList sql{"create table Local (IdLocal int primary key, Nombre nvarchar(50), Activo int)",
                    "insert into Local values (1, 'Principal', 1)"};
    for (const snapshot::Table& t : snapshot::tables())
        if (t.database == snapshot::Database::Cliente) sql << snapshot::sqliteCreateStatement(t);
    sql << QStringLiteral(
               "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
               "insert into Acumulacion_Punto select i / 2 + 1, i, printf('%08d', i % 100000), "
               "100 + i % 500, 10 + i % 50, 'cajero1', "
               "case when i % 7 = 0 then '2026/12/05 10:00:00' end, "
               "case when i % 7 = 0 then 'o''brien' end, "
               "printf('2026/%02d/%02d 12:34:56', i % 12 + 1, i % 28 + 1), 0, 'BOLETA', "
               "'B00' || (i % 3), i, 1, 0 from n")
               .arg(rows);
    QString error;
    for (const QString& s : sql)
        if (!db::dbAdmin().EjecutarSentencia(cnn, s, 1, &error)) return fail(error);
    db::dbAdmin().CerrarBD(cnn);
    return true;
}

qlonglong count(const QString& table) {
    db::Recordset rs;
    rs.open(db::cnnMySql(), "select count(*) from " + table);
    return rs.value(0).toLongLong();
}

double perSecond(qint64 rows, qint64 ms) { return ms > 0 ? rows * 1000.0 / ms : 0.0; }

int medir(int fillRows, int feedRows) {
    QTemporaryDir dir;
    run::HeadlessConsole console;
    run::setConsole(&console);
    config::setProgramFolder(dir.path());
    config::setExecutableBaseName("lumaro-sync");

    testing::MariaDbServer server;
    QString error;
    if (!server.start(&error)) return fail(error), 1;
    // A production-sized buffer pool; the test fixture's 16 MB would make this a disk benchmark.
    if (!server.runAsRoot("set global innodb_buffer_pool_size = 512 * 1024 * 1024; "
                          "create database espejo; "
                          "create user 'lumaro'@'127.0.0.1' identified by 'clave'; "
                          "grant all on espejo.* to 'lumaro'@'127.0.0.1'; " +
                              tools::esquemaEspejo("espejo"),
                          &error))
        return fail(error), 1;
    const QString cliente = dir.filePath("cliente.db");
    std::printf("generating %d Acumulacion_Punto rows...\n", fillRows);
    if (!clientDatabase(cliente, fillRows)) return 1;
    if (!setting("Conexion_Cliente", "ServidorSQL", "sqlite") ||
        !setting("Conexion_Cliente", "BaseDatosSQL", cliente) ||
        !setting("Mysql", "RutaBDClienteMySQL",
                 QStringLiteral("127.0.0.1:%1").arg(server.port())) ||
        !setting("Mysql", "DataBaseMySQL", "espejo") ||
        !setting("Mysql", "USRNameMySQL", "lumaro") || !setting("Mysql", "PWDMySQL", "clave"))
        return 1;

    QElapsedTimer clock;
    clock.start();
    outputs::ProcesarCargaInicial();
    const qint64 fillMs = clock.elapsed();
    if (!db::AbrirConexion(1)) return fail("cannot reopen the connections"), 1;
    const qlonglong loaded = count("Acumulacion_Punto");
    QFile log(config::logPath(config::Clock::today()));
    int errors = 0;
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.contains(" - Error: ") && ++errors <= 3)
                std::printf("log: %s\n", line.left(300).constData());
    std::printf("error lines in the run log: %d\n", errors);
    std::printf("initial fill: %lld rows in %.2f s = %.0f rows/s (target >= 50000)\n", loaded,
                fillMs / 1000.0, perSecond(loaded, fillMs));

    // An Acumulacion_Punto row; the code is both keys.
    const snapshot::Table& t = *snapshot::findTable(u"Acumulacion_Punto");
    const auto fila = [](qlonglong code, int i) {
        return snapshot::Fila{code / 2 + 1,
                              code,
                              QStringLiteral("00012345"),
                              qlonglong{150},
                              qlonglong{20},
                              QStringLiteral("o'brien"),
                              QVariant(),
                              QVariant(),
                              QDateTime(QDate(2026, 12, 5), QTime(12, 0, 0)),
                              qlonglong{0},
                              QStringLiteral("BOLETA"),
                              QStringLiteral("B001"),
                              qlonglong{i},
                              qlonglong{1},
                              false};
    };
    const auto informe = [&](const char* feed, qint64 ms) {
        std::printf(
            "%s feed: %d rows in %.2f s = %.0f rows/s (target >= 50000; mirror now %lld "
            "rows)\n",
            feed, feedRows, ms / 1000.0, perSecond(feedRows, ms), count("Acumulacion_Punto"));
    };

    // The copy's feed: even rows update a loaded row, odd rows are new.
    outputs::EspejoMySql espejo;
    espejo.preparar("1_05122026.mdb");
    clock.restart();
    for (int i = 0; i < feedRows; ++i)
        espejo.fila(t, fila(i % 2 == 0 ? i + 2 : qlonglong{fillRows} + i, i));
    const qint64 filasMs = clock.elapsed();
    espejo.finTabla(t);
    espejo.fin(true);
    informe("copy", clock.elapsed());
    std::printf("  of which the table's marking statement and commit: %.2f s\n",
                (clock.elapsed() - filasMs) / 1000.0);

    // The merges' feed, committed before each of the merge's own commits (every 5,000 rows):
    // even rows overwrite a loaded row, odd rows are inserted.
    clock.restart();
    if (!espejo.activo()) return fail("the merges' feed is not active"), 1;
    for (int i = 0; i < feedRows; ++i) {
        const bool nueva = i % 2 != 0;
        espejo.filaFusionada(t, fila(nueva ? qlonglong{fillRows} + feedRows + i : i + 3, i), nueva);
        if ((i + 1) % 5000 == 0) espejo.confirmarLote();
    }
    espejo.confirmarLote();
    informe("merges'", clock.elapsed());
    db::cerrarConexiones();
    run::setConsole(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    lumaro::config::fijarZonaHoraria();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    return medir(args.size() > 1 ? args[1].toInt() : 1000000,
                 args.size() > 2 ? args[2].toInt() : 100000);
}
