// The main window, the configuration dialog and the self-closing notice, on the offscreen
// platform. Modal boxes are recorded through MessageBox's seam; notices and file dialogs are
// real and are closed by the test (or by themselves).
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "AppTestSupport.h"
#include "app/FrmConfiguracion.h"
#include "app/FrmProcesoSync.h"
#include "app/MessageBox.h"
#include "app/Notice.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "app/UpDown.h"

using namespace lumaro;
using namespace lumaro::app;
using namespace lumaro::app::test;
using config::GrabarConfig;
using config::LeerConfig;

namespace {

struct Box {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

// Calls `act` with the first modal widget that shows up (polled every 10 ms).
void whenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(w);
        }
    });
    poll->start();
}

QColor textColour(const QCheckBox* box) { return box->palette().color(QPalette::WindowText); }

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<FakePhases> m_phases;
    std::unique_ptr<RunControl> m_control;
    std::unique_ptr<FrmProcesoSync> m_window;
    QList<Box> m_boxes;

    void start() {
        m_window = std::make_unique<FrmProcesoSync>(*m_control);
        m_control->arrancar();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    template <typename T>
    T* child(QWidget* parent, const char* name) {
        T* w = parent->findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr) qFatal("no control %s", name);
        return w;
    }
    std::unique_ptr<FrmConfiguracion> dialog() {
        auto d = std::make_unique<FrmConfiguracion>(*m_control);
        d->show();
        d->activateWindow();
        return d;
    }

