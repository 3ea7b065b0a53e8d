// The windows on the offscreen platform; modal boxes recorded through MessageBox's seam.
#include <QtTest>
#include <QtWidgets>

#include "AppTestSupport.h"
#include "app/ArchivoEstado.h"
#include "app/FrmConfiguracion.h"
#include "app/FrmProcesoSync.h"
#include "app/MessageBox.h"
#include "app/Notice.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "app/UpDown.h"
#include "db/clsLocal.h"
#include "ledger/Ledger.h"

using namespace lumaro;
using namespace lumaro::app;
using namespace lumaro::app::test;
using config::GrabarConfig;
using config::LeerConfig;

namespace {

using Box = std::tuple<QMessageBox::Icon, QString, QString>;  // icon, caption, text

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

const char* const kCampos[] = {"txtH1", "txtM1",          "txtH2",
                               "txtM2", "txtRutaDestino", "txtRutaLumaro"};

// "Aceptar" with the four hour fields; a message: refused with that box and focus on `foco`.
struct AceptarRow {
    const char* name;
    const char* campos;  // txtH1|txtM1|txtH2|txtM2
    const char* mensaje = "";
    const char* foco = "";
    bool automatico = true;
    const char* boton = "cmdAceptar";
};
const char* const kVacio = "Datos Incorrectos, Debe ingresar Horario de Sincronización";
const char* const kHora = "Datos Incorrectos - Hora";
const char* const kMin = "Datos Incorrectos - Minutos";
const AceptarRow kAceptar[] = {
    {"limits", "23|59|0|0"},
    {"one digit, ticked", "2|5|14|30"},
    {"not ticked", "2|05|14|30", "", "", false},
    {"cancelled", "2|05|14|30", "", "", true, "cmdCancelar"},
    {"empty before range", "24|59|0|", kVacio},
    {"hour 24", "24|0|1|0", kHora, "txtH1"},
    {"second hour", "1|0|24|0", kHora, "txtH2"},
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

    // Start-up buttons, mirror fill, title; the window follows the control as the console; buttons
    // and close box reach the control, and "Configurar" in a run says why it does not open;
    // "Historial" shows the ledger's last 14 days, read-only, and is off while a cycle runs.
    void mainWindow() {
        GrabarConfig("AutoSync", "1");
        QVERIFY(ledger::crearLedger(ledger::rutaLedger()));
        QVERIFY(ledger::registrarDescarga("2", QDate(2026, 12, 1), "1"));
        QVERIFY(ledger::registrarDescarga("2", QDate(2026, 12, 3), "0"));
        QVERIFY(ledger::registrarDescarga("2", QDate(2026, 11, 1), "1"));  // older than 14 days
        QWidget* w = start();
        QString botones;  // each button: V(isible) and E(nabled), or -
        for (const char* n :
             {"Command1", "Command5", "Command6", "Command2", "Command3", "Command4"}) {
            const auto* b = child<QPushButton>(w, n);
            botones += QLatin1String(b->isVisible() ? "V" : "-") + (b->isEnabled() ? "E " : "- ");
        }
        QCOMPARE(botones, QStringLiteral("VE -- VE V- VE VE "));
        QVERIFY(!child<QCheckBox>(w, "chkSyncManual")->isEnabled());
        QCOMPARE(child<QLabel>(w, "StatusBar1Panel1")->text(), texts::kDetenido);
        QCOMPARE(phases().count("ProcesarCargaInicial"), 1);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->windowTitle(), QStringLiteral("Lumaro - Sincronización de datos entre Locales. "
                                                  "Estado automatico < DESACTIVADO >"));
        QSignalSpy quit(&control(), &RunControl::quitRequested);
        w->close();
        QCOMPARE(quit.count(), 1);
        w->show();
        QString titulo;
        QPointer<QTimer> poll = whenModal([&](QWidget* d) {
            titulo = d->windowTitle();
            click(d, "cmdCancelar");
        });
        click(w, "Command3");
        delete poll.data();
        QCOMPARE(titulo, QStringLiteral("Configuración"));
        QVERIFY(m_boxes.isEmpty());
        control().habilitar(false);
        click(w, "Command3");
        QCOMPARE(m_boxes,
                 (QList<Box>{{QMessageBox::Information, QStringLiteral("Configuración"),
                              QStringLiteral("Para ver la configuracion del programa,\r\nprimero "
                                             "debe Detener (Parar) el proceso en curso.")}}));
        click(w, "Command2");
        QVERIFY(child<QPushButton>(w, "Command1")->isEnabled());
        click(w, "Command4");
        QCOMPARE(quit.count(), 2);
        control().habilitar_2(false);
        QVERIFY(!child<QPushButton>(w, "Command1")->isEnabled());
        QVERIFY(child<QPushButton>(w, "Command6")->isEnabled());
        control().setTimerEnabled(true);
        QVERIFY(w->windowTitle().endsWith(QStringLiteral("< ACTIVADO >")));

        run::Console& c = run::console();  // the window, since it was started
        c.setStep(QStringLiteral("Descargando datos"), 0x0000FF);
        QCOMPARE(child<QLabel>(w, "lblProceso")->palette().color(QPalette::WindowText),
                 QColor(0, 0, 255));
        c.addProblem(QStringLiteral("uno\r\nfalso"));
        QCOMPARE(child<QListWidget>(w, "List1")->item(0)->text(), QStringLiteral("uno  falso"));
        c.setBusy(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        c.setBusy(false);
        QVERIFY(QApplication::overrideCursor() == nullptr);

        click(w, "cmdHistorial");
        auto* tabla = child<QTableWidget>(w, "tblHistorial");
        QCOMPARE(tabla->rowCount(), 3);
        QCOMPARE(tabla->item(1, 2)->text(), QStringLiteral("sin registro"));
        QCOMPARE(tabla->editTriggers(), QAbstractItemView::NoEditTriggers);
        run::runState().cycleRunning = true;
        control().habilitar(false);
        QVERIFY(!child<QPushButton>(w, "cmdHistorial")->isEnabled());
        run::runState().cycleRunning = false;
    }

    // In a cycle a box becomes a self-closing notice, also in List1 and the log; outside, modal.
    void boxInsideACycleBecomesANotice() {
        GrabarConfig("AutoSync", "0");
        start();
        FrmProcesoSync::setAvisoEnCicloMs(150);
        phases().answered = true;
        QString titulo;
        phases().duranteMain = [&] {
            whenModal([&](QWidget* w) { titulo = w->windowTitle(); });
            run::console().messageBox(run::BoxIcon::Critical,
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

        run::console().messageBox(run::BoxIcon::Exclamation, QString(),
                                  QStringLiteral("fuera del ciclo"));
        QCOMPARE(m_boxes,
                 (QList<Box>{{QMessageBox::Warning, texts::kTituloAplicacion, "fuera del ciclo"}}));
    }

    // A cycle by hand that did not complete ends idle, its cause in the status bar; the
    // download's problems stay listed with the merge's.
    void failedCycleLeavesTheWindowClear() {
        GrabarConfig("AutoSync", "0");
        QWidget* w = start();
        phases().answered = true;
        phases().importOk = false;
        phases().causaImport = QStringLiteral("no queda espacio en el disco");
        for (auto* fase : {&phases().duranteDescarga, &phases().duranteMain})
            *fase = [] { run::console().addProblem(QStringLiteral("problema")); };
        control().Command1_Click();
        QCOMPARE(child<QLabel>(w, "StatusBar1Panel1")->text(), texts::kDetenido);
        QVERIFY(child<QLabel>(w, "StatusBar1Panel2")
                    ->text()
                    .contains(QStringLiteral("Ciclo terminado: incompleto - La sincronizacion de "
                                             "las MDB descargadas no termino: no queda espacio")));
        QVERIFY(child<QPushButton>(w, "Command1")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "Command2")->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(child<QListWidget>(w, "List1")->count(), 2);
        QCOMPARE(child<QLabel>(w, "lblList2")->text(), QStringLiteral("Archivos para subir"));
    }

    // Beside the service the window only watches: every command off, the service's PID and how
    // to stop it, the status file, the log's tail and "Historial" (with this store's uploads
    // and the stores' names), read again on a bounded timer.
    void watchingMode() {
        QVERIFY(ledger::crearLedger(ledger::rutaLedger()));
        QVERIFY(ledger::registrarDescarga("2", QDate(2026, 12, 4), "1"));
        GrabarConfig("Local_Activo", "3");
        m_rig->touch(QStringLiteral("MDB_enviadas/020013_3_05122026.mdb"));
        db::locales().setNroLocales(1);
        db::locales().addLocal(QStringLiteral("2"), QStringLiteral("Centro"));
        Report fallo;
        fallo.outcome = Outcome::Stalled;
        fallo.reason = QStringLiteral("La subida de archivos al FTP no termino");
        fallo.inicio = fallo.fin = config::Clock::now();
        QVERIFY(escribirArchivoEstado(fallo, QDateTime(QDate(2026, 12, 5), QTime(14, 30))));
        db::locales().setNroLocales(1);  // from here on, the names come from the status file
        config::EscribirLog(QStringLiteral("linea del servicio"));

        const qint64 pid = QCoreApplication::applicationPid();
        m_window = std::make_unique<FrmProcesoSync>(control());
        FrmProcesoSync* w = m_window.get();
        w->vigilar(pid);
        w->show();
        for (const char* n : {"Command1", "Command6", "Command2", "Command3", "Command4"})
            QVERIFY2(!child<QPushButton>(w, n)->isEnabled(), n);
        QVERIFY(child<QPushButton>(w, "cmdHistorial")->isEnabled());
        QCOMPARE(child<QLabel>(w, "lblVigilancia")->text(),
                 QStringLiteral("El servicio lumaro-sync esta en ejecucion en esta carpeta (PID "
                                "%1): esta ventana solo muestra su estado y sus ordenes estan "
                                "desactivadas. Para detenerlo: systemctl stop lumaro-sync, o "
                                "kill %1.")
                     .arg(pid));
        auto* estado = child<QListWidget>(w, "List2");
        QStringList lineas;
        for (int i = 0; i < estado->count(); ++i) lineas << estado->item(i)->text();
        QCOMPARE(lineas, (QStringList{"Ultimo ciclo: incompleto - La subida de archivos al FTP "
                                      "no termino",
                                      "Inicio 05/12/2026 02:00:00, fin 05/12/2026 02:00:00",
                                      "Proximo ciclo: 05/12/2026 14:30:00",
                                      "Ultimo envio: 3_05122026.mdb (" +
                                          QFileInfo(m_rig->file("MDB_enviadas/"
                                                                "020013_3_05122026.mdb"))
                                              .lastModified()
                                              .toString("dd/MM/yyyy hh:mm:ss") +
                                          ")",
                                      "Local 2 - Centro: ultimo dia fusionado -, dias adeudados "
                                      "2"}));
        auto* log = child<QListWidget>(w, "List1");
        QVERIFY(log->item(log->count() - 1)->text().endsWith(QStringLiteral("linea del servicio")));

        click(w, "cmdHistorial");
        auto* tabla = child<QTableWidget>(w, "tblHistorial");
        QCOMPARE(tabla->item(0, 0)->text(), QStringLiteral("3 (este local)"));
        QVERIFY(tabla->item(0, 2)->text().startsWith(QStringLiteral("enviado el ")));
        QCOMPARE(tabla->item(1, 0)->text(), QStringLiteral("2 - Centro"));

        auto* timer = child<QTimer>(w, "tmrVigilancia");
        QVERIFY(timer->isActive() && timer->interval() <= 10000);
        const int filas = tabla->rowCount();
        QVERIFY(ledger::registrarDescarga("2", QDate(2026, 12, 5), "1"));
        config::EscribirLog(QStringLiteral("otra linea"));
        timer->setInterval(20);
        QTRY_VERIFY(log->item(log->count() - 1)->text().endsWith(QStringLiteral("otra linea")));
        QTRY_COMPARE(tabla->rowCount(), filas + 1);
    }

    // A notice closed by hand takes its own timer with it: a box of the same caption stays open.
    void noticeClosedByHand() {
        QMessageBox other(QMessageBox::Information, QStringLiteral("Estado de Procesos"),
                          QStringLiteral("otra"));
        other.setModal(false);
        other.show();
        whenModal([](QWidget* w) {
            QTest::mouseClick(qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok),
                              Qt::LeftButton);
        });
        QElapsedTimer clock;
        clock.start();
        Notice::show(nullptr, QStringLiteral("Los Datos se pasaron correctamente"),
                     QStringLiteral("Estado de Procesos"), 3000);
        QVERIFY(clock.elapsed() < 2500);
        QTest::qWait(3200 - int(clock.elapsed()));
        QVERIFY(other.isVisible());
    }

    // "Aceptar" writes, arms, logs; invalid or cancelled writes nothing; reopened, shows the store.
    void aceptar_data() { addRows(kAceptar); }
    void aceptar() {
        const AceptarRow& r = fetchRow(kAceptar);
        const bool escribe = !*r.mensaje && QLatin1String(r.boton) == "cmdAceptar";
        control().setTimerEnabled(escribe && !r.automatico);
        const char* const claves[] = {"Hora1",   "Minuto1", "Hora2",
                                      "Minuto2", "RtDbf",   "BD_Prod_local"};
        const QStringList valores = QString::fromLatin1(r.campos).split(QLatin1Char('|')) +
                                    QStringList{"/srv/out", "/srv/S.mdb"};
        auto d = dialog();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        for (int i = 0; i < 6; ++i) field(d.get(), kCampos[i])->setText(valores[i]);
        child<QCheckBox>(d.get(), "chkSyncAuto")->setChecked(r.automatico);
        click(d.get(), r.boton);
        QCOMPARE(m_boxes, (*r.mensaje ? QList<Box>{{QMessageBox::NoIcon, texts::kTituloAplicacion,
                                                    QString::fromUtf8(r.mensaje)}}
                                      : QList<Box>{}));
        if (*r.foco) QCOMPARE(d->focusWidget()->objectName(), QString::fromLatin1(r.foco));
        QCOMPARE(d->result() == QDialog::Accepted, escribe);
        QCOMPARE(QFile::exists(config::settingsPath()), escribe);
        QCOMPARE(control().timerEnabled(), escribe && r.automatico);
        QCOMPARE(
            logMessages(),
            escribe
                ? QStringList{QStringLiteral("El estado automatico del programa es : "
                                             "< %1 >.")
                                  .arg(QLatin1String(r.automatico ? "ACTIVADO" : "DESACTIVADO"))}
                : QStringList{});

        auto otro = dialog();
        QStringList guardado, mostrado;
        for (int i = 0; i < 6; ++i) {
            guardado << LeerConfig(claves[i]);
            mostrado << field(otro.get(), kCampos[i])->text();
        }
        if (escribe) QCOMPARE(guardado, valores);
        QCOMPARE(mostrado, (escribe ? valores : QStringList{"0", "0", "0", "0", "", ""}));
        QCOMPARE(LeerConfig("AutoSync"), escribe ? QString::number(int(r.automatico)) : QString());
        auto* chk = child<QCheckBox>(otro.get(), "chkSyncAuto");
        QCOMPARE(chk->isChecked(), escribe && r.automatico);
        const QColor verde(0, 255, 0), negro(0, 0, 0);
        QCOMPARE(chk->palette().color(QPalette::WindowText), chk->isChecked() ? verde : negro);
        chk->setChecked(!chk->isChecked());
        QCOMPARE(chk->palette().color(QPalette::WindowText), chk->isChecked() ? verde : negro);
    }

    // The browse buttons start in the program folder and fill in the chosen file, or nothing.
    void browse_data() {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<bool>("lumaro");
        QTest::addColumn<bool>("cancelado");
        QTest::newRow("folder") << "cmdBuscarMDB" << false << false;
        QTest::newRow("security database") << "cmdMDBLumaro" << true << false;
        QTest::newRow("cancelled") << "cmdMDBLumaro" << true << true;
    }
    void browse() {
        QFETCH(QString, boton);
        QFETCH(bool, lumaro);
        QFETCH(bool, cancelado);
        m_rig->touch(QStringLiteral("datos/Seguridad.mdb"));
        const QString elegido = m_rig->file(QStringLiteral("datos/Seguridad.mdb"));
        auto d = dialog();
        for (const char* n : {"txtRutaLumaro", "txtRutaDestino"})
            field(d.get(), n)->setText(QStringLiteral("antes"));
        QString carpeta;
        FrmConfiguracion::setFileChooserForTesting([&](QFileDialog& fd) {
            carpeta = fd.directory().absolutePath();
            return cancelado ? QString() : elegido;
        });
        click(d.get(), qPrintable(boton));
        QCOMPARE(carpeta, QDir(m_rig->dir.path()).absolutePath());
        // The folder of the chosen file, never the file itself, is the exchange folder.
        const QString antes = QStringLiteral("antes");
        QCOMPARE(
            field(d.get(), "txtRutaDestino")->text(),
            cancelado ? antes : QDir::toNativeSeparators(m_rig->file(QStringLiteral("datos"))));
        QCOMPARE(field(d.get(), "txtRutaLumaro")->text(),
                 lumaro && !cancelado ? QDir::toNativeSeparators(elegido) : antes);
        QVERIFY(m_boxes.isEmpty());
    }

    // The hour spinners stop at their limits, and start from 0 over text that is no number.
    void spinnerSteps() {
        // Before, up (+) or down (-), after.
        for (const char* paso : {"5+6", "5-4", "23+23", "0-0", "ab+0"}) {
            const QStringList p = QString::fromLatin1(paso).split(QRegularExpression("[+-]"));
            QLineEdit campo(p[0]);
            UpDown spinner(&campo, 0, 23);
            QLatin1String(paso).contains('+') ? spinner.stepUp() : spinner.stepDown();
            QCOMPARE(campo.text(), p[1]);
        }
    }
};

QTEST_MAIN(TestWindows)
#include "TestWindows.moc"
