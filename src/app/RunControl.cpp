#include "app/RunControl.h"

#include "app/Texts.h"
#include "app/WorkingFolders.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "run/Console.h"
#include "run/RunState.h"
#include "snapshot/CrearBDTemp.h"

namespace lumaro::app {

using config::EscribirLog;
using config::GrabarConfig;
using config::LeerConfig;
using run::console;
using run::runState;

namespace {

struct MinutoDePrueba {
    int intervaloMs = 0;
    std::function<void()> antesDelTick;
};

MinutoDePrueba& minutoDePrueba() {
    static MinutoDePrueba m;
    return m;
}

int intervaloTimer() {
    return minutoDePrueba().intervaloMs > 0 ? minutoDePrueba().intervaloMs : 60000;
}

}  // namespace

void RunControl::setMinutoDePrueba(int intervaloMs, std::function<void()> antesDelTick) {
    minutoDePrueba() = {intervaloMs, std::move(antesDelTick)};
}

RunControl::RunControl(Phases& phases, QObject* parent) : QObject(parent), m_phases(phases) {
    m_timer.setInterval(intervaloTimer());
    connect(&m_timer, &QTimer::timeout, this, [this, antes = minutoDePrueba().antesDelTick] {
        if (antes) antes();
        Timer1_Timer();
    });
    m_title = texts::kTituloVentana;
}

void RunControl::arrancar() {
    crearCarpetasTrabajo();
    snapshot::anotarPrimerDia();
    configurarControles();
    // Without settings there is nothing to connect to: say so instead of a driver's complaint.
    QString causa;
    if (config::comprobarConfiguracion(&causa)) {
        m_phases.ProcesarCargaInicial();
    } else {
        EscribirLog(causa);
        console().addProblem(texts::marcaDeTiempo() + QStringLiteral(" - ") + causa);
    }
}

void RunControl::setButtons(const Buttons& b) {
    if (b == m_buttons) return;
    m_buttons = b;
    Q_EMIT controlsChanged();
}

void RunControl::setTimerEnabled(bool enabled) {
    // Switching on an enabled timer keeps its minute count, as the original control did.
    if (enabled && !m_timer.isActive()) m_timer.start();
    if (!enabled) m_timer.stop();
    Q_EMIT controlsChanged();
    refreshTitle();
}

QString RunControl::tituloPara(bool timerEnabled) {
    return texts::kTituloVentana + QStringLiteral(". Estado automatico < ") +
           (timerEnabled ? texts::kActivado : texts::kDesactivado) + QStringLiteral(" >");
}

void RunControl::refreshTitle() {
    m_title = tituloPara(timerEnabled());
    Q_EMIT titleChanged(m_title);
}

void RunControl::habilitar(bool valor) {
    Buttons b = m_buttons;
    b.subir = valor;
    b.parar = !valor;
    setButtons(b);
}

void RunControl::habilitar_2(bool valor) {
    Buttons b = m_buttons;
    b.subir = b.parar = b.configurar = b.salir = b.descargar = valor;
    b.generar = !valor;
    setButtons(b);
}

void RunControl::configurarControles() {
    console().setStatePanel(texts::kDetenido);
    console().setStep(QString());
    habilitar(true);
    console().clearProblems();
    m_timer.setInterval(intervaloTimer());

    // "Generar MDB Local" stays as it is when the last snapshot is today's: one a day.
    const QString bdTemp = LeerConfig(QStringLiteral("BD_Temp"));
    const QString hoy = config::Clock::today().toString(QStringLiteral("ddMMyyyy"));
    const bool deHoy = bdTemp.size() >= 4 && bdTemp.chopped(4).right(8) == hoy;
    if (!deHoy) {
        Buttons b = m_buttons;
        b.generar = true;
        setButtons(b);
    }
}

void RunControl::Command2_Click() {
    const QDateTime now = config::Clock::now();
    EscribirLog(QStringLiteral("Se Detiene Proceso de Sincronizacion (Envio,Descarga y/o "
                               "Sincronizacion): Fecha '") +
                now.date().toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral("' Hora '") +
                now.time().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("'"));
    if (runState().cycleRunning) {
        // The running phase goes on to its end; the buttons come back when the command ends,
        // so no second cycle can start inside this one.
        runState().stopRequested = true;
        runState().cancelTransfer = true;
    } else {
        aplicarParada();
    }
    GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("0"));
    setTimerEnabled(false);
}

void RunControl::aplicarParada() {
    habilitar(true);
    console().setStep(QString());
    console().setStatePanel(texts::kDetenido);
    console().setEventPanel(QString());
    console().setBusy(false);
}

bool RunControl::Command3_Permitido() {
    if (runState().cycleRunning) {
        EscribirLog(
            QStringLiteral("Configurar - Hay un ciclo en curso; no se abre la "
                           "configuracion."));
        return false;
    }
    if (!m_buttons.subir) {
        console().messageBox(run::BoxIcon::Information, QStringLiteral("Configuración"),
                             QStringLiteral("Para ver la configuracion del programa,\r\nprimero "
                                            "debe Detener (Parar) el proceso en curso."));
        return false;
    }
    return true;
}

void RunControl::Command4_Click() {
    GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("0"));
    pedirSalida();
}

void RunControl::cerrar() { pedirSalida(); }

void RunControl::pedirSalida() {
    if (runState().cycleRunning) {
        // Ends when the running command returns: a transaction is never cut in half.
        runState().stopRequested = true;
        runState().cancelTransfer = true;
        m_quitPending = true;
        return;
    }
    Q_EMIT quitRequested();
}

}  // namespace lumaro::app
