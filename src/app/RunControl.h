#pragma once
// The run control: the state of the main window's buttons and timer, the daily schedule
// (Timer1_Timer) and the commands that run a cycle ("Generar MDB Local", "Subir File"),
// "Parar" and "Salir".
//
// It holds no widget: the main window shows what it holds (controlsChanged, titleChanged) and
// forwards its buttons here; running without a display uses it as it is. Status panels, the
// step label, List1 and the pointer are reached through run::console(). One cycle runs at
// a time: a command or tick that arrives while one runs is refused with a log line.

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "app/Phases.h"

namespace lumaro::app {

// Enabled state of the six buttons: the only record of whether a run is under way.
struct Buttons {
    bool subir = true;       // Command1 "Subir File"
    bool descargar = false;  // Command5 "Descargar", hidden
    bool generar = false;    // Command6 "Generar MDB Local"
    bool parar = true;       // Command2 "Parar"
    bool configurar = true;  // Command3 "Configurar"
    bool salir = true;       // Command4 "Salir"
    bool operator==(const Buttons&) const = default;
};

// How the last command (with everything it ran) ended.
enum class Outcome {
    None,         // no command ran yet
    Complete,     // waiting state: merge and upload completed
    NothingToDo,  // nothing downloaded and nothing waiting
    Stalled,      // the merge or the upload did not complete
    Failed,       // a phase failed (connections, store registry, snapshot, copy)
    Stopped,      // "Parar", "Salir", the close box or a stop signal during the command
};

struct Report {
    Outcome outcome = Outcome::None;
    QString reason;         // for the failing outcomes: every cause met, joined by "; "
    QDateTime inicio, fin;  // the command's start and end, on the program's clock
    // Rows copied into today's snapshot per table, and rows merged here per store and table;
    // tables without rows are left out.
    QMap<QString, qint64> filasCopiadas;
    QMap<QString, QMap<QString, qint64>> filasFusionadas;
    bool ok() const { return outcome == Outcome::Complete || outcome == Outcome::NothingToDo; }
};

// "completo", "sin nada que hacer", "incompleto", "fallido", "detenido" ("sin resultado").
QString textoResultado(Outcome outcome);

// The one line that ends every command, in the run log and on standard error:
// "Ciclo terminado: completo", "Ciclo terminado: sin nada que hacer",
// "Ciclo terminado: incompleto - <causes>", "Ciclo terminado: fallido - <causes>",
// "Ciclo terminado: detenido - <cause>"; then `proximo` when given, the time taken
// (" - duracion 1 min 05 s") when the report has both times, and the rows copied and merged
// when the report counted any.
QString lineaResumen(const Report& report, const QString& proximo = QString());

// The automatic-mode test each command makes when it starts.
struct ModoAutomatico {
    int iAuto = 0;      // 1 when "AutoSync" is "1"
    bool bVar = false;  // timer enabled at the start of the click, or iAuto = 1
};

class RunControl : public QObject {
    Q_OBJECT
public:
    explicit RunControl(Phases& phases, QObject* parent = nullptr);

    // Start-up after the second-copy check: working folders, configurarControles,
    // ProcesarCargaInicial.
    void arrancar();

    const Buttons& buttons() const { return m_buttons; }
    bool timerEnabled() const { return m_timer.isActive(); }
    // Switches the schedule's timer (the dialog, headless arming); refreshes the title.
    void setTimerEnabled(bool enabled);
    // The title as of the last refresh.
    QString title() const { return m_title; }
    void refreshTitle();
    static QString tituloPara(bool timerEnabled);

    void habilitar(bool valor);
    void habilitar_2(bool valor);
    void configurarControles();
    ModoAutomatico modoAutomatico() const;

