#pragma once
// The main window: shows what the run control holds, forwards its buttons to it, and is the
// program's console while it exists.

#include <QMainWindow>
#include <QPointer>

#include "run/Console.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace lumaro::app {

class FrmHistorial;
class RunControl;

class FrmProcesoSync : public QMainWindow, public run::Console {
    Q_OBJECT
public:
    // Installs itself as the program's console until destroyed.
    explicit FrmProcesoSync(RunControl& control, QWidget* parent = nullptr);
    ~FrmProcesoSync() override;

    // run::Console
    void setStatePanel(const QString& text) override;
    void setEventPanel(const QString& text) override;
    void setStep(const QString& text, int rgb = -1) override;
    void addProblem(const QString& line) override;
    void clearProblems() override;
    void addFile(const QString& name) override;
    void clearFiles() override;
    void setProgress(int minimum, int maximum, int value) override;
    void setBusy(bool busy) override;
    // Inside a cycle a box becomes a 30-second notice, its text also in List1 and the log,
    // so no box ever holds a cycle; outside a cycle it waits for the operator.
    void messageBox(run::BoxIcon icon, const QString& caption, const QString& text) override;
    void notice(const QString& prompt, const QString& title, int timeoutMs) override;
    void processEvents() override;

    // "Configurar": the dialog, unless a run is under way.
    void Command3_Click();
    // "Historial": the ledger report of the last days, unless a cycle runs (it reads the
    // ledger the cycle writes). Not modal, so the window stays live behind it; it is read
    // again at the end of every command.
    void cmdHistorial_Click();

    // Watching mode, for a window opened while the service (process pid) holds the program
    // folder: every command disabled; the state from the status file, the run log's tail and
    // "Historial", read again every few seconds. Nothing is written to the folder.
    void vigilar(qint64 pid);
    bool vigilando() const { return m_pidServicio >= 0; }

    // How long a box shown inside a cycle stays up (30 s; tests shorten it).
    static int avisoEnCicloMs();
    static void setAvisoEnCicloMs(int ms);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* boton(const char* name, const QString& caption, const QString& toolTip,
                       int standardPixmap);
    void mostrarBotones();
    void refrescarVigilancia();

    RunControl& m_control;
    QPushButton* m_command1;
    QPushButton* m_command5;
    QPushButton* m_command6;
    QPushButton* m_command2;
    QPushButton* m_command3;
    QPushButton* m_command4;
    QPushButton* m_historial;
    QCheckBox* m_chkSyncManual;
    QListWidget* m_list1;
    QListWidget* m_list2;
    QLabel* m_lblList1;
    QLabel* m_lblList2;
    QLabel* m_lblVigilancia;
    QPointer<FrmHistorial> m_historialAbierto;
    QTimer* m_refresco;         // watching mode's refresh
    qint64 m_pidServicio = -1;  // watching mode when not negative
    QLabel* m_lblProceso;
    QProgressBar* m_pgEstado;
    QLabel* m_panel1;
    QLabel* m_panel2;
    bool m_busy = false;
};

}  // namespace lumaro::app
