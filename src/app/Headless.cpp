#include "app/Headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "app/RunControl.h"
#include "app/StopSignal.h"
#include "config/Settings.h"
#include "run/HeadlessConsole.h"
#include "run/RunState.h"

namespace lumaro::app {

namespace {

// A line for the run log and the service's journal.
void anunciar(const QString& linea) {
    config::EscribirLog(linea);
    std::fprintf(stderr, "%s\n", linea.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString horaDiaria(const char* hora, const char* minuto) {
    const QString h = config::LeerConfig(QLatin1String(hora)).trimmed();
    const QString m = config::LeerConfig(QLatin1String(minuto)).trimmed();
    bool okH = false, okM = false;
    const int nh = h.toInt(&okH), nm = m.toInt(&okM);
    if (okH && okM && nh >= 0 && nh <= 23 && nm >= 0 && nm <= 59)
        return QStringLiteral("%1:%2")
            .arg(nh, 2, 10, QLatin1Char('0'))
            .arg(nm, 2, 10, QLatin1Char('0'));
    return QStringLiteral("no valida (%1=\"%2\", %3=\"%4\")")
        .arg(QLatin1String(hora), h, QLatin1String(minuto), m);
}

// Version, store and daily times, as the service starts its schedule.
QString lineaInicio(const RunControl& control) {
    const QString tienda = config::Inicio::leer().localActivo;
    const std::optional<QDateTime> proxima = control.proximaHoraProgramada();
    return QStringLiteral(
               "Servicio iniciado: lumaro-sync %1, tienda %2, horario diario %3 y %4, "
               "proximo ciclo %5, carpeta %6")
        .arg(QCoreApplication::applicationVersion(),
             tienda.isEmpty() ? QStringLiteral("sin registrar aun (se lee de la base cliente)")
                              : tienda,
             horaDiaria("Hora1", "Minuto1"), horaDiaria("Hora2", "Minuto2"),
             proxima ? proxima->toString(QStringLiteral("dd/MM/yyyy hh:mm"))
                     : QStringLiteral("ninguno"),
             config::programFolder());
}

}  // namespace

int runHeadless(Phases& phases, ModoSinVentana modo) {
    // A service runs for months: nothing shown is kept beyond what a window would hold.
    run::HeadlessConsole consola(/*echo=*/true, /*recordEvents=*/false);
    run::setConsole(&consola);
    RunControl control(phases);

    // A stop signal acts like the close box: the program ends without touching the
    // settings, after the running command if there is one.
    stopsignal::install();
    QTimer sondeo;
    sondeo.setInterval(200);
    bool parando = false;
    QObject::connect(&sondeo, &QTimer::timeout, &control, [&control, &parando] {
        if (!stopsignal::received()) return;
        if (!parando)
            anunciar(run::runState().cycleRunning
                         ? QStringLiteral("Senal de parada recibida: el servicio se detiene al "
                                          "terminar el ciclo en curso")
                         : QStringLiteral("Senal de parada recibida: el servicio se detiene"));
        parando = true;
        control.cerrar();
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
            anunciar(lineaInicio(control));
            // A cycle that a kill or a power cut ended is run again at once.
            QTimer::singleShot(0, &control, [&control] { control.reanudarCicloInterrumpido(); });
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
    run::setConsole(nullptr);
    return status;
}

}  // namespace lumaro::app