    // The schedule's tick; the timer calls it every minute while enabled.
    void Timer1_Timer();
    // For the program built with a test clock only: the schedule's timer fires every
    // intervaloMs instead of every minute, and antesDelTick runs before each tick (it moves
    // the test clock on). Applies to run controls made afterwards.
    static void setMinutoDePrueba(int intervaloMs, std::function<void()> antesDelTick);
    // "Generar MDB Local" and "Subir File".
    void Command6_Click();
    void Command1_Click();
    // "Parar".
    void Command2_Click();
    // "Configurar": true when the dialog may open; otherwise the refusal was shown.
    bool Command3_Permitido();
    // "Salir": writes "AutoSync" = "0" and asks to end the program.
    void Command4_Click();
    // Close box or stop signal: asks to end the program without touching the settings.
    void cerrar();

    const Report& lastReport() const { return m_report; }
    // One command run from the command line: the summary line announces no next try.
    void setOrdenUnica(bool unica) { m_ordenUnica = unica; }
    // The next time the schedule runs a cycle by itself (the next of the two daily times);
    // nullopt when the daily times are not valid.
    std::optional<QDateTime> proximaHoraProgramada() const;
    // For a schedule just started: when the program's last cycle never ended (the process was
    // killed or the machine went down during it), runs the day's cycle again now rather than
    // at the next daily time, so a store killed at its daily time does not lose half a day.
    // False when there was nothing to resume.
    bool reanudarCicloInterrumpido();
    // The program folder's mark of a cycle under way: written as a command starts, removed
    // as it ends, so one found at start-up is a cycle that a kill, a crash or a power cut
    // ended before its time.
    static QString marcaCicloEnCurso();

Q_SIGNALS:
    void controlsChanged();
    void titleChanged(const QString& title);
    // The program should end now (deferred to the end of a running command).
    void quitRequested();
    // A command ended; lastReport() says how.
    void commandFinished();

private:
    // Runs a command body as one cycle; refuses when one already runs.
    template <typename Body>
    void comoCiclo(const char* quien, Body body);
    void subirFile();  // "Subir File" within a cycle
    void generar();    // "Generar MDB Local" within a cycle
    void finDeComando();
    // The outcome of the command from what it met and what the phases noted.
    Report armarInforme() const;
    Report resultadoDelComando() const;
    // Why the command did not complete and when the schedule tries again: log, stderr and
    // the status bar.
    void anunciarResultado();
    // The window's state once the command is over, whatever it met.
    void mostrarFinDeComando();
    // The configuration check every command makes first; false (a failure recorded) when the
    // settings file is missing, unreadable or without [Inicio].
    bool configuracionPresente();
    bool Command5_Click();
    bool descargarDatos();
    bool archivosEsperando() const;
    void cerrarConexiones(bool conMySql);
    // Closes the connections, the mirror's too where this store feeds it; false (a failure
    // recorded) when that could not be asked.
    bool cerrarSegunPrincipal();
    void logModo(const char* boton, const ModoAutomatico& modo) const;
    void encenderSi(const ModoAutomatico& modo);
    void falla(const QString& reason);
    bool detenido() const;
    void aplicarParada();
    void pedirSalida();
    // The schedule.
    void tick(QString* error);
    void nuevoDia(const QString& lineaLog, const QString& hoy);
    // A later daily time: "Generar MDB Local" when today's snapshot is still to be made,
    // otherwise "Subir File".
    void cicloDelDia();
    void setButtons(const Buttons& b);

    Phases& m_phases;
    QTimer m_timer;
    Buttons m_buttons;
    QString m_title;
    bool m_inTick = false;
    bool m_quitPending = false;
    // Per command.
    Report m_report;
    QDateTime m_inicio;
    QString m_failure;
    QString m_falloAjustes;  // a settings write that failed (config::tomarFalloConfiguracion)
    std::optional<Outcome> m_subirOutcome;
    ftp::DownloadRunOutcome m_descarga;  // of the command's download run
    importer::ImportOutcome m_import;    // of its import run
    ftp::UploadOutcome m_upload;         // of its upload run
    bool m_bVar = false;                 // the automatic mode was on for this command
    bool m_ordenUnica = false;
    QDate m_ultimaRetencion;
    // The rows the command's copy reported, per table.
    snapshot::FilasPorTabla m_filasCopiadas;
};

}  // namespace lumaro::app
