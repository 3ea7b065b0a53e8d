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
#include <QPointer>
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

// Calls `act` with the first modal widget that shows up (polled every 10 ms, until then).
QPointer<QTimer> whenModal(std::function<void(QWidget*)> act) {
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
    return poll;
}

template <typename T>
T* child(QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
}
QLineEdit* field(QWidget* parent, const char* name) { return child<QLineEdit>(parent, name); }
void click(QWidget* parent, const char* button) {
    QTest::mouseClick(child<QPushButton>(parent, button), Qt::LeftButton);
}

QColor textColour(const QCheckBox* box) { return box->palette().color(QPalette::WindowText); }

const char* const kHoras[] = {"txtH1", "txtM1", "txtH2", "txtM2"};

struct ValidarRow {
    const char* name;
    const char* campos;   // txtH1|txtM1|txtH2|txtM2
    const char* mensaje;  // empty: valid
    const char* foco = "";
};
const char* const kVacio = "Datos Incorrectos, Debe ingresar Horario de Sincronización";
const char* const kHora = "Datos Incorrectos - Hora";
const char* const kMin = "Datos Incorrectos - Minutos";
const ValidarRow kValidar[] = {
    {"limits", "23|59|0|0", ""},
    {"one digit", "2|5|14|30", ""},
    {"empty before range", "24|59|0|", kVacio},
    {"hour 24", "24|0|1|0", kHora, "txtH1"},
    {"second hour", "1|0|24|0", kHora, "txtH2"},
    {"hour -1", "-1|0|1|0", kHora, "txtH1"},
    {"hour letters", "ab|0|1|0", kHora, "txtH1"},
    {"hour 1.5", "1.5|0|1|0", kHora, "txtH1"},
    {"hour 1e1", "1e1|0|1|0", kHora, "txtH1"},
    {"hours before minutes", "1|60|24|0", kHora, "txtH2"},
    {"minute 60", "1|60|1|0", kMin, "txtM1"},
    {"second minute", "1|0|1|99", kMin, "txtM2"},
    {"minute three digits", "1|005|1|0", kMin, "txtM1"},
};

}  // namespace

class TestWindows : public RigTest {
    Q_OBJECT

private:
    std::unique_ptr<FrmProcesoSync> m_window;
    QList<Box> m_boxes;

    FrmProcesoSync* start() {
        m_window = std::make_unique<FrmProcesoSync>(control());
        control().arrancar();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get())) qFatal("window not shown");
        return m_window.get();
    }
    std::unique_ptr<FrmConfiguracion> dialog() {
        auto d = std::make_unique<FrmConfiguracion>(control());
        d->show();
        d->activateWindow();
        return d;
    }

