#include "app/Headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "app/RunControl.h"
#include "app/StopSignal.h"
#include "config/HeadlessConsole.h"
#include "config/Settings.h"

namespace lumaro::app {

namespace {

void informar(const Report& report) {
    if (report.ok() || report.outcome == Outcome::None) return;
    std::fprintf(stderr, "lumaro-sync: %s\n", report.reason.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

int runHeadless(Phases& phases, ModoSinVentana modo) {
    config::HeadlessConsole consola(/*echo=*/true);
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
            QObject::connect(&control, &RunControl::commandFinished, &control,
                             [&control] { informar(control.lastReport()); });
            config::EscribirLog(
                QStringLiteral("Sin ventana: programacion diaria activada hasta una senal de "
                               "parada."));
            control.setTimerEnabled(true);
            QCoreApplication::exec();
            break;
        case ModoSinVentana::Generar:
        case ModoSinVentana::Subir:
            if (modo == ModoSinVentana::Generar)
                control.Command6_Click();
            else
                control.Command1_Click();
            informar(control.lastReport());
            status = control.lastReport().ok() ? kExitOk : kExitFallo;
            break;
    }
    config::setConsole(nullptr);
    return status;
}

}  // namespace lumaro::app