private Q_SLOTS:
    void init() {
        m_folder = std::make_unique<ProgramFolder>();
        m_phases = std::make_unique<FakePhases>();
        m_control = std::make_unique<RunControl>(*m_phases);
        m_boxes.clear();
        MessageBox::setRecorder(
            [this](QMessageBox::Icon icon, const QString& caption, const QString& text) {
                m_boxes.append(Box{icon, caption, text});
            });
    }
    void cleanup() {
        MessageBox::setRecorder({});
        FrmConfiguracion::setFileChooserForTesting({});
        m_window.reset();
        m_control.reset();
        m_folder.reset();
    }

    void mainWindowControls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("Command1") << "Command1"
                                  << "Subir File"
                                  << "Iniciar" << true << true;
        QTest::newRow("Command5") << "Command5"
                                  << "Descargar"
                                  << "Salir" << false << false;
        QTest::newRow("Command6") << "Command6"
                                  << "Generar MDB Local"
                                  << "Generar Archivo a Sincronizar" << true << true;
        QTest::newRow("Command2") << "Command2"
                                  << "Parar"
                                  << "Parar" << true << false;
        QTest::newRow("Command3") << "Command3"
                                  << "Configurar"
                                  << "Configurar" << true << true;
        QTest::newRow("Command4") << "Command4"
                                  << "Salir"
                                  << "Salir" << true << true;
    }
    void mainWindowControls() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        QFETCH(bool, visible);
        QFETCH(bool, enabled);
        start();
        auto* b = m_window->findChild<QPushButton*>(name);
        QVERIFY(b != nullptr);
        QCOMPARE(b->text(), caption);
        QCOMPARE(b->toolTip(), toolTip);
        QCOMPARE(b->isVisible(), visible);
        QCOMPARE(b->isEnabled(), enabled);
        QVERIFY(!b->icon().isNull());
    }

    void mainWindowIdleAfterStartUp() {
        GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1"));
        start();
        auto* chk = child<QCheckBox>(m_window.get(), "chkSyncManual");
        QCOMPARE(chk->text(), QStringLiteral("Sync Manual"));
        QCOMPARE(chk->toolTip(), QStringLiteral("Solo permite Sincronizar una MDB, tiene que "
                                                "estar en la carpeta \\MDBs_descrgadas"));
        QVERIFY(!chk->isEnabled() && !chk->isChecked());
        QCOMPARE(child<QLabel>(m_window.get(), "lblProceso")->text(), QString());
        QCOMPARE(child<QLabel>(m_window.get(), "lblProceso")->font().family(),
                 QStringLiteral("Arial"));
        QCOMPARE(child<QLabel>(m_window.get(), "StatusBar1Panel1")->text(), texts::kDetenido);
        QCOMPARE(child<QListWidget>(m_window.get(), "List1")->count(), 0);
        QVERIFY(child<QListWidget>(m_window.get(), "List2") != nullptr);
        QVERIFY(child<QProgressBar>(m_window.get(), "pgEstado") != nullptr);
        QCOMPARE(m_phases->count("ProcesarCargaInicial"), 1);
        // The stored "AutoSync" does not arm the timer at start-up.
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QCOMPARE(m_window->windowTitle(),
                 QStringLiteral("Lumaro - Sincronización de datos entre Locales. Estado "
                                "automatico < DESACTIVADO >"));
    }

    void generarStaysDisabledWithTodaysSnapshot() {
        GrabarConfig(QStringLiteral("BD_Temp"), QStringLiteral("3_05122026.mdb"));
        start();
        QVERIFY(!child<QPushButton>(m_window.get(), "Command6")->isEnabled());
    }

    void buttonsAndTitleFollowTheRunControl() {
        start();
        m_control->habilitar_2(false);
        QVERIFY(!child<QPushButton>(m_window.get(), "Command1")->isEnabled());
        QVERIFY(!child<QPushButton>(m_window.get(), "Command4")->isEnabled());
        QVERIFY(child<QPushButton>(m_window.get(), "Command6")->isEnabled());
        QVERIFY(!child<QPushButton>(m_window.get(), "Command5")->isVisible());
        m_control->setTimerEnabled(true);
        QVERIFY(m_window->windowTitle().endsWith(QStringLiteral("< ACTIVADO >")));
    }

    void consoleShowsPanelsStepAndLists() {
        start();
        config::Console& c = config::console();
        QCOMPARE(&c, static_cast<config::Console*>(m_window.get()));
        c.setStep(QStringLiteral("Descargando datos"), 0x0000FF);
        auto* lbl = child<QLabel>(m_window.get(), "lblProceso");
        QCOMPARE(lbl->text(), QStringLiteral("Descargando datos"));
        QCOMPARE(lbl->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        c.addProblem(QStringLiteral("uno\r\nfalso"));
        QCOMPARE(child<QListWidget>(m_window.get(), "List1")->item(0)->text(),
                 QStringLiteral("uno  falso"));
        c.addFile(QStringLiteral("3_05122026.mdb"));
        QCOMPARE(child<QListWidget>(m_window.get(), "List2")->count(), 1);
        c.setProgress(0, 10, 4);
        QCOMPARE(child<QProgressBar>(m_window.get(), "pgEstado")->value(), 4);
        c.setEventPanel(QStringLiteral("Ultima Ejecucion"));
        QCOMPARE(child<QLabel>(m_window.get(), "StatusBar1Panel2")->text(),
                 QStringLiteral("Ultima Ejecucion"));
        c.setBusy(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        c.setBusy(false);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // Inside a cycle a box never waits: it becomes a notice that closes itself, and its text
    // goes to List1 and the log. Outside a cycle it stays modal.
    void boxInsideACycleBecomesANotice() {
        start();
        FrmProcesoSync::setAvisoEnCicloMs(150);
        m_phases->answered = true;
        QString titulo;
        m_phases->duranteMain = [&] {
            whenModal([&](QWidget* w) { titulo = w->windowTitle(); });
            config::console().messageBox(config::BoxIcon::Critical,
                                         QStringLiteral("Problemas de Configuración"),
                                         QStringLiteral("No existe registro de Locales en BD: X"));
        };
        QElapsedTimer clock;
        clock.start();
        m_control->Command1_Click();
        QVERIFY(clock.elapsed() >= 140);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(titulo, QStringLiteral("Problemas de Configuración"));
        QVERIFY(m_boxes.isEmpty());
        const auto* list1 = child<QListWidget>(m_window.get(), "List1");
        QCOMPARE(list1->count(), 1);
        QVERIFY(list1->item(0)->text().endsWith(
            QStringLiteral("Problemas de Configuración: No existe registro de Locales en BD: X")));
        QVERIFY(logMessages().contains(QStringLiteral(
            "Mensaje <Problemas de Configuración>: No existe registro de Locales en BD: X")));
        FrmProcesoSync::setAvisoEnCicloMs(30000);

        config::console().messageBox(config::BoxIcon::Exclamation, QString(),
                                     QStringLiteral("fuera del ciclo"));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(m_boxes[0].caption, texts::kTituloAplicacion);
    }

    void noticeClosesItselfAfterItsTimeout() {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString texto, titulo;
        int botones = 0;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box != nullptr);
            icon = box->icon();
            texto = box->text();
            titulo = box->windowTitle();
            botones = box->buttons().size();
        });
        QElapsedTimer clock;
        clock.start();
        Notice::show(nullptr, QStringLiteral("Creacion de BD Temp...OK"),
                     QStringLiteral("Estado de Procesos"), 300);
        QVERIFY(clock.elapsed() >= 290);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(texto, QStringLiteral("Creacion de BD Temp...OK"));
        QCOMPARE(titulo, QStringLiteral("Estado de Procesos"));
        QCOMPARE(botones, 1);
    }

    void noticeClosedByHandClosesNothingElse() {
        // Another box with the same title stays open: the notice's timer closes only its own.
        QMessageBox other(QMessageBox::Information, QStringLiteral("Estado de Procesos"),
                          QStringLiteral("otra"));
        other.setModal(false);
        other.show();
        whenModal([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        QElapsedTimer clock;
        clock.start();
        Notice::show(nullptr, QStringLiteral("Los Datos se pasaron correctamente"),
                     QStringLiteral("Estado de Procesos"), 3000);
        QVERIFY(clock.elapsed() < 2500);
        QTest::qWait(3200 - int(clock.elapsed()));
        QVERIFY(other.isVisible());
    }

    void twoNoticesEachWithTheirOwnTimeoutAndTitle() {
        QStringList titulos;
        whenModal([&](QWidget* w) { titulos << w->windowTitle(); });
        QElapsedTimer clock;
        clock.start();
        Notice::show(nullptr, QStringLiteral("DESCARGANDO..."), QStringLiteral("DESCARGANDO..."),
                     100);
        const qint64 primera = clock.restart();
        whenModal([&](QWidget* w) { titulos << w->windowTitle(); });
        Notice::show(nullptr, QStringLiteral("SUBIENDO archivo..."),
                     QStringLiteral("Transferencia de archivo"), 400);
        const qint64 segunda = clock.elapsed();
        QCOMPARE(titulos, (QStringList{"DESCARGANDO...", "Transferencia de archivo"}));
        QVERIFY(primera >= 90 && primera < 390);
        QVERIFY(segunda >= 390);
    }

    void configurarRefusedDuringARun() {
        start();
        m_control->habilitar(false);
        QTest::mouseClick(child<QPushButton>(m_window.get(), "Command3"), Qt::LeftButton);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].icon, QMessageBox::Information);
        QCOMPARE(m_boxes[0].caption, QStringLiteral("Configuración"));
        QVERIFY(m_window->findChildren<FrmConfiguracion*>().isEmpty());
    }

    void configurarOpensTheDialog() {
        start();
        QString titulo;
        whenModal([&](QWidget* w) {
            titulo = w->windowTitle();
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdCancelar")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>(m_window.get(), "Command3"), Qt::LeftButton);
        QCOMPARE(titulo, QStringLiteral("Configuración"));
        QVERIFY(m_boxes.isEmpty());
    }

    void salirAndCloseBox() {
        GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1"));
        start();
        QSignalSpy quit(m_control.get(), &RunControl::quitRequested);
        m_window->close();
        QCOMPARE(quit.count(), 1);
        QCOMPARE(LeerConfig(QStringLiteral("AutoSync")), QStringLiteral("1"));
        m_window->show();
        QTest::mouseClick(child<QPushButton>(m_window.get(), "Command4"), Qt::LeftButton);
        QCOMPARE(quit.count(), 2);
        QCOMPARE(LeerConfig(QStringLiteral("AutoSync")), QStringLiteral("0"));
    }

    void pararButtonWrites() {
        GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1"));
        start();
        m_control->habilitar(false);
        clearLog();
        QTest::mouseClick(child<QPushButton>(m_window.get(), "Command2"), Qt::LeftButton);
        QCOMPARE(logMessages().size(), 1);
        QCOMPARE(LeerConfig(QStringLiteral("AutoSync")), QStringLiteral("0"));
        QVERIFY(child<QPushButton>(m_window.get(), "Command1")->isEnabled());
        QVERIFY(m_window->windowTitle().endsWith(QStringLiteral("< DESACTIVADO >")));
    }

    void dialogControls() {
        auto d = dialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("Configuración"));
        QCOMPARE(child<QCheckBox>(d.get(), "chkSyncAuto")->text(),
                 QStringLiteral("Sincronizacion Automatica"));
        QCOMPARE(child<QPushButton>(d.get(), "cmdAceptar")->text(), QStringLiteral("Aceptar"));
        QCOMPARE(child<QPushButton>(d.get(), "cmdCancelar")->text(), QStringLiteral("Cancelar"));
        const QString tip = QStringLiteral(
            "Ruta donde se encuentra archivo MDB para Sincronizar con otros locales");
        QCOMPARE(child<QLineEdit>(d.get(), "txtRutaLumaro")->toolTip(), tip);
        QCOMPARE(child<QLineEdit>(d.get(), "txtRutaDestino")->toolTip(), tip);
        QStringList labels;
        for (const QLabel* l : d->findChildren<QLabel*>()) labels << l->text();
        for (const char* l : {"Sincronizacion Nro 1:", "Sincronizacion Nro 2:", "Hora (0 - 23)",
                              "Minuto (0 - 59)", "Nombre de Base de Datos de Seguridad:",
                              "Ruta Local para Sincronizacion entre Locales:"})
            QVERIFY2(labels.contains(QString::fromUtf8(l)), l);
        QStringList frames;
        for (const QGroupBox* g : d->findChildren<QGroupBox*>()) frames << g->title();
        QCOMPARE(frames,
                 (QStringList{"Establecer Tiempos de Sincronizacion:", "Establecer Archivos:"}));
    }

    void dialogLoads_data() {
        QTest::addColumn<bool>("settings");
        QTest::newRow("no settings") << false;
        QTest::newRow("settings") << true;
    }
    void dialogLoads() {
        QFETCH(bool, settings);
        if (settings) {
            for (const auto& [k, v] : {std::pair{"Hora1", "2"},
                                       {"Minuto1", "15"},
                                       {"Hora2", "14"},
                                       {"Minuto2", "30"},
                                       {"AutoSync", "1"},
                                       {"RtDbf", "/srv/out"},
                                       {"BD_Prod_local", "/srv/S.mdb"}})
                GrabarConfig(QString::fromLatin1(k), QString::fromLatin1(v));
        }
        auto d = dialog();
        const QStringList expected =
            settings ? QStringList{"2", "15", "14", "30"} : QStringList{"0", "0", "0", "0"};
        QStringList got;
        for (const char* n : {"txtH1", "txtM1", "txtH2", "txtM2"})
            got << child<QLineEdit>(d.get(), n)->text();
        QCOMPARE(got, expected);
        auto* chk = child<QCheckBox>(d.get(), "chkSyncAuto");
        QCOMPARE(chk->isChecked(), settings);
        QCOMPARE(textColour(chk), settings ? QColor(0, 255, 0) : QColor(0, 0, 0));
        QCOMPARE(child<QLineEdit>(d.get(), "txtRutaDestino")->text(),
                 settings ? QStringLiteral("/srv/out") : QString());
        QCOMPARE(child<QLineEdit>(d.get(), "txtRutaLumaro")->text(),
                 settings ? QStringLiteral("/srv/S.mdb") : QString());
        chk->setChecked(!settings);
        QCOMPARE(textColour(chk), !settings ? QColor(0, 255, 0) : QColor(0, 0, 0));
    }

    void validarData_data() {
        QTest::addColumn<QStringList>("campos");  // txtH1, txtM1, txtH2, txtM2
        QTest::addColumn<QString>("mensaje");     // empty: valid
        QTest::addColumn<QString>("foco");
        const QString vacio =
            QStringLiteral("Datos Incorrectos, Debe ingresar Horario de Sincronización");
        const QString hora = QStringLiteral("Datos Incorrectos - Hora");
        const QString min = QStringLiteral("Datos Incorrectos - Minutos");
        QTest::newRow("limits") << QStringList{"23", "59", "0", "0"} << ""
                                << "";
        QTest::newRow("one digit") << QStringList{"2", "5", "14", "30"} << ""
                                   << "";
        QTest::newRow("empty before range") << QStringList{"24", "59", "0", ""} << vacio << "";
        QTest::newRow("hour 24") << QStringList{"24", "0", "1", "0"} << hora << "txtH1";
        QTest::newRow("second hour") << QStringList{"1", "0", "24", "0"} << hora << "txtH2";
        QTest::newRow("hour -1") << QStringList{"-1", "0", "1", "0"} << hora << "txtH1";
        QTest::newRow("hour letters") << QStringList{"ab", "0", "1", "0"} << hora << "txtH1";
        QTest::newRow("hour 1.5") << QStringList{"1.5", "0", "1", "0"} << hora << "txtH1";
        QTest::newRow("hour 1e1") << QStringList{"1e1", "0", "1", "0"} << hora << "txtH1";
        QTest::newRow("hours before minutes")
            << QStringList{"1", "60", "24", "0"} << hora << "txtH2";
        QTest::newRow("minute 60") << QStringList{"1", "60", "1", "0"} << min << "txtM1";
        QTest::newRow("second minute") << QStringList{"1", "0", "1", "99"} << min << "txtM2";
        QTest::newRow("minute three digits") << QStringList{"1", "005", "1", "0"} << min << "txtM1";
    }
    void validarData() {
        QFETCH(QStringList, campos);
        QFETCH(QString, mensaje);
        QFETCH(QString, foco);
        auto d = dialog();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        const char* names[] = {"txtH1", "txtM1", "txtH2", "txtM2"};
        for (int i = 0; i < 4; ++i) child<QLineEdit>(d.get(), names[i])->setText(campos[i]);
        child<QPushButton>(d.get(), "cmdAceptar")->setFocus();
        QCOMPARE(d->validarData(), mensaje.isEmpty());
        if (mensaje.isEmpty()) {
            QVERIFY(m_boxes.isEmpty());
            return;
        }
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, mensaje);
        QCOMPARE(m_boxes[0].icon, QMessageBox::NoIcon);
        QCOMPARE(m_boxes[0].caption, texts::kTituloAplicacion);
        if (!foco.isEmpty()) QCOMPARE(d->focusWidget()->objectName(), foco);
    }

    void aceptar_data() {
        QTest::addColumn<bool>("automatico");
        QTest::newRow("ticked") << true;
        QTest::newRow("not ticked") << false;
    }
    void aceptar() {
        QFETCH(bool, automatico);
        m_control->setTimerEnabled(!automatico);
        auto d = dialog();
        child<QLineEdit>(d.get(), "txtH1")->setText(QStringLiteral("2"));
        child<QLineEdit>(d.get(), "txtM1")->setText(QStringLiteral("05"));
        child<QLineEdit>(d.get(), "txtH2")->setText(QStringLiteral("14"));
        child<QLineEdit>(d.get(), "txtM2")->setText(QStringLiteral("30"));
        child<QLineEdit>(d.get(), "txtRutaDestino")->setText(QStringLiteral("/srv/out"));
        child<QCheckBox>(d.get(), "chkSyncAuto")->setChecked(automatico);
        QTest::mouseClick(child<QPushButton>(d.get(), "cmdAceptar"), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(LeerConfig(QStringLiteral("Minuto1")), QStringLiteral("05"));
        QCOMPARE(LeerConfig(QStringLiteral("Hora2")), QStringLiteral("14"));
        QCOMPARE(LeerConfig(QStringLiteral("RtDbf")), QStringLiteral("/srv/out"));
        QCOMPARE(LeerConfig(QStringLiteral("AutoSync")),
                 automatico ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(m_control->timerEnabled(), automatico);
        QCOMPARE(m_control->title(), RunControl::tituloPara(automatico));
        QCOMPARE(logMessages(),
                 QStringList{automatico ? QStringLiteral("El estado automatico del programa es : < "
                                                         "ACTIVADO >.")
                                        : QStringLiteral("El estado automatico del programa es : < "
                                                         "DESACTIVADO >.")});
    }

    void nothingWrittenBeforeAceptar_data() {
        QTest::addColumn<QString>("hora");
        QTest::addColumn<QString>("boton");
        QTest::newRow("invalid") << "24"
                                 << "cmdAceptar";
        QTest::newRow("cancelled") << "5"
                                   << "cmdCancelar";
    }
    void nothingWrittenBeforeAceptar() {
        QFETCH(QString, hora);
        QFETCH(QString, boton);
        auto d = dialog();
        child<QLineEdit>(d.get(), "txtH1")->setText(hora);
        child<QCheckBox>(d.get(), "chkSyncAuto")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(d.get(), qPrintable(boton)), Qt::LeftButton);
        QVERIFY(!QFile::exists(config::settingsPath()));
        QVERIFY(!m_control->timerEnabled());
    }

    // The two browse buttons: their dialogs, and what the chosen file fills in.
    void browse_data() {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<QString>("titulo");
        QTest::addColumn<bool>("lumaro");
        QTest::newRow("folder") << "cmdBuscarMDB"
                                << "Seleccionar Ruta Local para Sincronización" << false;
        QTest::newRow("security database") << "cmdMDBLumaro"
                                           << "Establecer Base de Datos [Seguridad.mdb]" << true;
    }
    void browse() {
        QFETCH(QString, boton);
        QFETCH(QString, titulo);
        QFETCH(bool, lumaro);
        m_folder->touch(QStringLiteral("datos/Seguridad.mdb"));
        const QString elegido = m_folder->file(QStringLiteral("datos/Seguridad.mdb"));
        auto d = dialog();
        child<QLineEdit>(d.get(), "txtRutaLumaro")->setText(QStringLiteral("antes"));
        QString tituloVisto, sufijo, carpeta;
        QStringList filtros;
        FrmConfiguracion::setFileChooserForTesting([&](QFileDialog& fd) {
            tituloVisto = fd.windowTitle();
            filtros = fd.nameFilters();
            sufijo = fd.defaultSuffix();
            carpeta = fd.directory().absolutePath();
            return elegido;
        });
        QTest::mouseClick(child<QPushButton>(d.get(), qPrintable(boton)), Qt::LeftButton);
        QCOMPARE(tituloVisto, titulo);
        QCOMPARE(filtros,
                 (QStringList{"Base de Datos Ms Access (*.mdb)", "Todos los Archivos(*.*)"}));
        QCOMPARE(sufijo, QStringLiteral("MDB"));
        QCOMPARE(carpeta, QDir(m_folder->path()).absolutePath());
        QCOMPARE(child<QLineEdit>(d.get(), "txtRutaDestino")->text(),
                 QDir::toNativeSeparators(m_folder->file(QStringLiteral("datos"))));
        QCOMPARE(child<QLineEdit>(d.get(), "txtRutaLumaro")->text(),
                 lumaro ? QDir::toNativeSeparators(elegido) : QStringLiteral("antes"));
    }

    void browseCancelledChangesNothing() {
        auto d = dialog();
        child<QLineEdit>(d.get(), "txtRutaDestino")->setText(QStringLiteral("antes"));
        FrmConfiguracion::setFileChooserForTesting([](QFileDialog&) { return QString(); });
        QTest::mouseClick(child<QPushButton>(d.get(), "cmdMDBLumaro"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(d.get(), "txtRutaDestino")->text(), QStringLiteral("antes"));
        QVERIFY(m_boxes.isEmpty());
    }

    void spinnerSteps_data() {
        QTest::addColumn<QString>("antes");
        QTest::addColumn<bool>("arriba");
        QTest::addColumn<QString>("despues");
        QTest::newRow("up") << "5" << true << "6";
        QTest::newRow("down") << "5" << false << "4";
        QTest::newRow("top") << "23" << true << "23";
        QTest::newRow("bottom") << "0" << false << "0";
        QTest::newRow("not a number") << "ab" << true << "0";
    }
    void spinnerSteps() {
        QFETCH(QString, antes);
        QFETCH(bool, arriba);
        QFETCH(QString, despues);
        QLineEdit field(antes);
        UpDown spinner(&field, 0, 23);
        if (arriba)
            spinner.stepUp();
        else
            spinner.stepDown();
        QCOMPARE(field.text(), despues);
    }
};

QTEST_MAIN(TestWindows)
#include "TestWindows.moc"
