#include "app/Headless.h"

#include <QCoreApplication>
#include <QTimer>

#include "app/RunControl.h"
#include "app/StopSignal.h"
#include "config/HeadlessConsole.h"
#include "config/Settings.h"

namespace lumaro::app {

int runHeadless(Phases& phases, ModoSinVentana modo) {
    // A service runs for months: nothing shown is kept beyond what a window would hold.
    config::HeadlessConsole consola(/*echo=*/true, /*recordEvents=*/false);
    config::setConsole(&consola);
    RunControl control(phases);

    // A stop signal acts like the close box: the program ends without touching the
    // settings, after the running command if there is one.
    stopsignal::install();
    QTimer sondeo;
    sondeo.setInterval(200);
    QObject::connect(&sondeo, &QTimer::timeout, &control, [&control] {
        if (stopsignal::received()) control.cerrar();
    });
    QObject::connect(&control, &RunControl::quitRequested, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    sondeo.start();

    control.arrancar();
    int status = kExitOk;
    switch (modo) {
        case ModoSinVentana::Programacion:
            config::EscribirLog(
                QStringLiteral("Sin ventana: programacion diaria activada hasta una senal de "
                               "parada."));
            control.setTimerEnabled(true);
            QCoreApplication::exec();
            break;
        case ModoSinVentana::Generar:
        case ModoSinVentana::Subir:
            control.setOrdenUnica(true);
            if (modo == ModoSinVentana::Generar)
                control.Command6_Click();
            else
                control.Command1_Click();
            status = control.lastReport().ok() ? kExitOk : kExitFallo;
            break;
    }
    config::setConsole(nullptr);
    return status;
}

}  // namespace lumaro::app