private Q_SLOTS:
    void init() {
        m_rig = std::make_unique<Rig>(false);
        m_boxes.clear();
        MessageBox::setRecorder([this](QMessageBox::Icon i, const QString& c, const QString& t) {
            m_boxes.append(Box{i, c, t});
        });
    }
    void cleanup() {
        MessageBox::setRecorder({});
        FrmConfiguracion::setFileChooserForTesting({});
        m_window.reset();
        m_rig.reset();
    }

    void mainWindowAfterStartUp() {
        GrabarConfig("AutoSync", "1");
        QWidget* w = start();
        const struct {
            const char *name, *caption, *toolTip;
            bool visible, enabled;
        } buttons[] = {
            {"Command1", "Subir File", "Iniciar", true, true},
            {"Command5", "Descargar", "Salir", false, false},
            {"Command6", "Generar MDB Local", "Generar Archivo a Sincronizar", true, true},
            {"Command2", "Parar", "Parar", true, false},
            {"Command3", "Configurar", "Configurar", true, true},
            {"Command4", "Salir", "Salir", true, true}};
        for (const auto& b : buttons) {
            const auto* button = child<QPushButton>(w, b.name);
            QCOMPARE(button->text(), QString::fromLatin1(b.caption));
            QCOMPARE(button->toolTip(), QString::fromLatin1(b.toolTip));
            QCOMPARE(button->isVisible(), b.visible);
            QCOMPARE(button->isEnabled(), b.enabled);
            QVERIFY(!button->icon().isNull());
        }
        auto* chk = child<QCheckBox>(w, "chkSyncManual");
        QCOMPARE(chk->text(), QStringLiteral("Sync Manual"));
        QCOMPARE(chk->toolTip(), QStringLiteral("Solo permite Sincronizar una MDB, tiene que "
                                                "estar en la carpeta \\MDBs_descrgadas"));
        QVERIFY(!chk->isEnabled() && !chk->isChecked());
        QCOMPARE(child<QLabel>(w, "lblProceso")->font().family(), QStringLiteral("Arial"));
        QCOMPARE(child<QLabel>(w, "StatusBar1Panel1")->text(), texts::kDetenido);
        for (const char* lista : {"List1", "List2"})
            QCOMPARE(child<QListWidget>(w, lista)->count(), 0);
        QVERIFY(child<QProgressBar>(w, "pgEstado") != nullptr);
        QCOMPARE(phases().count("ProcesarCargaInicial"), 1);
        // The stored "AutoSync" does not arm the timer at start-up.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->windowTitle(), QStringLiteral("Lumaro - Sincronización de datos entre Locales. "
                                                  "Estado automatico < DESACTIVADO >"));
        // The window follows the run control.
        control().habilitar_2(false);
        QVERIFY(!child<QPushButton>(w, "Command1")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "Command4")->isEnabled());
        QVERIFY(child<QPushButton>(w, "Command6")->isEnabled());
        control().setTimerEnabled(true);
        QVERIFY(w->windowTitle().endsWith(QStringLiteral("< ACTIVADO >")));
    }

    // The window is the console of the phases: step colour, problem lines on one line each,
    // the busy pointer.
    void windowIsTheConsole() {
        QWidget* w = start();
        config::Console& c = config::console();
        QCOMPARE(&c, static_cast<config::Console*>(m_window.get()));
        c.setStep(QStringLiteral("Descargando datos"), 0x0000FF);
        QCOMPARE(child<QLabel>(w, "lblProceso")->palette().color(QPalette::WindowText),
                 QColor(0, 0, 255));
        c.addProblem(QStringLiteral("uno\r\nfalso"));
        QCOMPARE(child<QListWidget>(w, "List1")->item(0)->text(), QStringLiteral("uno  falso"));
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
        phases().answered = true;
        QString titulo;
        phases().duranteMain = [&] {
            whenModal([&](QWidget* w) { titulo = w->windowTitle(); });
            config::console().messageBox(config::BoxIcon::Critical,
                                         QStringLiteral("Problemas de Configuración"),
                                         QStringLiteral("No existe registro de Locales en BD: X"));
        };
        QElapsedTimer clock;
        clock.start();
        control().Command1_Click();
        QVERIFY(clock.elapsed() >= 140 && clock.elapsed() < 10000);
        FrmProcesoSync::setAvisoEnCicloMs(30000);
        QCOMPARE(titulo, QStringLiteral("Problemas de Configuración"));
        QVERIFY(m_boxes.isEmpty());
        const auto* list1 = child<QListWidget>(m_window.get(), "List1");
        QCOMPARE(list1->count(), 1);
        QVERIFY(list1->item(0)->text().endsWith(
            QStringLiteral("Problemas de Configuración: No existe registro de Locales en BD: X")));
        QVERIFY(logMessages().contains(QStringLiteral(
            "Mensaje <Problemas de Configuración>: No existe registro de Locales en BD: X")));

        config::console().messageBox(config::BoxIcon::Exclamation, QString(),
                                     QStringLiteral("fuera del ciclo"));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(m_boxes[0].caption, texts::kTituloAplicacion);
    }

    // Two notices, each closing itself after its own timeout, under its own title.
    void noticesCloseThemselves() {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString texto;
        QStringList titulos;
        int botones = 0;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            icon = box->icon();
            texto = box->text();
            titulos << box->windowTitle();
            botones = int(box->buttons().size());
        });
        QElapsedTimer clock;
        clock.start();
        Notice::show(nullptr, QStringLiteral("Creacion de BD Temp...OK"),
                     QStringLiteral("Estado de Procesos"), 100);
        const qint64 primera = clock.restart();
        whenModal([&](QWidget* w) { titulos << w->windowTitle(); });
        Notice::show(nullptr, QStringLiteral("SUBIENDO archivo..."),
                     QStringLiteral("Transferencia de archivo"), 400);
        const qint64 segunda = clock.elapsed();
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(texto, QStringLiteral("Creacion de BD Temp...OK"));
        QCOMPARE(botones, 1);
        QCOMPARE(titulos, (QStringList{"Estado de Procesos", "Transferencia de archivo"}));
        QVERIFY(primera >= 90 && primera < 390);
        QVERIFY(segunda >= 390 && segunda < 10000);
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

    // "Configurar" opens the dialog, unless a run is under way.
    void configurar_data() {
        QTest::addColumn<bool>("enCurso");
        QTest::newRow("idle") << false;
        QTest::newRow("during a run") << true;
    }
    void configurar() {
        QFETCH(bool, enCurso);
        QWidget* w = start();
        control().habilitar(!enCurso);
        QString titulo;
        QPointer<QTimer> poll = whenModal([&](QWidget* d) {
            titulo = d->windowTitle();
            click(d, "cmdCancelar");
        });
        click(w, "Command3");
        delete poll.data();
        QCOMPARE(titulo, enCurso ? QString() : QStringLiteral("Configuración"));
        QCOMPARE(m_boxes.size(), enCurso ? 1 : 0);
        if (!enCurso) return;
        QCOMPARE(m_boxes[0].icon, QMessageBox::Information);
        QCOMPARE(m_boxes[0].caption, QStringLiteral("Configuración"));
        QCOMPARE(m_boxes[0].text,
                 QStringLiteral("Para ver la configuracion del programa,\r\nprimero "
                                "debe Detener (Parar) el proceso en curso."));
    }

    // The close box, "Parar" and "Salir" reach the run control: the close box leaves the
    // settings alone, the other two switch the automatic mode off.
    void closeBoxPararAndSalir() {
        GrabarConfig("AutoSync", "1");
        QWidget* w = start();
        QSignalSpy quit(&control(), &RunControl::quitRequested);
        w->close();
        QCOMPARE(quit.count(), 1);
        QCOMPARE(LeerConfig("AutoSync"), QStringLiteral("1"));
        w->show();
        control().habilitar(false);
        click(w, "Command2");
        QVERIFY(child<QPushButton>(w, "Command1")->isEnabled());
        QCOMPARE(LeerConfig("AutoSync"), QStringLiteral("0"));
        GrabarConfig("AutoSync", "1");
        click(w, "Command4");
        QCOMPARE(quit.count(), 2);
        QCOMPARE(LeerConfig("AutoSync"), QStringLiteral("0"));
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
        QCOMPARE(field(d.get(), "txtRutaLumaro")->toolTip(), tip);
        QCOMPARE(field(d.get(), "txtRutaDestino")->toolTip(), tip);
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
        const char* const claves[] = {"Hora1",   "Minuto1", "Hora2",
                                      "Minuto2", "RtDbf",   "BD_Prod_local"};
        const char* const campos[] = {"txtH1", "txtM1",          "txtH2",
                                      "txtM2", "txtRutaDestino", "txtRutaLumaro"};
        const QStringList valores{"2", "15", "14", "30", "/srv/out", "/srv/S.mdb"};
        if (settings) {
            for (int i = 0; i < 6; ++i) GrabarConfig(claves[i], valores[i]);
            GrabarConfig("AutoSync", "1");
        }
        auto d = dialog();
        QStringList got;
        for (const char* n : campos) got << field(d.get(), n)->text();
        QCOMPARE(got, (settings ? valores : QStringList{"0", "0", "0", "0", "", ""}));
        auto* chk = child<QCheckBox>(d.get(), "chkSyncAuto");
        QCOMPARE(chk->isChecked(), settings);
        const QColor verde(0, 255, 0), negro(0, 0, 0);
        QCOMPARE(textColour(chk), settings ? verde : negro);
        chk->setChecked(!settings);
        QCOMPARE(textColour(chk), settings ? negro : verde);
    }

    void validarData_data() { addRows(kValidar); }
    void validarData() {
        QFETCH(int, row);
        const ValidarRow& r = kValidar[row];
        auto d = dialog();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        const QStringList campos = QString::fromLatin1(r.campos).split(QLatin1Char('|'));
        for (int i = 0; i < 4; ++i) field(d.get(), kHoras[i])->setText(campos[i]);
        child<QPushButton>(d.get(), "cmdAceptar")->setFocus();
        QCOMPARE(d->validarData(), *r.mensaje == '\0');
        QCOMPARE(m_boxes.size(), *r.mensaje ? 1 : 0);
        if (m_boxes.isEmpty()) return;
        QCOMPARE(m_boxes[0].text, QString::fromUtf8(r.mensaje));
        QCOMPARE(m_boxes[0].icon, QMessageBox::NoIcon);
        QCOMPARE(m_boxes[0].caption, texts::kTituloAplicacion);
        if (*r.foco) QCOMPARE(d->focusWidget()->objectName(), QString::fromLatin1(r.foco));
    }

    // "Aceptar" writes the settings, arms or disarms the timer and logs the automatic state;
    // nothing is written when the data is invalid or the dialog is cancelled.
    void aceptar_data() {
        QTest::addColumn<QString>("hora");
        QTest::addColumn<bool>("automatico");
        QTest::addColumn<QString>("boton");
        QTest::newRow("ticked") << "2" << true << "cmdAceptar";
        QTest::newRow("not ticked") << "2" << false << "cmdAceptar";
        QTest::newRow("invalid") << "24" << true << "cmdAceptar";
        QTest::newRow("cancelled") << "2" << true << "cmdCancelar";
    }
    void aceptar() {
        QFETCH(QString, hora);
        QFETCH(bool, automatico);
        QFETCH(QString, boton);
        const bool escribe = hora == "2" && boton == "cmdAceptar";
        control().setTimerEnabled(escribe && !automatico);
        auto d = dialog();
        const char* const valores[] = {"", "05", "14", "30"};
        for (int i = 1; i < 4; ++i) field(d.get(), kHoras[i])->setText(valores[i]);
        field(d.get(), "txtH1")->setText(hora);
        field(d.get(), "txtRutaDestino")->setText("/srv/out");
        child<QCheckBox>(d.get(), "chkSyncAuto")->setChecked(automatico);
        click(d.get(), qPrintable(boton));
        if (!escribe) {
            QVERIFY(!QFile::exists(config::settingsPath()));
            QVERIFY(!control().timerEnabled());
            return;
        }
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(LeerConfig("Minuto1"), QStringLiteral("05"));
        QCOMPARE(LeerConfig("Hora2"), QStringLiteral("14"));
        QCOMPARE(LeerConfig("RtDbf"), QStringLiteral("/srv/out"));
        QCOMPARE(LeerConfig("AutoSync"), QString::number(int(automatico)));
        QCOMPARE(control().timerEnabled(), automatico);
        QCOMPARE(control().title(), RunControl::tituloPara(automatico));
        QCOMPARE(logMessages(),
                 QStringList{QStringLiteral("El estado automatico del programa es : "
                                            "< %1 >.")
                                 .arg(QLatin1String(automatico ? "ACTIVADO" : "DESACTIVADO"))});
    }

    // The two browse buttons: their dialogs, and what the chosen file fills in (nothing when
    // cancelled).
    void browse_data() {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<QString>("titulo");
        QTest::addColumn<bool>("lumaro");
        QTest::addColumn<bool>("cancelado");
        const QString carpeta = QStringLiteral("Seleccionar Ruta Local para Sincronización");
        const QString seguridad = QStringLiteral("Establecer Base de Datos [Seguridad.mdb]");
        QTest::newRow("folder") << "cmdBuscarMDB" << carpeta << false << false;
        QTest::newRow("security database") << "cmdMDBLumaro" << seguridad << true << false;
        QTest::newRow("cancelled") << "cmdMDBLumaro" << seguridad << true << true;
    }
    void browse() {
        QFETCH(QString, boton);
        QFETCH(QString, titulo);
        QFETCH(bool, lumaro);
        QFETCH(bool, cancelado);
        folder().touch(QStringLiteral("datos/Seguridad.mdb"));
        const QString elegido = folder().file(QStringLiteral("datos/Seguridad.mdb"));
        auto d = dialog();
        for (const char* n : {"txtRutaLumaro", "txtRutaDestino"})
            field(d.get(), n)->setText(QStringLiteral("antes"));
        QString tituloVisto, sufijo, carpeta;
        QStringList filtros;
        FrmConfiguracion::setFileChooserForTesting([&](QFileDialog& fd) {
            tituloVisto = fd.windowTitle();
            filtros = fd.nameFilters();
            sufijo = fd.defaultSuffix();
            carpeta = fd.directory().absolutePath();
            return cancelado ? QString() : elegido;
        });
        click(d.get(), qPrintable(boton));
        QCOMPARE(tituloVisto, titulo);
        QCOMPARE(filtros,
                 (QStringList{"Base de Datos Ms Access (*.mdb)", "Todos los Archivos(*.*)"}));
        QCOMPARE(sufijo, QStringLiteral("MDB"));
        QCOMPARE(carpeta, QDir(folder().path()).absolutePath());
        // The folder of the chosen file, never the file itself, is the exchange folder.
        const QString antes = QStringLiteral("antes");
        QCOMPARE(
            field(d.get(), "txtRutaDestino")->text(),
            cancelado ? antes : QDir::toNativeSeparators(folder().file(QStringLiteral("datos"))));
        QCOMPARE(field(d.get(), "txtRutaLumaro")->text(),
                 lumaro && !cancelado ? QDir::toNativeSeparators(elegido) : antes);
        QVERIFY(m_boxes.isEmpty());
    }

    void spinnerSteps() {
        const struct {
            const char *antes, *despues;
            bool arriba;
        } pasos[] = {{"5", "6", true},
                     {"5", "4", false},
                     {"23", "23", true},
                     {"0", "0", false},
                     {"ab", "0", true}};
        for (const auto& p : pasos) {
            QLineEdit campo(QString::fromLatin1(p.antes));
            UpDown spinner(&campo, 0, 23);
            p.arriba ? spinner.stepUp() : spinner.stepDown();
            QCOMPARE(campo.text(), QString::fromLatin1(p.despues));
        }
    }
};

QTEST_MAIN(TestWindows)
#include "TestWindows.moc"
