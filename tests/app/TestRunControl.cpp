// The run control of "Generar MDB Local", "Subir File", "Parar", "Salir" and the close box,
// driven through phases that report each outcome.
#include <QSignalSpy>
#include <QtTest>

#include "AppTestSupport.h"
#include "app/Headless.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "app/WorkingFolders.h"
#include "config/HeadlessConsole.h"

using namespace lumaro;
using namespace lumaro::app;
using namespace lumaro::app::test;
using config::GrabarConfig;
using config::LeerConfig;

Q_DECLARE_METATYPE(lumaro::app::Outcome)

class TestRunControl : public RigTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_rig = std::make_unique<Rig>(); }
    void cleanup() { m_rig.reset(); }

    void startUpLeavesTheWindowIdle() {
        for (const QString& f : carpetasTrabajo())
            QVERIFY2(QFileInfo(folder().file(f)).isDir(), qPrintable(f));
        QVERIFY(!control().timerEnabled());
        const Buttons& b = control().buttons();
        QVERIFY(b.subir && !b.parar && b.configurar && b.salir && !b.descargar);
        QVERIFY(b.generar);  // no "BD_Temp" yet
        QCOMPARE(console().statePanel(), texts::kDetenido);
        QCOMPARE(console().step(), QString());
        control().refreshTitle();
        QVERIFY(control().title().endsWith(QStringLiteral("< DESACTIVADO >")));
    }

    void workingFoldersAreCreatedOnce() {
        // An existing file of a folder's name counts as present.
        QDir(folder().path()).removeRecursively();
        QDir().mkpath(folder().path());
        folder().touch(QStringLiteral("temp"));
        crearCarpetasTrabajo();
        QVERIFY(QFileInfo(folder().file(QStringLiteral("temp"))).isFile());
        QVERIFY(QFileInfo(folder().file(QStringLiteral("MDB_Syncronizadas"))).isDir());
        const QStringList before =
            QDir(folder().path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        crearCarpetasTrabajo();
        QCOMPARE(QDir(folder().path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

    void configurarControlesFollowsBdTemp_data() {
        QTest::addColumn<QString>("bdTemp");
        QTest::addColumn<bool>("generarAntes");
        QTest::addColumn<bool>("generarDespues");
        QTest::newRow("today keeps disabled") << "3_05122026.mdb" << false << false;
        QTest::newRow("today keeps enabled") << "3_05122026.mdb" << true << true;
        QTest::newRow("yesterday enables") << "3_04122026.mdb" << false << true;
        QTest::newRow("empty enables") << "" << false << true;
        QTest::newRow("garbage enables") << "x" << false << true;
    }
    void configurarControlesFollowsBdTemp() {
        QFETCH(QString, bdTemp);
        QFETCH(bool, generarAntes);
        QFETCH(bool, generarDespues);
        GrabarConfig(QStringLiteral("BD_Temp"), bdTemp);
        control().habilitar_2(!generarAntes);
        control().configurarControles();
        QCOMPARE(control().buttons().generar, generarDespues);
        QVERIFY(control().buttons().subir && !control().buttons().parar);
    }

    // "Generar MDB Local" for each combination of phase outcomes.
    void generar_data() {
        QTest::addColumn<bool>("abrir3");
        QTest::addColumn<bool>("abrir1");
        QTest::addColumn<int>("principal");  // -1: the question fails
        QTest::addColumn<bool>("registro");
        QTest::addColumn<bool>("crear");
        QTest::addColumn<bool>("copia");
        QTest::addColumn<int>("subidas");  // times "Subir File" ran
        QTest::addColumn<bool>("bdTempEscrito");
        QTest::addColumn<QStringList>("cierres");
        QTest::addColumn<Outcome>("outcome");
        const QStringList tres{"CerrarBD(MySql)", "CerrarBD(Cliente)", "CerrarBD(Logistica)"};
        const QStringList dos{"CerrarBD(Cliente)", "CerrarBD(Logistica)"};
        QTest::newRow("all good") << true << true << 0 << true << true << true << 1 << true
                                  << (dos + dos) << Outcome::NothingToDo;
        QTest::newRow("all good, principal store") << true << true << 1 << true << true << true << 1
                                                   << true << (tres + tres) << Outcome::NothingToDo;
        QTest::newRow("copy fails") << true << true << 0 << true << true << false << 1 << false
                                    << (dos + dos) << Outcome::Failed;
        QTest::newRow("creation fails")
            << true << true << 0 << true << false << true << 1 << false << tres << Outcome::Failed;
        QTest::newRow("registry fails")
            << true << true << 0 << false << true << true << 0 << false << dos << Outcome::Failed;
        QTest::newRow("logistics fails, client answers")
            << false << true << 0 << true << true << true << 0 << false << dos << Outcome::Failed;
        QTest::newRow("client fails, question fails")
            << true << false << -1 << true << true << true << 1 << false << tres << Outcome::Failed;
        QTest::newRow("question fails after the copy")
            << true << true << -1 << true << true << true << 1 << true << tres << Outcome::Failed;
    }
    void generar() {
        QFETCH(bool, abrir3);
        QFETCH(bool, abrir1);
        QFETCH(int, principal);
        QFETCH(bool, registro);
        QFETCH(bool, crear);
        QFETCH(bool, copia);
        QFETCH(int, subidas);
        QFETCH(bool, bdTempEscrito);
        QFETCH(QStringList, cierres);
        QFETCH(Outcome, outcome);
        phases().abrir3 = abrir3;
        phases().abrir1 = abrir1;
        phases().principal =
            principal < 0 ? std::optional<bool>() : std::optional<bool>(principal == 1);
        phases().registro = registro;
        if (!crear) phases().nombre.reset();
        phases().copia = copia;
        // The download phase sees "BD_Temp" already written when the copy succeeded.
        QString bdTempAlSubir;
        phases().duranteDescarga = [&] { bdTempAlSubir = LeerConfig(QStringLiteral("BD_Temp")); };

        control().Command6_Click();

        QCOMPARE(logMessagesStartingWith({kSubirLog}).size(), subidas);
        QCOMPARE(LeerConfig(QStringLiteral("BD_Temp")).isEmpty(), !bdTempEscrito);
        if (bdTempEscrito && registro && subidas > 0 && phases().count("descargarOtrosLocales"))
            QCOMPARE(bdTempAlSubir, QStringLiteral("3_05122026.mdb"));
        QStringList closes;
        for (const QString& c : phases().calls)
            if (c.startsWith(QStringLiteral("CerrarBD"))) closes << c;
        QCOMPARE(closes, cierres);
        QCOMPARE(phases().count("CopiarTablas(3_05122026.mdb)"),
                 abrir3 && abrir1 && registro && crear ? 1 : 0);
        // Whatever happened, the command ends with the buttons of habilitar_2(true).
        const Buttons& b = control().buttons();
        QVERIFY(b.subir && b.parar && b.configurar && b.salir && !b.generar);
        QVERIFY(!control().timerEnabled());
        QCOMPARE(control().lastReport().outcome, outcome);
        QVERIFY(!config::runState().cycleRunning);
        QCOMPARE(logMessages().first().left(kGenerarLog.size()), kGenerarLog);
    }

    void generarLogsTheAutomaticMode_data() {
        QTest::addColumn<bool>("timer");
        QTest::addColumn<QString>("autoSync");
        QTest::addColumn<QString>("linea");
        QTest::addColumn<bool>("timerDespues");
        QTest::newRow("by hand, AutoSync 0")
            << false << "0"
            << "btnGenerarMDB - valor parametro <AutoSync> de CFG=0 valor Timer.Enabled "
               "<ACTIVADO/DESACTIVADO>=False valor variable <bVar>=False"
            << false;
        QTest::newRow("by the schedule")
            << true << "0"
            << "btnGenerarMDB - valor parametro <AutoSync> de CFG=0 valor Timer.Enabled "
               "<ACTIVADO/DESACTIVADO>=True valor variable <bVar>=True"
            << true;
        QTest::newRow("by hand, AutoSync 1 with blanks")
            << false << " 1 "
            << "btnGenerarMDB - valor parametro <AutoSync> de CFG=1 valor Timer.Enabled "
               "<ACTIVADO/DESACTIVADO>=False valor variable <bVar>=True"
            << true;
        QTest::newRow("AutoSync not a number")
            << false << "si"
            << "btnGenerarMDB - valor parametro <AutoSync> de CFG=0 valor Timer.Enabled "
               "<ACTIVADO/DESACTIVADO>=False valor variable <bVar>=False"
            << false;
    }
    void generarLogsTheAutomaticMode() {
        QFETCH(bool, timer);
        QFETCH(QString, autoSync);
        QFETCH(QString, linea);
        QFETCH(bool, timerDespues);
        GrabarConfig(QStringLiteral("AutoSync"), autoSync);
        control().setTimerEnabled(timer);
        control().Command6_Click();
        const QStringList log = logMessages();
        QCOMPARE(log.first(), linea);
        QCOMPARE(logMessagesStartingWith({kSubirLog}).size(), 1);
        QCOMPARE(control().timerEnabled(), timerDespues);
        QCOMPARE(control().title(), RunControl::tituloPara(timerDespues));
    }

    // "Subir File" for each combination of what waits and how the merge and upload end.
    void subir_data() {
        QTest::addColumn<bool>("conexiones");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("esperando");  // a snapshot left in MDB_descargadas
        QTest::addColumn<bool>("propio");     // this store's file waits unsent
        QTest::addColumn<bool>("importOk");
        QTest::addColumn<bool>("uploadOk");
        QTest::addColumn<bool>("timerAntes");
        QTest::addColumn<bool>("main");
        QTest::addColumn<bool>("timerDespues");
        QTest::addColumn<QString>("estado");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("nothing anywhere, armed")
            << true << false << 0 << false << false << true << true << true << false << true
            << texts::kProcesando << Outcome::NothingToDo;
        QTest::newRow("nothing anywhere, by hand")
            << true << false << 0 << false << false << true << true << false << false << false
            << texts::kProcesando << Outcome::NothingToDo;
        QTest::newRow("downloaded, complete")
            << true << true << 2 << false << false << true << true << true << true << true
            << texts::kEsperando << Outcome::Complete;
        QTest::newRow("answered only")
            << true << true << 0 << false << false << true << true << false << true << false
            << texts::kEsperando << Outcome::Complete;
        QTest::newRow("count only") << true << false << 1 << false << false << true << true << false
                                    << true << false << texts::kEsperando << Outcome::Complete;
        QTest::newRow("left from an earlier run")
            << true << false << 0 << true << false << true << true << true << true << true
            << texts::kEsperando << Outcome::Complete;
        QTest::newRow("own file unsent")
            << true << false << 0 << false << true << true << true << true << true << true
            << texts::kEsperando << Outcome::Complete;
        QTest::newRow("merge incomplete")
            << true << true << 1 << false << false << false << true << true << true << false
            << texts::kProcesando << Outcome::Stalled;
        QTest::newRow("upload incomplete")
            << true << true << 1 << false << false << true << false << true << true << false
            << texts::kProcesando << Outcome::Stalled;
        QTest::newRow("connections fail, snapshot waiting")
            << false << false << 0 << true << false << true << true << true << true << true
            << texts::kEsperando << Outcome::Failed;
        QTest::newRow("connections fail, nothing waiting")
            << false << false << 0 << false << false << true << true << true << false << true
            << texts::kProcesando << Outcome::Failed;
    }
    void subir() {
        QFETCH(bool, conexiones);
        QFETCH(bool, answered);
        QFETCH(int, count);
        QFETCH(bool, esperando);
        QFETCH(bool, propio);
        QFETCH(bool, importOk);
        QFETCH(bool, uploadOk);
        QFETCH(bool, timerAntes);
        QFETCH(bool, main);
        QFETCH(bool, timerDespues);
        QFETCH(QString, estado);
        QFETCH(Outcome, outcome);
        phases().abrir1 = conexiones;
        phases().answered = answered;
        phases().downloadCount = count;
        phases().importOk = importOk;
        phases().uploadOk = uploadOk;
        if (esperando) folder().touch(QStringLiteral("MDB_descargadas/1_05122026.mdb"));
        if (propio) {
            GrabarConfig(QStringLiteral("Local_Activo"), QStringLiteral("3"));
            GrabarConfig(QStringLiteral("RtDbf"), folder().file(QStringLiteral("out")));
            folder().touch(QStringLiteral("out/3_04122026.mdb"));
        }
        // Stale results of an earlier run never count.
        config::runState().results.downloadAnswered = true;
        config::runState().results.downloadCount = 7;
        control().setTimerEnabled(timerAntes);

        control().Command1_Click();

        QCOMPARE(phases().count("descargarOtrosLocales"), conexiones ? 1 : 0);
        QCOMPARE(phases().count("Main"), main ? 1 : 0);
        QCOMPARE(control().timerEnabled(), timerDespues);
        QCOMPARE(control().title(), RunControl::tituloPara(timerDespues));
        QCOMPARE(console().statePanel(), estado);
        QCOMPARE(control().lastReport().outcome, outcome);
        // "Descargar" leaves habilitar(false): a started cycle counts as in progress.
        QVERIFY(!control().buttons().subir && control().buttons().parar);
        const bool completo = estado == texts::kEsperando;
        QCOMPARE(console().busy(), main && !completo);
        if (completo) {
            QCOMPARE(console().eventPanel(),
                     QStringLiteral("Ultima Ejecucion 05/12/2026 02:00:00 AM"));
            QCOMPARE(console().step(), QString());
        }
    }

    void ultimaEjecucionUsesTwelveHours() {
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)));
        phases().answered = true;
        control().Command1_Click();
        QCOMPARE(console().eventPanel(), QStringLiteral("Ultima Ejecucion 05/12/2026 02:05:09 PM"));
    }

    void subirByHandWithAutoSyncArmsTheTimer() {
        GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1"));
        phases().answered = true;
        control().Command1_Click();
        QVERIFY(control().timerEnabled());
        QVERIFY(control().title().endsWith(QStringLiteral("< ACTIVADO >")));
    }

    void descargarShowsTheStepInBlue() {
        control().Command1_Click();
        const auto steps = console().eventsOf(config::HeadlessConsole::Event::Kind::Step);
        QVERIFY(!steps.empty());
        bool azul = false;
        for (const auto& e : steps)
            azul = azul || (e.text == QStringLiteral("Descargando datos") && e.number == 0x0000FF);
        QVERIFY(azul);
        QCOMPARE(console().step(), QString());
    }

    // One cycle at a time: a command, tick or "Configurar" arriving during a cycle is refused.
    void secondCommandInsideACycleIsRefused() {
        phases().answered = true;
        bool configurar = true;
        phases().duranteMain = [&] {
            control().Command1_Click();
            control().Command6_Click();
            control().Timer1_Timer();
            configurar = control().Command3_Permitido();
        };
        control().Command1_Click();
        QCOMPARE(phases().count("Main"), 1);
        QCOMPARE(phases().count("descargarOtrosLocales"), 1);
        QVERIFY(!configurar);
        QCOMPARE(logMessagesStartingWith({kSubirLog, kGenerarLog}).size(), 1);
        QCOMPARE(logMessagesStartingWith({QStringLiteral("btnSubirFile - Hay un ciclo"),
                                          QStringLiteral("btnGenerarMDB - Hay un ciclo"),
                                          QStringLiteral("Timer1_Timer - Hay un ciclo"),
                                          QStringLiteral("Configurar - Hay un ciclo")})
                     .size(),
                 4);
        QCOMPARE(control().lastReport().outcome, Outcome::Complete);
    }

    // "Parar" during a cycle: the phase goes on, no later phase starts, the automatic mode
    // stays off and the buttons come back when the command ends.
    void pararDuringACycle_data() {
        QTest::addColumn<QString>("fase");
        QTest::addColumn<QStringList>("noIniciadas");
        QTest::newRow("during the download") << "descarga" << QStringList{"Main"};
        QTest::newRow("during the merge") << "main" << QStringList{};
        QTest::newRow("during the copy") << "copia" << QStringList{"descargarOtrosLocales"};
    }
    void pararDuringACycle() {
        QFETCH(QString, fase);
        QFETCH(QStringList, noIniciadas);
        GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1"));
        phases().answered = true;
        bool cancelado = false;
        Buttons durante;
        const auto parar = [&] {
            control().Command2_Click();
            cancelado = config::runState().cancelTransfer;
            durante = control().buttons();
        };
        if (fase == QStringLiteral("descarga")) phases().duranteDescarga = parar;
        if (fase == QStringLiteral("main")) phases().duranteMain = parar;
        if (fase == QStringLiteral("copia")) phases().duranteCopia = parar;
        control().setTimerEnabled(true);  // started by the schedule: bVar is true

        if (fase == QStringLiteral("copia"))
            control().Command6_Click();
        else
            control().Command1_Click();

        QVERIFY(cancelado);
        QVERIFY(!durante.subir);  // no second cycle could start inside this one
        for (const QString& c : noIniciadas) QCOMPARE(phases().count(c), 0);
        QVERIFY(!control().timerEnabled());
        QCOMPARE(LeerConfig(QStringLiteral("AutoSync")), QStringLiteral("0"));
        QVERIFY(control().buttons().subir && !control().buttons().parar);
        QCOMPARE(console().statePanel(), texts::kDetenido);
        QVERIFY(!console().busy());
        QCOMPARE(control().lastReport().outcome, Outcome::Stopped);
        QVERIFY(!config::runState().stopRequested && !config::runState().cancelTransfer);
    }

    void pararWhenIdle() {
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 7, 3)));
        GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1"));
        control().setTimerEnabled(true);
        control().habilitar(false);
        clearLog();
        control().Command2_Click();
        QCOMPARE(logMessages(),
                 QStringList{QStringLiteral(
                     "Se Detiene Proceso de Sincronizacion (Envio,Descarga y/o Sincronizacion): "
                     "Fecha '05/12/2026' Hora '14:07:03'")});
        QCOMPARE(LeerConfig(QStringLiteral("AutoSync")), QStringLiteral("0"));
        QVERIFY(control().buttons().subir && !control().buttons().parar);
        QVERIFY(!control().timerEnabled());
        QVERIFY(control().title().endsWith(QStringLiteral("< DESACTIVADO >")));
        QCOMPARE(console().statePanel(), texts::kDetenido);
        QCOMPARE(console().eventPanel(), QString());
        // No transfer runs, so none is cancelled: the next cycle is not cut short.
        QVERIFY(!config::runState().cancelTransfer);
    }

    void salirAndCloseBox_data() {
        QTest::addColumn<bool>("salir");
        QTest::addColumn<bool>("enCiclo");
        QTest::addColumn<QString>("autoSync");
        QTest::newRow("Salir, idle") << true << false << "0";
        QTest::newRow("Salir, during a cycle") << true << true << "0";
        QTest::newRow("close box, idle") << false << false << "1";
        QTest::newRow("close box, during a cycle") << false << true << "1";
    }
    void salirAndCloseBox() {
        QFETCH(bool, salir);
        QFETCH(bool, enCiclo);
        QFETCH(QString, autoSync);
        GrabarConfig(QStringLiteral("AutoSync"), QStringLiteral("1"));
        QSignalSpy quit(&control(), &RunControl::quitRequested);
        const auto pedir = [&] {
            if (salir)
                control().Command4_Click();
            else
                control().cerrar();
        };
        int quitDuranteMain = -1;
        if (enCiclo) {
            phases().answered = true;
            phases().duranteMain = [&] {
                pedir();
                quitDuranteMain = quit.count();
            };
            control().Command1_Click();
            QCOMPARE(quitDuranteMain, 0);  // never in the middle of a phase
        } else {
            pedir();
        }
        QCOMPARE(quit.count(), 1);
        QCOMPARE(LeerConfig(QStringLiteral("AutoSync")), autoSync);
    }

    void configurarRefusedWhileSubirIsDisabled() {
        control().habilitar(false);
        QVERIFY(!control().Command3_Permitido());
        const auto boxes = console().eventsOf(config::HeadlessConsole::Event::Kind::Box);
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].caption, QStringLiteral("Configuración"));
        QCOMPARE(boxes[0].text,
                 QStringLiteral("Para ver la configuracion del programa,\r\nprimero debe "
                                "Detener (Parar) el proceso en curso."));
        control().habilitar(true);
        QVERIFY(control().Command3_Permitido());
    }

    // This store's exchange files count as waiting only while unsent.
    void ownFilesWaiting_data() {
        QTest::addColumn<QString>("localActivo");
        QTest::addColumn<QString>("archivo");
        QTest::addColumn<QString>("enviado");
        QTest::addColumn<bool>("esperando");
        QTest::newRow("snapshot") << "3"
                                  << "out/3_04122026.mdb"
                                  << "" << true;
        QTest::newRow("dbf") << "3"
                             << "out/3_C_QC5.dbf"
                             << "" << true;
        QTest::newRow("dbf upper case") << "3"
                                        << "out/3_K_QC5.DBF"
                                        << "" << true;
        QTest::newRow("temp") << "3"
                              << "temp/3_04122026.mdb"
                              << "" << true;
        QTest::newRow("already sent") << "3"
                                      << "out/3_04122026.mdb"
                                      << "MDB_enviadas/021500_3_04122026.mdb" << false;
        QTest::newRow("other store") << "3"
                                     << "out/13_04122026.mdb"
                                     << "" << false;
        QTest::newRow("other program's file") << "3"
                                              << "out/datos.mdb"
                                              << "" << false;
        QTest::newRow("no active store") << ""
                                         << "out/3_04122026.mdb"
                                         << "" << false;
        QTest::newRow("active store not a number") << "3'"
                                                   << "out/3_04122026.mdb"
                                                   << "" << false;
    }
    void ownFilesWaiting() {
        QFETCH(QString, localActivo);
        QFETCH(QString, archivo);
        QFETCH(QString, enviado);
        QFETCH(bool, esperando);
        GrabarConfig(QStringLiteral("Local_Activo"), localActivo);
        GrabarConfig(QStringLiteral("RtDbf"), folder().file(QStringLiteral("out")));
        folder().touch(archivo);
        if (!enviado.isEmpty()) folder().touch(enviado);
        QCOMPARE(hayArchivosPorSubir(), esperando);
    }

    void readOnlyOwnFileIsNotWaiting() {
        GrabarConfig(QStringLiteral("Local_Activo"), QStringLiteral("3"));
        GrabarConfig(QStringLiteral("RtDbf"), folder().file(QStringLiteral("out")));
        folder().touch(QStringLiteral("out/3_04122026.mdb"));
        QFile::setPermissions(folder().file(QStringLiteral("out/3_04122026.mdb")),
                              QFile::ReadOwner);
        if (QFileInfo(folder().file(QStringLiteral("out/3_04122026.mdb"))).isWritable())
            QSKIP("running as a user who can write read-only files");
        QVERIFY(!hayArchivosPorSubir());
    }

    // Running without a display: the exit status says how the command ended.
    void headlessExitStatus_data() {
        QTest::addColumn<bool>("generar");
        QTest::addColumn<bool>("conexiones");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<bool>("importOk");
        QTest::addColumn<int>("status");
        QTest::newRow("subir, nothing to do") << false << true << false << true << 0;
        QTest::newRow("subir, complete") << false << true << true << true << 0;
        QTest::newRow("subir, stalled") << false << true << true << false << 1;
        QTest::newRow("subir, connections fail") << false << false << false << true << 1;
        QTest::newRow("generar, complete") << true << true << true << true << 0;
        QTest::newRow("generar, connections fail") << true << false << false << true << 1;
    }
    void headlessExitStatus() {
        QFETCH(bool, generar);
        QFETCH(bool, conexiones);
        QFETCH(bool, answered);
        QFETCH(bool, importOk);
        QFETCH(int, status);
        phases().abrir3 = conexiones;
        phases().answered = answered;
        phases().importOk = importOk;
        const int got =
            runHeadless(phases(), generar ? ModoSinVentana::Generar : ModoSinVentana::Subir);
        QCOMPARE(got, status);
        config::setConsole(&console());
    }
};

QTEST_GUILESS_MAIN(TestRunControl)
#include "TestRunControl.moc"
