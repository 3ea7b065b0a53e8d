#include "app/FrmProcesoSync.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ArchivoEstado.h"
#include "app/FrmConfiguracion.h"
#include "app/FrmHistorial.h"
#include "app/MessageBox.h"
#include "app/Notice.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "app/Vigilancia.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "run/RunState.h"

namespace lumaro::app {

namespace {

QMessageBox::Icon qtIcon(run::BoxIcon icon) {
    switch (icon) {
        case run::BoxIcon::None:
            return QMessageBox::NoIcon;
        case run::BoxIcon::Information:
            return QMessageBox::Information;
        case run::BoxIcon::Exclamation:
            return QMessageBox::Warning;
        case run::BoxIcon::Critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

FrmProcesoSync::FrmProcesoSync(RunControl& control, QWidget* parent)
    : QMainWindow(parent), m_control(control) {
    setObjectName(QStringLiteral("frmProcesoSync"));
    setWindowTitle(texts::kTituloVentana);

    m_command1 = boton("Command1", QStringLiteral("Subir File"), QStringLiteral("Iniciar"),
                       QStyle::SP_ArrowUp);
    m_command5 = boton("Command5", QStringLiteral("Descargar"), QStringLiteral("Salir"),
                       QStyle::SP_ArrowDown);
    m_command6 =
        boton("Command6", QStringLiteral("Generar MDB Local"),
              QStringLiteral("Generar Archivo a Sincronizar"), QStyle::SP_FileDialogNewFolder);
    m_command2 =
        boton("Command2", QStringLiteral("Parar"), QStringLiteral("Parar"), QStyle::SP_MediaStop);
    m_command3 = boton("Command3", QStringLiteral("Configurar"), QStringLiteral("Configurar"),
                       QStyle::SP_FileDialogDetailedView);
    m_command4 = boton("Command4", QStringLiteral("Salir"), QStringLiteral("Salir"),
                       QStyle::SP_DialogCloseButton);
    m_command5->setVisible(false);
    m_historial = boton("cmdHistorial", QStringLiteral("Historial"),
                        QStringLiteral("Transferencias de los ultimos dias, por local"),
                        QStyle::SP_FileDialogContentsView);

    m_chkSyncManual = new QCheckBox(QStringLiteral("Sync Manual"));
    m_chkSyncManual->setObjectName(QStringLiteral("chkSyncManual"));
    m_chkSyncManual->setToolTip(QStringLiteral(
        "Solo permite Sincronizar una MDB, tiene que estar en la carpeta \\MDBs_descrgadas"));
    m_chkSyncManual->setEnabled(false);

    m_list1 = new QListWidget;
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list2 = new QListWidget;
    m_list2->setObjectName(QStringLiteral("List2"));
    m_list2->setMaximumHeight(90);
    m_lblList1 = new QLabel(QStringLiteral("Problemas del ciclo"));
    m_lblList1->setObjectName(QStringLiteral("lblList1"));
    m_lblList2 = new QLabel(QStringLiteral("Archivos para subir"));
    m_lblList2->setObjectName(QStringLiteral("lblList2"));
    m_lblVigilancia = new QLabel;
    m_lblVigilancia->setObjectName(QStringLiteral("lblVigilancia"));
    m_lblVigilancia->setWordWrap(true);
    m_lblVigilancia->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblVigilancia->setVisible(false);
    m_lblProceso = new QLabel(QStringLiteral("Descargando..."));
    m_lblProceso->setObjectName(QStringLiteral("lblProceso"));
    m_lblProceso->setFont(QFont(QStringLiteral("Arial"), 10, QFont::Bold));
    m_pgEstado = new QProgressBar;
    m_pgEstado->setObjectName(QStringLiteral("pgEstado"));
    m_pgEstado->setValue(0);

    auto* botones = new QVBoxLayout;
    for (QPushButton* b :
         {m_command1, m_command5, m_command6, m_command2, m_command3, m_command4, m_historial})
        botones->addWidget(b);
    botones->addStretch();
    botones->addWidget(m_chkSyncManual);

    auto* listas = new QVBoxLayout;
    listas->addWidget(m_lblVigilancia);
    listas->addWidget(m_lblList1);
    listas->addWidget(m_list1, 1);
    listas->addWidget(m_lblList2);
    listas->addWidget(m_list2);
    listas->addWidget(m_lblProceso);
    listas->addWidget(m_pgEstado);

    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->addLayout(listas, 1);
    layout->addLayout(botones);
    setCentralWidget(central);

    m_panel1 = new QLabel;
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel1->setMinimumWidth(140);
    m_panel2 = new QLabel;
    m_panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(m_panel1);
    statusBar()->addWidget(m_panel2, 1);
    resize(640, 420);

    connect(m_command1, &QPushButton::clicked, &m_control, &RunControl::Command1_Click);
    connect(m_command6, &QPushButton::clicked, &m_control, &RunControl::Command6_Click);
    connect(m_command2, &QPushButton::clicked, &m_control, &RunControl::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &FrmProcesoSync::Command3_Click);
    connect(m_command4, &QPushButton::clicked, &m_control, &RunControl::Command4_Click);
    connect(m_historial, &QPushButton::clicked, this, &FrmProcesoSync::cmdHistorial_Click);
    connect(&m_control, &RunControl::controlsChanged, this, &FrmProcesoSync::mostrarBotones);
    connect(&m_control, &RunControl::commandFinished, this, [this] {
        mostrarBotones();
        if (m_historialAbierto) m_historialAbierto->actualizar();
    });
    m_refresco = new QTimer(this);
    m_refresco->setObjectName(QStringLiteral("tmrVigilancia"));
    m_refresco->setInterval(vigilancia::kRefrescoMs);
    connect(m_refresco, &QTimer::timeout, this, &FrmProcesoSync::refrescarVigilancia);
    connect(&m_control, &RunControl::titleChanged, this, &QWidget::setWindowTitle);
    mostrarBotones();
    run::setConsole(this);
}

FrmProcesoSync::~FrmProcesoSync() {
    setBusy(false);
    if (&run::console() == this) run::setConsole(nullptr);
}

QPushButton* FrmProcesoSync::boton(const char* name, const QString& caption, const QString& toolTip,
                                   int standardPixmap) {
    auto* b = new QPushButton(
        style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardPixmap)), caption);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(toolTip);
    b->setIconSize(QSize(24, 24));
    b->setMinimumHeight(34);
    return b;
}

void FrmProcesoSync::mostrarBotones() {
    const Buttons b =
        vigilando() ? Buttons{false, false, false, false, false, false} : m_control.buttons();
    m_command1->setEnabled(b.subir);
    m_command5->setEnabled(b.descargar);
    m_command6->setEnabled(b.generar);
    m_command2->setEnabled(b.parar);
    m_command3->setEnabled(b.configurar);
    m_command4->setEnabled(b.salir);
    m_historial->setEnabled(!run::runState().cycleRunning);
}

void FrmProcesoSync::vigilar(qint64 pid) {
    m_pidServicio = std::max<qint64>(0, pid);
    setWindowTitle(texts::kTituloVentana + QStringLiteral(" - servicio en ejecucion"));
    m_lblList1->setText(QStringLiteral("Ultimas lineas del registro ") +
                        QFileInfo(config::logPath(config::Clock::today())).fileName());
    m_lblList2->setText(QStringLiteral("Estado (") + QFileInfo(rutaArchivoEstado()).fileName() +
                        u')');
    m_list2->setMaximumHeight(130);
    m_lblProceso->setVisible(false);
    m_pgEstado->setVisible(false);
    m_lblVigilancia->setVisible(true);
    resize(760, 520);
    mostrarBotones();
    refrescarVigilancia();
    m_refresco->start();
}

void FrmProcesoSync::refrescarVigilancia() {
    const bool corriendo = vigilancia::enEjecucion(m_pidServicio);
    m_lblVigilancia->setText(vigilancia::aviso(m_pidServicio, corriendo));
    m_panel1->setText(corriendo ? QStringLiteral("Servicio en ejecucion")
                                : QStringLiteral("Servicio detenido"));
    m_panel2->setText(QStringLiteral("Actualizado ") + texts::marcaDeTiempo());
    m_list1->clear();
    m_list1->addItems(vigilancia::colaDelLog(vigilancia::kLineasLog));
    m_list1->scrollToBottom();
    m_list2->clear();
    m_list2->addItems(vigilancia::lineasEstado());
    if (m_historialAbierto) m_historialAbierto->actualizar();
}

void FrmProcesoSync::Command3_Click() {
    if (!m_control.Command3_Permitido()) return;
    FrmConfiguracion dialog(m_control, this);
    dialog.exec();
    m_control.refreshTitle();
}

void FrmProcesoSync::cmdHistorial_Click() {
    if (run::runState().cycleRunning) return;
    if (m_historialAbierto) {
        m_historialAbierto->actualizar();
        m_historialAbierto->raise();
        return;
    }
    m_historialAbierto = new FrmHistorial(this);
    m_historialAbierto->setAttribute(Qt::WA_DeleteOnClose);
    m_historialAbierto->show();
}

void FrmProcesoSync::closeEvent(QCloseEvent* event) {
    // The close box ends the program without touching the settings; during a cycle it ends
    // when the running command returns.
    const bool enCiclo = run::runState().cycleRunning;
    m_control.cerrar();
    if (enCiclo)
        event->ignore();
    else
        event->accept();
}

void FrmProcesoSync::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !vigilando())
        m_control.refreshTitle();
    QMainWindow::changeEvent(event);
}

