// lumaro-sync: the store-side synchroniser. Without options, the main window; with
// --headless, the same run control without a display. The command line is described in
// kAyuda (also packaging/man/lumaro-sync.1).
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <memory>

#include "app/FrmProcesoSync.h"
#include "app/Headless.h"
#include "app/InstanceLock.h"
#include "app/MessageBox.h"
#include "app/ProductionPhases.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "app/Vigilancia.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "run/Console.h"

#ifdef LUMARO_RELOJ_PRUEBA
// The chain tests' build of this program: a clock that the environment sets.
void instalarRelojPrueba();
#endif

using namespace lumaro::app;

namespace {

constexpr char kAyuda[] =
    "uso: lumaro-sync [--folder CARPETA] [--headless [--run generar|subir]]\n"
    "\n"
    "Sincroniza los datos de fidelizacion de esta tienda con las demas tiendas de la cadena.\n"
    "Sin opciones abre la ventana principal.\n"
    "\n"
    "Opciones:\n"
    "  --headless        sin pantalla: el horario diario armado hasta SIGINT o SIGTERM, o una\n"
    "                    orden con --run\n"
    "  --run ORDEN       con --headless: ejecuta una orden y termina. ORDEN es \"generar\"\n"
    "                    (Generar MDB Local y luego Subir File) o \"subir\" (Subir File)\n"
    "  --folder CARPETA  usa CARPETA como carpeta del programa (configuracion, registros,\n"
    "                    ledger, carpetas de trabajo) en lugar de la del ejecutable\n"
    "  -h, --help        muestra esta ayuda\n"
    "  -v, --version     muestra la version\n"
    "\n"
    "Estado de salida: 0 el ciclo termino completo o no habia nada que hacer; 1 el ciclo quedo\n"
    "incompleto, una fase fallo o se detuvo (la causa en la salida de errores); 2 linea de\n"
    "ordenes mal escrita; 3 otra copia del programa funciona en esta carpeta.\n"
    "\n"
    "Ejemplos:\n"
    "  lumaro-sync                                        abre la ventana\n"
    "  lumaro-sync --headless --folder /var/lib/lumaro-sync\n"
    "                                                     el servicio: horario diario\n"
    "  lumaro-sync --headless --run generar               snapshot de hoy, descarga, fusion "
    "y subida\n"
    "  lumaro-sync --headless --run subir                 descarga, fusion y subida\n";

int usage(const QString& message) {
    std::fprintf(stderr, "lumaro-sync: %s\nUse --help para ver las opciones.\n",
                 message.toLocal8Bit().constData());
    return kExitUso;
}

// What was wrong with a command line the parser refused, in the program's words.
QString errorDeUso(const QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("opcion desconocida: ") + parser.unknownOptionNames().first();
    for (const char* conValor : {"--run", "--folder"})
        if (arguments.last() == QLatin1String(conValor))
            return QStringLiteral("falta el valor de ") + QLatin1String(conValor);
    return QStringLiteral("linea de ordenes no valida: ") + arguments.mid(1).join(u' ');
}

}  // namespace

int main(int argc, char** argv) {
    lumaro::config::fijarZonaHoraria();
#ifdef LUMARO_RELOJ_PRUEBA
    instalarRelojPrueba();
#endif
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("muestra esta ayuda"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("muestra la version"));
    const QCommandLineOption headless(QStringLiteral("headless"), QStringLiteral("sin pantalla"));
    const QCommandLineOption run(QStringLiteral("run"), QStringLiteral("una orden y termina"),
                                 QStringLiteral("orden"));
    // An installed program lives in a system folder it cannot write to; the package's service
    // and desktop entry point it at its folder under /var/lib instead.
    const QCommandLineOption folder(QStringLiteral("folder"),
                                    QStringLiteral("la carpeta del programa"),
                                    QStringLiteral("carpeta"));
    parser.addOptions({help, version, headless, run, folder});

    // The command line is read before any application object exists, so that a bad one is
    // answered even where no display is.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments)) return usage(errorDeUso(parser, arguments));
    if (parser.isSet(help)) {
        std::fputs(kAyuda, stdout);
        return kExitOk;
    }
    if (parser.isSet(version)) {
        std::printf("lumaro-sync %s\n", LUMARO_VERSION);
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("argumento inesperado: ") +
                     parser.positionalArguments().first());
    if (parser.isSet(run) && !parser.isSet(headless))
        return usage(QStringLiteral("--run necesita --headless"));
    if (parser.isSet(folder)) {
        const QFileInfo carpeta(parser.value(folder));
        if (!carpeta.isDir())
            return usage(QStringLiteral("no existe la carpeta del programa: ") +
                         parser.value(folder));
        lumaro::config::setProgramFolder(carpeta.absoluteFilePath());
    }

    std::unique_ptr<QCoreApplication> app;
    if (parser.isSet(headless))
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumaro-sync"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMARO_VERSION));

    ModoSinVentana modo = ModoSinVentana::Programacion;
    if (parser.isSet(run)) {
        const QString orden = parser.value(run);
        if (orden == QStringLiteral("generar"))
            modo = ModoSinVentana::Generar;
        else if (orden == QStringLiteral("subir"))
            modo = ModoSinVentana::Subir;
        else
            return usage(QStringLiteral("orden desconocida para --run: \"%1\" (generar o subir)")
                             .arg(orden));
    }

    InstanceLock lock;
    const bool sinVentana = parser.isSet(headless);
    const bool libre = lock.acquire();
    // Beside the service, the window only watches it.
    const bool vigilar = !libre && !sinVentana && vigilancia::esServicio(lock.owner());
    if (!libre && !vigilar) {
        if (sinVentana) {
            std::fprintf(stderr, "lumaro-sync: %s\n",
                         texts::kOtraInstancia.toLocal8Bit().constData());
        } else {
            MessageBox::show(nullptr, QMessageBox::Information, texts::kTituloAplicacion,
                             texts::kOtraInstancia);
        }
        return kExitOtraInstancia;
    }

    // Keys missing or mistyped in the settings file, named before anything runs on them (the
    // watching window leaves that, and the log, to the service).
    const QStringList revision = vigilar ? QStringList() : lumaro::config::revisarConfiguracion();
    ProductionPhases phases;
    if (parser.isSet(headless)) {
        for (const QString& linea : revision)
            std::fprintf(stderr, "lumaro-sync: %s\n", linea.toLocal8Bit().constData());
        return runHeadless(phases, modo);
    }

    RunControl control(phases);
    FrmProcesoSync window(control);
    QObject::connect(&control, &RunControl::quitRequested, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (vigilar) {
        window.vigilar(lock.owner());
    } else {
        control.arrancar();
        for (const QString& linea : revision)
            lumaro::run::console().addProblem(texts::marcaDeTiempo() + QStringLiteral(" - ") +
                                              linea);
    }
    window.show();
    return QCoreApplication::exec();
}
