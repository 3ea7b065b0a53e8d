// "Generar MDB Local", "Subir File" and "Descargar": the commands that run a cycle.
#include <QDir>
#include <QFile>

#include "app/Retencion.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "app/WorkingFolders.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "run/Console.h"
#include "run/RunState.h"

namespace lumaro::app {

using config::EscribirLog;
using run::console;
using run::runState;

namespace {

const QString kSinPrincipal =
    QStringLiteral("No se pudo consultar si este local alimenta el espejo MySQL.");

// Leaves the mark of a cycle under way (RunControl::marcaCicloEnCurso): what runs and since
// when. A mark that cannot be written only costs the resumption after a kill.
void marcarCiclo(const char* quien) {
    QFile marca(RunControl::marcaCicloEnCurso());
    if (!marca.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        marca.write(QString::fromLatin1(quien).toUtf8() + " " +
                    config::Clock::now().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")).toUtf8()) <
            0)
        EscribirLog(QStringLiteral("No se pudo escribir ") + marca.fileName() +
                    QStringLiteral(": ") + marca.errorString());
}

QString trueFalse(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

}  // namespace

template <typename Body>
void RunControl::comoCiclo(const char* quien, Body body) {
    if (runState().cycleRunning) {
        EscribirLog(QString::fromLatin1(quien) +
                    QStringLiteral(" - Hay un ciclo en curso; se ignora la orden."));
        return;
    }
    m_report = Report{};
    m_inicio = config::Clock::now();
    m_failure.clear();
    m_subirOutcome.reset();
    m_descarga = {};
    m_filasCopiadas.clear();
    m_import = {};
    m_upload = {};
    m_bVar = false;
    runState().stopRequested = false;
    runState().cancelTransfer = false;
    {
        run::CycleGuard guard;
        marcarCiclo(quien);
        body();
        m_phases.finDeCiclo();
        QFile::remove(marcaCicloEnCurso());
    }
    finDeComando();
}

void RunControl::finDeComando() {
    const bool parado = runState().stopRequested;
    if (parado) {
        aplicarParada();
        setTimerEnabled(false);
    } else if (m_bVar) {
        // Whatever the cycle met, the next daily time tries again by itself.
        setTimerEnabled(true);
    }
    // A settings write that failed during the command, or since the last one, counts for it.
    m_falloAjustes = config::tomarFalloConfiguracion();
    if (!m_falloAjustes.isEmpty())
        console().addProblem(texts::marcaDeTiempo() + QStringLiteral(" - ") + m_falloAjustes);
    m_report = armarInforme();
    // A settings write that failed between commands counts for the next one.
    if (!parado && m_ultimaRetencion != config::Clock::today()) {
        m_ultimaRetencion = config::Clock::today();
        aplicarRetencion();
    }
    anunciarResultado();
    runState().stopRequested = false;
    runState().cancelTransfer = false;
    Q_EMIT commandFinished();
    if (m_quitPending) {
        m_quitPending = false;
        Q_EMIT quitRequested();
    }
}

void RunControl::falla(const QString& reason) {
    if (m_failure.isEmpty()) m_failure = reason;
}

bool RunControl::detenido() const { return runState().stopRequested; }

bool RunControl::configuracionPresente() {
    QString causa;
    if (config::comprobarConfiguracion(&causa)) return true;
    EscribirLog(causa);
    console().addProblem(texts::marcaDeTiempo() + QStringLiteral(" - ") + causa);
    falla(causa);
    return false;
}

void RunControl::logModo(const char* boton, const ModoAutomatico& modo) const {
    EscribirLog(
        QString::fromLatin1(boton) + QStringLiteral(" - valor parametro <AutoSync> de CFG=") +
        QString::number(modo.iAuto) +
        QStringLiteral(" valor Timer.Enabled <ACTIVADO/DESACTIVADO>=") + trueFalse(timerEnabled()) +
        QStringLiteral(" valor variable <bVar>=") + trueFalse(modo.bVar));
}

void RunControl::encenderSi(const ModoAutomatico& modo) {
    // A stop requested during the command keeps the automatic mode off.
    if (modo.bVar && !detenido()) setTimerEnabled(true);
}

void RunControl::cerrarConexiones(bool conMySql) {
    if (conMySql) m_phases.CerrarBD(Conexion::MySql);
    m_phases.CerrarBD(Conexion::Cliente);
    m_phases.CerrarBD(Conexion::Logistica);
}

bool RunControl::cerrarSegunPrincipal() {
    const std::optional<bool> principal = m_phases.esLocalPrincipal();
    if (!principal) {
        falla(kSinPrincipal);
        return false;
    }
    cerrarConexiones(*principal);
    return true;
}

void RunControl::Command6_Click() {
    comoCiclo("btnGenerarMDB", [this] { generar(); });
}

void RunControl::Command1_Click() {
    comoCiclo("btnSubirFile", [this] { subirFile(); });
}

void RunControl::generar() {
    const ModoAutomatico modo = modoAutomatico();
    logModo("btnGenerarMDB", modo);
    m_bVar = m_bVar || modo.bVar;
    setTimerEnabled(false);
    habilitar_2(false);
    console().setStatePanel(texts::kProcesando);
    console().setStep(QString());
    console().clearProblems();
    if (!configuracionPresente()) {
        habilitar_2(true);
        refreshTitle();
        return;
    }

    bool subirIniciado = false;
    bool error = false;
    const bool logistica = m_phases.AbrirConexion(3);
    const bool cliente = m_phases.AbrirConexion(1);
    if (!logistica || !cliente) {
        falla(QStringLiteral("No se pudieron abrir las conexiones a las bases de datos."));
    } else if (!m_phases.ConfigLocales()) {
        falla(QStringLiteral("No se pudo cargar el registro de locales."));
    } else if (!detenido()) {
        const std::optional<QString> nombre = m_phases.crearBDTemp();
        if (!nombre) {
            // No copy into a file that was not created: "Subir File" still runs below.
            falla(QStringLiteral("No se pudo crear la MDB del dia."));
            error = true;
        } else {
            if (!detenido()) {
                if (auto copiadas = m_phases.CopiarTablas(*nombre)) {
                    m_filasCopiadas = std::move(*copiadas);
                    config::GrabarConfig(QStringLiteral("BD_Temp"), *nombre);
                } else
                    falla(QStringLiteral("No se pudieron copiar los datos a ") + *nombre +
                          QStringLiteral("."));
            }
            if (!cerrarSegunPrincipal()) {
                error = true;
            } else {
                encenderSi(modo);
                subirIniciado = true;
                if (!detenido()) subirFile();
            }
        }
    }
    if (!error) {
        encenderSi(modo);
        if (!cerrarSegunPrincipal()) {
            error = true;
        } else {
            habilitar_2(true);
            refreshTitle();
        }
    }
    if (error) {
        // An unexpected failure: close what may be open, run "Subir File" unless it already
        // ran, and leave the buttons of a finished command.
        habilitar_2(false);
        refreshTitle();
        cerrarConexiones(true);
        if (!subirIniciado && !detenido()) subirFile();
        habilitar_2(true);
        refreshTitle();
    }
}

void RunControl::subirFile() {
    const ModoAutomatico modo = modoAutomatico();
    logModo("btnSubirFile", modo);
    m_bVar = m_bVar || modo.bVar;
    setTimerEnabled(false);
    if (!configuracionPresente()) {
        refreshTitle();
        return;
    }
    m_descarga = {};
    Command5_Click();

    if (!archivosEsperando()) {
        encenderSi(modo);
        m_subirOutcome = Outcome::NothingToDo;
        refreshTitle();
        return;
    }
    if (detenido()) {
        refreshTitle();
        return;
    }
    console().setStatePanel(texts::kProcesando);
    habilitar(false);
    console().setBusy(true);
    // The import, then the upload once every downloaded snapshot was merged.
    m_import = m_phases.SyncLocales();
    if (m_import.completed) m_upload = m_phases.Main();

    if (!m_import.completed || !m_upload.done) {
        // Stalled: the end of the command says why and when the schedule tries again.
        m_subirOutcome = Outcome::Stalled;
        refreshTitle();
        return;
    }
    encenderSi(modo);
    console().setStep(QString());
    console().setStatePanel(texts::kEsperando);
    console().setEventPanel(QStringLiteral("Ultima Ejecucion ") + texts::marcaDeTiempo());
    console().setBusy(false);
    m_subirOutcome = Outcome::Complete;
    refreshTitle();
}

bool RunControl::archivosEsperando() const {
    const QDir descargadas(config::programPath(QStringLiteral("MDB_descargadas")));
    const bool hayDescargadas =
        !descargadas.entryList({QStringLiteral("*.mdb")}, QDir::Files).isEmpty();
    // A file of this store left unsent by an earlier failed upload is reason enough too.
    return hayDescargadas || m_descarga.count != 0 || m_descarga.answered || hayArchivosPorSubir();
}

bool RunControl::Command5_Click() {
    console().setStep(QStringLiteral("Descargando datos"), 0x0000FF);
    console().setStatePanel(texts::kProcesando);
    habilitar(false);
    console().setBusy(true);
    const bool ok = descargarDatos();
    console().setBusy(false);
    console().setStep(QString());
    return ok;
}

bool RunControl::descargarDatos() {
    const bool logistica = m_phases.AbrirConexion(3);
    const bool cliente = m_phases.AbrirConexion(1);
    if (!logistica || !cliente) {
        falla(QStringLiteral("No se pudieron abrir las conexiones a las bases de datos."));
        return false;
    }
    if (!m_phases.ConfigLocales()) {
        falla(QStringLiteral("No se pudo cargar el registro de locales."));
        return false;
    }
    if (!detenido()) m_descarga = m_phases.descargarOtrosLocales();
    return true;
}

}  // namespace lumaro::app
