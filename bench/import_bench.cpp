// Merges one snapshot of 100,000 Acumulacion_Punto rows (half new to production, half already
// there with older dates) and 20,000 clients with their cards into an embedded production
// database, and times it against the sqlite3 command-line tool running the same inserts and
// updates from a file inside one transaction. The tool runs only the writes: the import run
// also looks every row up, marks it in the snapshot and logs the updates, and commits in
// batches.
//
// usage: import_bench [SCALE]     SCALE 1 = full size (default), 0.1 = a quick run
#include <sys/resource.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/clsDBAdmin.h"
#include "importer/ReglasFusion.h"
#include "importer/SyncLocales.h"
#include "jet/Writer.h"
#include "ledger/Ledger.h"
#include "run/HeadlessConsole.h"

using namespace lumaro;

namespace {

// CPU seconds (user + system) of this process, or of its finished children.
double cpu(int quien) {
    rusage u{};
    getrusage(quien, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const QDate kDia(2026, 12, 1);

jet::DateTime jetFecha(const QDateTime& d) {
    return jet::DateTime::fromParts(d.date().year(), d.date().month(), d.date().day(),
                                    d.time().hour(), d.time().minute(), d.time().second());
}

// One row as the snapshot holds it and as the merges read it.
struct Generada {
    std::vector<jet::Value> jet;
    snapshot::Fila fila;
};

Generada generar(const snapshot::Table& t, int i) {
    Generada g;
    for (const snapshot::Column& c : t.columns) {
        QVariant v;
        const QString n = c.qName();
        if (n == "IdLocal")
            v = qlonglong{2};
        else if (n == "bFlagSincro")
            v = false;
        else if (c.type == snapshot::ColumnType::Integer)
            v = qlonglong{i};
        else if (c.type == snapshot::ColumnType::DateTime)
            v = QDateTime(kDia, QTime(12, i % 60, 0));
        else if (n == "nTarjNumb")
            v = QString::number(10000000 + i).right(8);
        else if (n == "dExtoDate" || n == "sUseEDesc")
            v = QVariant();
        else
            v = QStringLiteral("Texto O'Neil %1").arg(i).left(c.size);
        g.fila.push_back(v);
        if (v.isNull())
            g.jet.emplace_back();
        else if (c.type == snapshot::ColumnType::Integer)
            g.jet.emplace_back(std::in_place_type<int64_t>, v.toLongLong());
        else if (c.type == snapshot::ColumnType::Flag)
            g.jet.emplace_back(std::in_place_type<bool>, false);
        else if (c.type == snapshot::ColumnType::DateTime)
            g.jet.emplace_back(std::in_place_type<jet::DateTime>, jetFecha(v.toDateTime()));
        else
            g.jet.emplace_back(std::in_place_type<std::string>, v.toString().toStdString());
    }
    return g;
}

bool crearProduccion(const QString& ruta, const QStringList& previas) {
    QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "bench");
    c.setDatabaseName(ruta);
    bool ok = c.open();
    QSqlQuery q(c);
    ok = ok && q.exec("create table Local (IdLocal int primary key, sNombre text, Activo int)");
    for (const auto& t : snapshot::tables()) ok = ok && q.exec(snapshot::sqliteCreateStatement(t));
    ok = ok && c.transaction();
    for (const QString& s : previas) ok = ok && q.exec(s);
    ok = ok && c.commit();
    c.close();
    c = QSqlDatabase();
    QSqlDatabase::removeDatabase("bench");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    lumaro::config::fijarZonaHoraria();
    const double escala = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int acumulaciones = static_cast<int>(100000 * escala);
    const int clientes = static_cast<int>(20000 * escala);
    QTemporaryDir dir;
    config::setProgramFolder(dir.path());
    run::HeadlessConsole consola;
    run::setConsole(&consola);
    for (const char* d : {"MDB_descargadas", "MDB_Syncronizadas", "Error"})
        QDir(dir.path()).mkpath(d);

    // The snapshot, the production rows it meets, and the statements the merge will send.
    const QString nombre = snapshot::nombreSnapshot("2", kDia);
    auto w =
        jet::Writer::create(QDir(dir.path()).filePath("MDB_descargadas/" + nombre).toStdString());
    QStringList previas, sentencias;
    const auto& acum = importer::reglaFusion("syncTablaAcumulPunto");
    for (const auto& t : snapshot::tables()) {
        auto h = w.value()->createTable(snapshot::jetTableDef(t));
        const QString nombreTabla = t.qName();
        const int filas = nombreTabla == "Acumulacion_Punto"                     ? acumulaciones
                          : nombreTabla == "Cliente" || nombreTabla == "Tarjeta" ? clientes
                                                                                 : 0;
        const char* fusion = nombreTabla == "Cliente" ? "syncTablaCliente" : "syncTablaTarjeta";
        for (int i = 1; i <= filas; ++i) {
            const Generada g = generar(t, i);
            w.value()->insert(h.value(), g.jet);
            const bool existente = nombreTabla == "Acumulacion_Punto" && i % 2 == 0;
            const importer::ReglaFusion& r =
                nombreTabla == "Acumulacion_Punto" ? acum : importer::reglaFusion(fusion);
            if (existente) {
                snapshot::Fila vieja = g.fila;
                vieja[static_cast<size_t>(acum.fechaCambio)] =
                    QDateTime(kDia.addDays(-1), QTime(9, 0));
                previas << *importer::armar(r, r.insercion, vieja, nullptr);
            }
            sentencias << *importer::armar(r, existente ? r.actualizacion : r.insercion, g.fila,
                                           nullptr) +
                              ';';
        }
    }
    if (!w.value()->commit().isOk()) return 1;
    const QString cliente = QDir(dir.path()).filePath("cliente.db");
    const QString logistica = QDir(dir.path()).filePath("logistica.db");
    const QString copia = QDir(dir.path()).filePath("baseline.db");
    if (!crearProduccion(cliente, previas) || !crearProduccion(logistica, {}) ||
        !QFile::copy(cliente, copia))
        return 1;
    ledger::crearLedger(ledger::rutaLedger());
    ledger::registrarDescarga("2", kDia, "1");
    db::setLocalPropio("3", QString());

    // Baseline: the sqlite3 tool runs the same statements in one transaction.
    const QString archivo = QDir(dir.path()).filePath("sentencias.sql");
    QFile f(archivo);
    f.open(QIODevice::WriteOnly);
    f.write(("BEGIN;\n" + sentencias.join('\n') + "\nCOMMIT;\n").toUtf8());
    f.close();
    QElapsedTimer reloj;
    QProcess sqlite;
    sqlite.setStandardInputFile(archivo);
    reloj.start();
    sqlite.start("sqlite3", {"-bail", copia});
    sqlite.waitForFinished(-1);
    const double base = reloj.elapsed() / 1000.0;
    const double baseCpu = cpu(RUSAGE_CHILDREN);
    if (sqlite.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3: %s\n", sqlite.readAllStandardError().constData());
        return 1;
    }

    // The import run, from the ledger to the filed snapshot.
    for (auto [cnn, ruta] :
         {std::pair{&db::cnnCliente(), cliente}, std::pair{&db::cnnLogistica(), logistica}})
        if (!db::dbAdmin().AbrirBD(*cnn, db::textoConexionSqlServer("", "", ruta, "sqlite")))
            return 1;
    reloj.restart();
    const double antes = cpu(RUSAGE_SELF);
    const bool ok = importer::SyncLocales().completed;
    const double importacion = reloj.elapsed() / 1000.0;
    const double importacionCpu = cpu(RUSAGE_SELF) - antes;
    db::cerrarConexiones();

    std::printf("statements: %lld (%d point accumulations, half updates; %d clients, %d cards)\n",
                static_cast<long long>(sentencias.size()), acumulaciones, clientes, clientes);
    std::printf("sqlite3 tool, one transaction: %.2f s wall, %.2f s CPU\n", base, baseCpu);
    std::printf("import run (SyncLocales):      %.2f s wall, %.2f s CPU  %s\n", importacion,
                importacionCpu, ok ? "ok" : "FAILED");
    std::printf("ratio: %.2fx wall, %.2fx CPU (target: within 2x)\n", importacion / base,
                importacionCpu / baseCpu);
    return ok ? 0 : 1;
}
