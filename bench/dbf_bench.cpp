// DBF export throughput: writes 1,000,000 Acumulacion_Punto rows ("A" file) through the copy's
// side output, as the copy hands them over, and prints records per second. Not a test.
//
//   dbf_bench [rows] [folder]   (with a folder, the file is left in a new folder under it)

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "config/ProfileFile.h"
#include "config/Settings.h"
#include "outputs/ExportacionDBF.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int filas = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + "/dbfbench-XXXXXX" : QString());
    dir.setAutoRemove(argc <= 2);  // a folder given: the file stays there for a look
    using namespace lumaro;
    config::setProgramFolder(dir.path());
    config::setExecutableBaseName("lumaro-sync");
    QString error;
    if (!config::ProfileFile::write(config::settingsPath(), "Inicio", "RtDbf", dir.path(), &error))
        return 1;

    const snapshot::Table& tabla = *snapshot::findTable(u"Acumulacion_Punto");
    snapshot::Fila f(tabla.columns.size());
    const QDateTime fecha(QDate(2026, 12, 5), QTime(10, 30, 0));
    f[2] = QStringLiteral("00012345");
    f[5] = QStringLiteral("CAJERO01");
    f[6] = fecha;
    f[7] = QStringLiteral("SUPERV");
    f[8] = fecha;
    f[10] = QStringLiteral("BOLETA");
    f[11] = QStringLiteral("B001");
    f[13] = qlonglong{3};
    f[14] = false;

    outputs::ExportacionDBF salida;
    if (!salida.preparar("3_05122026.mdb")) return 1;
    QElapsedTimer reloj;
    reloj.start();
    for (int i = 0; i < filas; ++i) {
        f[0] = qlonglong{i % 50000};
        f[1] = qlonglong{i};
        f[3] = qlonglong{i % 1000};
        f[4] = qlonglong{i % 97};
        f[12] = qlonglong{100000 + i};
        salida.fila(tabla, f);
    }
    salida.finTabla(tabla);
    salida.fin(true);
    const double s = static_cast<double>(reloj.nsecsElapsed()) / 1e9;
    const QString archivo = salida.archivosCreados().value(0);
    std::printf("dbf_bench: %d \"A\" records in %.3f s = %.0f records/s (%lld bytes)\n", filas, s,
                filas / s, static_cast<long long>(QFileInfo(archivo).size()));
    return 0;
}
