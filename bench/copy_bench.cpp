// Times the copy of changed rows ("Generar MDB Local" without the upload) against two runs of
// the sqlite3 command-line tool: exporting the same ten selections to CSV files; and exporting
// them and marking their rows sent with the copy's own statements, in one transaction per
// database, as the copy does.
//
// An embedded production database is filled with ROWS changed Acumulacion_Punto rows, ROWS/10
// clients with a card each and ROWS/100 rows of every other table, all unsent. The copy runs
// in a child process of its own (this program with --copiar), so that its peak resident memory
// is its own; the baselines run on copies of the same databases taken before the copy marks
// them. Baseline and copy run ROUNDS times in turn, each copy on production restored from that
// copy, and the ratio is taken of the medians: a single run on a shared machine can be off by
// half.
//
// usage: copy_bench [ROWS] [FOLDER] [ROUNDS]      ROWS 1000000 and ROUNDS 3 by default
#include <sys/resource.h>
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
#include "snapshot/MarcasCopia.h"
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

// CPU seconds (user and system) of the finished child processes so far: on a shared machine
// the time each run waited for a core is in its wall time, not here.
double cpuHijos() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* kBases[] = {"cliente.db", "logistica.db"};

QString archivoBase(const snapshot::Table& table) {
    return QString::fromLatin1(kBases[table.database == snapshot::Database::Cliente ? 0 : 1]);
}

// A text of the copy in the tool's form: the tool has no year()/month()/day(), so the same day
// test on the stored date text.
QString paraLaHerramienta(const snapshot::Table& table, QString sql, const QDate& dia) {
    if (table.hasChangeDate()) {
        const QString col = QString::fromUtf8(table.changeDate);
        sql.replace(snapshot::condicionDelDia(col, dia),
                    QStringLiteral("substr(%1,1,10)='%2'")
                        .arg(col, dia.toString(QStringLiteral("yyyy/MM/dd"))));
    }
    return sql;
}

bool herramienta(const QStringList& args, const QByteArray& entrada = QByteArray()) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), args);
    p.write(entrada);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    if (p.exitCode() == 0) return true;
    std::fprintf(stderr, "sqlite3 failed: %s\n", p.readAllStandardError().constData());
    return false;
}

// The sqlite3 tool exporting the ten selections of the copy, each to a CSV file, on the
// databases prefixed "base_"; they are left unchanged.
double baseline(const QString& folder, const QDate& dia) {
    QElapsedTimer t;
    t.start();
    int n = 0;
    for (const snapshot::Table& table : snapshot::tables())
        herramienta({QStringLiteral("-csv"), QStringLiteral("-cmd"),
                     QStringLiteral(".once ") +
                         QDir(folder).filePath(QStringLiteral("base_%1.csv").arg(n++)),
                     QDir(folder).filePath(QStringLiteral("base_") + archivoBase(table)),
                     paraLaHerramienta(table, snapshot::sentenciaSeleccion(table, dia), dia)});
    return t.elapsed() / 1000.0;
}

// The same tool, one run per database in one transaction: each selection exported to a CSV
// file and its rows marked sent by the statement the copy runs, on the databases prefixed
// "marca_" (copies of the "base_" ones made beforehand).
double baselineConMarcas(const QString& folder, const QDate& dia) {
    QElapsedTimer t;
    t.start();
    for (const char* base : kBases) {
        QByteArray guion = "BEGIN;\n";
        int n = 0;
        for (const snapshot::Table& table : snapshot::tables()) {
            const QString csv = QDir(folder).filePath(QStringLiteral("marca_%1.csv").arg(n++));
            if (archivoBase(table) != QString::fromLatin1(base)) continue;
            const QString seleccion = snapshot::sentenciaSeleccion(table, dia);
            const QString marcas = snapshot::sentenciaMarcasEnConjunto(
                table, snapshot::condicionSeleccion(table, dia));
            guion += (QStringLiteral(".once ") + csv + u'\n' +
                      paraLaHerramienta(table, seleccion, dia) + QStringLiteral(";\n") +
                      paraLaHerramienta(table, marcas, dia) + QStringLiteral(";\n"))
                         .toUtf8();
        }
        guion += "COMMIT;\n";
        herramienta({QStringLiteral("-csv"), QStringLiteral("-bail"),
                     QDir(folder).filePath(QStringLiteral("marca_") + QString::fromLatin1(base))},
                    guion);
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
    for (const char* db : kBases)
        QFile::copy(QDir(folder).filePath(QString::fromLatin1(db)),
                    QDir(folder).filePath(QStringLiteral("base_") + QString::fromLatin1(db)));

    const int rounds = args.size() > 3 ? std::max(1, args[3].toInt()) : 3;
    // The unsent databases again under the prefix ("" for production itself).
    const auto restaurar = [&](const QString& prefijo) {
        for (const char* db : kBases) {
            const QString destino = QDir(folder).filePath(prefijo + QString::fromLatin1(db));
            QFile::remove(destino);
            QFile::copy(QDir(folder).filePath(QStringLiteral("base_") + QString::fromLatin1(db)),
                        destino);
        }
    };
    std::vector<double> bases, marcadas, copies, cpuMarcadas, cpuCopias;
    for (int r = 0; r < rounds; ++r) {
        restaurar(QString());
        restaurar(QStringLiteral("marca_"));
        QDir salida(folder + QStringLiteral("/salida"));
        for (const QString& f : salida.entryList(QDir::Files)) salida.remove(f);
        bases.push_back(baseline(folder, dia));
        std::printf("round %d: baseline: sqlite3 -csv of the ten selections in %.2f s\n", r + 1,
                    bases.back());
        double cpu = cpuHijos();
        marcadas.push_back(baselineConMarcas(folder, dia));
        cpuMarcadas.push_back(cpuHijos() - cpu);
        std::printf(
            "round %d: marking baseline: sqlite3 -csv of the ten selections and their "
            "marking, one transaction per database, in %.2f s (%.2f s of CPU)\n",
            r + 1, marcadas.back(), cpuMarcadas.back());
        cpu = cpuHijos();
        QElapsedTimer t;
        t.start();
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), {QStringLiteral("--copiar"), folder});
        child.waitForFinished(-1);
        if (child.exitCode() != 0) return child.exitCode();
        copies.push_back(t.elapsed() / 1000.0);
        cpuCopias.push_back(cpuHijos() - cpu);
        std::printf(
            "round %d: copy process: %.2f s wall (%.2f s of CPU); copy / baseline = "
            "%.2f, copy / marking baseline = %.2f\n",
            r + 1, copies.back(), cpuCopias.back(), copies.back() / bases.back(),
            copies.back() / marcadas.back());
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf(
        "median of %d rounds: baseline %.2f s, marking baseline %.2f s, copy %.2f s; "
        "copy / baseline = %.2f, copy / marking baseline = %.2f\n",
        rounds, median(bases), median(marcadas), median(copies), median(copies) / median(bases),
        median(copies) / median(marcadas));
    std::printf(
        "CPU seconds, median: marking baseline %.2f, copy %.2f; copy / marking "
        "baseline = %.2f\n",
        median(cpuMarcadas), median(cpuCopias), median(cpuCopias) / median(cpuMarcadas));
    return 0;
}
