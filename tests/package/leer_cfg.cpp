// leer_cfg FILE SECCION/CLAVE...: prints "SECCION/CLAVE=value" for each key as the program's
// profile reader reads it from FILE (the package test reads the example settings file so).
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "config/ProfileFile.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) return 2;
    for (const QString& nombre : args.mid(1)) {
        const QString seccion = nombre.section(QLatin1Char('/'), 0, 0);
        const QString clave = nombre.section(QLatin1Char('/'), 1);
        const QString valor = lumaro::config::ProfileFile::read(args[0], seccion, clave, 253);
        std::printf("%s=%s\n", qPrintable(nombre), qPrintable(valor));
    }
    return 0;
}
