// Times the copy of changed rows ("Generar MDB Local" without the upload) against the
// sqlite3 command-line tool exporting the same ten selections to CSV files.
//
// An embedded production database is filled with ROWS changed Acumulacion_Punto rows, ROWS/10
// clients with a card each and ROWS/100 rows of every other table, all unsent. The copy runs
// in a child process of its own (this program with --copiar), so that its peak resident memory
// is its own; the baseline runs on a copy of the same databases taken before the copy marks
// them. Baseline and copy run ROUNDS times in turn, each copy on production restored from that
// copy, and the ratio is taken of the medians: a single run on a shared machine can be off by
// half.
//
// usage: copy_bench [ROWS] [FOLDER] [ROUNDS]      ROWS 1000000 and ROUNDS 3 by default
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "outputs/ExportacionDBF.h"
#include "snapshot/CopiarTablas.h"
#include "snapshot/CrearBDTemp.h"
#include "snapshot/PlanCopia.h"

using namespace lumaro;

namespace {

// The child: opens the store's connections, creates today's snapshot and copies into it.
int copiar(const QString& folder) {
    config::setProgramFolder(folder);
    config::setExecutableBaseName(QStringLiteral("lumaro-sync"));
    db::setLocalPropio(QStringLiteral("3"), QString());
    if (!db::AbrirConexion(3) || !db::AbrirConexion(1)) return 1;
    QElapsedTimer t;
    t.start();
    const auto hoy = snapshot::crearBDTemp();
    if (hoy.estado != snapshot::SnapshotDelDia::Estado::Creada) return 1;
    outputs::ExportacionDBF dbf;
    const bool ok = snapshot::CopiarTablas(hoy.nombre, {&dbf}).has_value();
    const double segundos = t.elapsed() / 1000.0;
    std::printf("copy: %s in %.2f s, peak resident %.1f MiB\n", ok ? "committed" : "FAILED",
                segundos, bench::peakResidentKiB() / 1024.0);
    return ok ? 0 : 1;
}

// The sqlite3 tool exporting the ten selections of the copy, each to a CSV file.
double baseline(const QString& folder, const QDate& dia) {
    QElapsedTimer t;
    t.start();
    int n = 0;
    for (const snapshot::Table& table : snapshot::tables()) {
        const QString db = table.database == snapshot::Database::Cliente
                               ? QStringLiteral("base_cliente.db")
                               : QStringLiteral("base_logistica.db");
        QProcess p;
        p.setStandardOutputFile(QDir(folder).filePath(QStringLiteral("base_%1.csv").arg(n++)));
        // The tool has no year()/month()/day(): the same day test on the stored date text.
        QString sql = snapshot::sentenciaSeleccion(table, dia);
        if (table.hasChangeDate()) {
            const QString col = QString::fromUtf8(table.changeDate);
            sql.replace(snapshot::condicionDelDia(col, dia),
                        QStringLiteral("substr(%1,1,10)='%2'")
                            .arg(col, dia.toString(QStringLiteral("yyyy/MM/dd"))));
        }
        p.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-csv"), QDir(folder).filePath(db), sql});
        p.waitForFinished(-1);
        if (p.exitCode() != 0) std::fprintf(stderr, "sqlite3 failed on %s\n", qPrintable(sql));
    }
    return t.elapsed() / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    lumaro::config::fijarZonaHoraria();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QStringLiteral("--copiar")) return copiar(args[2]);

    const long rows = args.size() > 1 ? args[1].toLong() : 1000000;
    const QString folder = args.size() > 2 ? args[2] : QDir::temp().filePath("copy_bench");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/salida"));
    const QDate dia = QDate::currentDate();

    std::printf(
        "filling %ld Acumulacion_Punto rows, %ld clients and cards, %ld of each other table\n",
        rows, rows / 10, rows / 100);
    if (!bench::llenarProduccion(folder, rows, dia)) return 1;
    for (const char* db : {"cliente.db", "logistica.db"})
        QFile::copy(QDir(folder).filePath(QString::fromLatin1(db)),
                    QDir(folder).filePath(QStringLiteral("base_") + QString::fromLatin1(db)));

    const int rounds = args.size() > 3 ? std::max(1, args[3].toInt()) : 3;
    std::vector<double> bases, copies;
    for (int r = 0; r < rounds; ++r) {
        for (const char* db : {"cliente.db", "logistica.db"}) {
            const QString produccion = QDir(folder).filePath(QString::fromLatin1(db));
            QFile::remove(produccion);
            QFile::copy(QDir(folder).filePath(QStringLiteral("base_") + QString::fromLatin1(db)),
                        produccion);
        }
        QDir salida(folder + QStringLiteral("/salida"));
        for (const QString& f : salida.entryList(QDir::Files)) salida.remove(f);
        bases.push_back(baseline(folder, dia));
        std::printf("round %d: baseline: sqlite3 -csv of the ten selections in %.2f s\n", r + 1,
                    bases.back());
        QElapsedTimer t;
        t.start();
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), {QStringLiteral("--copiar"), folder});
        child.waitForFinished(-1);
        if (child.exitCode() != 0) return child.exitCode();
        copies.push_back(t.elapsed() / 1000.0);
        std::printf("round %d: copy process: %.2f s wall; copy / baseline = %.2f\n", r + 1,
                    copies.back(), copies.back() / bases.back());
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("median of %d rounds: baseline %.2f s, copy %.2f s; copy / baseline = %.2f\n",
                rounds, median(bases), median(copies), median(copies) / median(bases));
    return 0;
}
