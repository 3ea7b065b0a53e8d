// lumaro-sync: the store-side synchroniser. Without options, the main window; with
// --headless, the same run control without a display.
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

#ifdef LUMARO_RELOJ_PRUEBA
// The chain tests' build of this program: a clock that the environment sets.
void instalarRelojPrueba();
#endif

using namespace lumaro::app;

namespace {

int usage(const QString& message) {
    std::fprintf(stderr, "lumaro-sync: %s\nUse --help for the options.\n",
                 message.toLocal8Bit().constData());
    return kExitUso;
}

}  // namespace

int main(int argc, char** argv) {
    lumaro::config::fijarZonaHoraria();
#ifdef LUMARO_RELOJ_PRUEBA
    instalarRelojPrueba();
#endif
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Synchronises the loyalty data of this store with the other stores of the chain.\n"
        "Without options it opens the main window.\n\n"
        "Exit statuses: 0 the cycle completed or there was nothing to do; 1 the cycle stalled,\n"
        "a phase failed or it was stopped (the reason on standard error); 2 bad command line;\n"
        "3 another copy is running in this program folder."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a display: the daily schedule armed until SIGINT/SIGTERM, "
                       "or one command with --run."));
    const QCommandLineOption run(
        QStringLiteral("run"),
        QStringLiteral("With --headless: run one command and exit. <command> is \"generar\" "
                       "(Generar MDB Local, then Subir File) or \"subir\" (Subir File)."),
        QStringLiteral("command"));
    // An installed program lives in a system folder it cannot write to; the package's service
    // and desktop entry point it at its folder under /var/lib instead.
    const QCommandLineOption folder(
        QStringLiteral("folder"),
        QStringLiteral("Use <folder> as the program folder (settings file, run logs, transfer "
                       "ledger, working folders) instead of the executable's folder."),
        QStringLiteral("folder"));
    parser.addOption(headless);
    parser.addOption(run);
    parser.addOption(folder);

    // The command line is read before any application object exists, so that a bad one is
    // answered even where no display is.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments)) return usage(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument ") + parser.positionalArguments().first());
    if (parser.isSet(run) && !parser.isSet(headless))
        return usage(QStringLiteral("--run needs --headless"));
    if (parser.isSet(folder)) {
        const QFileInfo carpeta(parser.value(folder));
        if (!carpeta.isDir())
            return usage(QStringLiteral("the program folder does not exist: ") +
                         parser.value(folder));
        lumaro::config::setProgramFolder(carpeta.absoluteFilePath());
    }

    const bool sinVentana = parser.isSet(headless) || parser.isSet(help) || parser.isSet(version);
    std::unique_ptr<QCoreApplication> app;
    if (sinVentana)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumaro-sync"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMARO_VERSION));
    if (parser.isSet(help)) parser.showHelp(kExitOk);
    if (parser.isSet(version)) parser.showVersion();

    ModoSinVentana modo = ModoSinVentana::Programacion;
    if (parser.isSet(run)) {
        const QString orden = parser.value(run);
        if (orden == QStringLiteral("generar"))
            modo = ModoSinVentana::Generar;
        else if (orden == QStringLiteral("subir"))
            modo = ModoSinVentana::Subir;
        else
            return usage(QStringLiteral("unknown command for --run: ") + orden);
    }

    InstanceLock lock;
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

    ProductionPhases phases;
    if (parser.isSet(headless)) return runHeadless(phases, modo);

    RunControl control(phases);
    FrmProcesoSync window(control);
    QObject::connect(&control, &RunControl::quitRequested, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (vigilar)
        window.vigilar(lock.owner());
    else
        control.arrancar();
    window.show();
    return QCoreApplication::exec();
}