void FrmProcesoSync::showEvent(QShowEvent* event) {
    // Showing the window is its first activation, with or without a window manager.
    if (!vigilando()) m_control.refreshTitle();
    QMainWindow::showEvent(event);
}

void FrmProcesoSync::setStatePanel(const QString& text) { m_panel1->setText(text); }

void FrmProcesoSync::setEventPanel(const QString& text) { m_panel2->setText(text); }

void FrmProcesoSync::setStep(const QString& text, int rgb) {
    m_lblProceso->setText(text);
    if (rgb >= 0) {
        QPalette p = m_lblProceso->palette();
        p.setColor(QPalette::WindowText, QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
        m_lblProceso->setPalette(p);
    }
}

void FrmProcesoSync::addProblem(const QString& line) {
    m_list1->addItem(QString(line)
                         .replace(QLatin1Char('\r'), QLatin1Char(' '))
                         .replace(QLatin1Char('\n'), QLatin1Char(' ')));
    m_list1->scrollToBottom();
}

void FrmProcesoSync::clearProblems() { m_list1->clear(); }

void FrmProcesoSync::addFile(const QString& name) { m_list2->addItem(name); }

void FrmProcesoSync::clearFiles() { m_list2->clear(); }

void FrmProcesoSync::setProgress(int minimum, int maximum, int value) {
    m_pgEstado->setRange(minimum, maximum);
    m_pgEstado->setValue(value);
}

void FrmProcesoSync::setBusy(bool busy) {
    if (busy == m_busy) return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void FrmProcesoSync::messageBox(run::BoxIcon icon, const QString& caption, const QString& text) {
    const QString title = caption.isEmpty() ? texts::kTituloAplicacion : caption;
    if (!run::runState().cycleRunning) {
        MessageBox::show(this, qtIcon(icon), title, text);
        return;
    }
    addProblem(texts::marcaDeTiempo() + QStringLiteral(" - ") + title + QStringLiteral(": ") +
               text);
    config::EscribirLog(QStringLiteral("Mensaje <") + title + QStringLiteral(">: ") + text);
    notice(text, title, avisoEnCicloMs());
}

namespace {
int g_avisoEnCicloMs = 30000;
}

int FrmProcesoSync::avisoEnCicloMs() { return g_avisoEnCicloMs; }

void FrmProcesoSync::setAvisoEnCicloMs(int ms) { g_avisoEnCicloMs = ms; }

void FrmProcesoSync::notice(const QString& prompt, const QString& title, int timeoutMs) {
    Notice::show(this, prompt, title, timeoutMs);
}

void FrmProcesoSync::processEvents() { QCoreApplication::processEvents(); }

}  // namespace lumaro::app
