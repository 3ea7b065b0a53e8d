// The chain check on a simulated chain: N stores, each with generated databases and D days of
// F rows of activity, one snapshot of its own rows, every other store holding them as a merge
// leaves them. Prints the time of the check and the rows it compared.
//
//   verificar_bench [TIENDAS] [FILAS_POR_DIA] [DIAS]     (defaults 20 2000 2)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "TiendasDePrueba.h"
#include "cadena/Verificar.h"
#include "config/Settings.h"
#include "tools/ActividadDemo.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const int tiendas = a.size() > 1 ? a[1].toInt() : 20;
    const int filas = a.size() > 2 ? a[2].toInt() : 2000;
    const int dias = a.size() > 3 ? a[3].toInt() : 2;
    QTemporaryDir dir;
    lumaro::config::setProgramFolder(dir.path());
    lumaro::testing::TiendasDePrueba cadena(dir.path());
    QElapsedTimer reloj;
    reloj.start();
    lumaro::cadena::Opciones o;
    for (int id = 1; id <= tiendas; ++id) {
        QString error;
        if (!cadena.crear(id, 50, tiendas, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        for (int d = 0; d < dias; ++d) {
            const lumaro::tools::ActividadOptions act{
                cadena.base(id, lumaro::snapshot::Database::Cliente),
                cadena.base(id, lumaro::snapshot::Database::Logistica),
                id,
                QDate(2026, 12, 2).addDays(d),
                filas,
                static_cast<unsigned>(id * 100 + d)};
            if (!lumaro::tools::generarActividad(act, &error)) return 1;
        }
        cadena.enviar(id, QStringLiteral("090000"), cadena.propias(id));
        o.carpetas << cadena.carpeta(id);
    }
    for (int id = 1; id <= tiendas; ++id)
        for (int otro = 1; otro <= tiendas; ++otro)
            if (otro != id) cadena.fusionar(id, otro);
    std::printf("cadena de %d tiendas, %d filas por dia, %d dias: preparada en %.1f s\n", tiendas,
                filas, dias, static_cast<double>(reloj.elapsed()) / 1000.0);
    QString salida;
    QTextStream out(&salida), err(&salida);
    reloj.restart();
    const int r = lumaro::cadena::verificar(o, out, err);
    std::printf("verificar: %.2f s, salida %d\n%s\n", static_cast<double>(reloj.elapsed()) / 1000.0,
                r, qPrintable(salida.section(u'\n', -3)));
    return 0;
}
