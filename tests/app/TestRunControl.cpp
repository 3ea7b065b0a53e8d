// The run control's commands, close box and schedule tick over phases reporting each outcome.
#include <QtTest>

#include "AppTestSupport.h"
#include "app/ArchivoEstado.h"
#include "app/Headless.h"
#include "app/Texts.h"
#include "app/WorkingFolders.h"
#include "db/ConfigLocales.h"
#include "ledger/Ledger.h"
#include "snapshot/CrearBDTemp.h"

using namespace lumaro;
using namespace lumaro::app;
using namespace lumaro::app::test;
using config::GrabarConfig;
using config::LeerConfig;

namespace {

using enum Outcome;

// "Generar MDB Local" for each combination of phase outcomes; rows give flags as 1 or 0.
struct GenerarRow {
    const char* name;
    int abrir3, abrir1;
    int principal;  // -1: the question fails
    int registro, crear, copia;
    int subidas;  // times "Subir File" ran
    int bdTempEscrito;
    const char* cierres;  // connections closed, in order: M(ySql), C(liente), L(ogistica)
    Outcome outcome;
};
const GenerarRow kGenerar[] = {
    {"all good", 1, 1, 0, 1, 1, 1, 1, 1, "CLCL", NothingToDo},
    {"all good, principal store", 1, 1, 1, 1, 1, 1, 1, 1, "MCLMCL", NothingToDo},
    {"copy fails", 1, 1, 0, 1, 1, 0, 1, 0, "CLCL", Failed},
    {"creation fails", 1, 1, 0, 1, 0, 1, 1, 0, "MCL", Failed},
    {"registry fails", 1, 1, 0, 0, 1, 1, 0, 0, "CL", Failed},
    {"logistics fails, client answers", 0, 1, 0, 1, 1, 1, 0, 0, "CL", Failed},
    {"client fails, question fails", 1, 0, -1, 1, 1, 1, 1, 0, "MCL", Failed},
    {"question fails after the copy", 1, 1, -1, 1, 1, 1, 1, 1, "MCL", Failed},
};

// "Subir File" for each combination of what waits and how the merge and upload end. esperando:
// a snapshot in MDB_descargadas; propio: this store's file unsent; main: the merge ran (and
// the upload after a complete one); completo: "Esperando..." shown; iAuto: "AutoSync" read as
// on (logged at the start); causa: returned by the phase that did not complete (the download when
// the merge and upload did); resumen: the summary line, when given.
struct SubirRow {
    const char* name;
    int conexiones, answered, count, esperando, propio, importOk, uploadOk, timerAntes, main,
        timerDespues, completo;
    Outcome outcome;
    const char* autoSync = "";
    int iAuto = 0;
    const char* causa = "";
    const char* resumen = nullptr;
};
const SubirRow kSubir[] = {
    {"nothing anywhere, armed", 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, NothingToDo, "", 0, "",
     "Ciclo terminado: sin nada que hacer - duracion 1 min 05 s"},
    {"nothing anywhere, by hand", 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, NothingToDo, "0"},
    {"downloaded, complete", 1, 1, 2, 0, 0, 1, 1, 1, 1, 1, 1, Complete, "", 0, "",
     "Ciclo terminado: completo - duracion 1 min 05 s - filas fusionadas: local 1 (Cliente 2, "
     "Tarjeta 1); local 2 (Contactos 4)"},
    {"answered only, AutoSync 1 with blanks", 1, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, Complete, " 1 ", 1},
    {"count only, AutoSync not a number", 1, 0, 1, 0, 0, 1, 1, 0, 1, 0, 1, Complete, "si"},
    {"left from an earlier run", 1, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, Complete},
    {"own file unsent", 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, Complete},
    {"merge incomplete, the schedule tries again", 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 0, Stalled, "", 0,
     "",
     "Ciclo terminado: incompleto - La sincronizacion de las MDB descargadas no termino - "
     "proximo intento automatico: 05/12/2026 14:30 - duracion 1 min 05 s - filas fusionadas: "
     "local 1 (Cliente 2, Tarjeta 1); local 2 (Contactos 4)"},
    {"upload incomplete, by hand", 1, 1, 1, 0, 0, 1, 0, 0, 1, 0, 0, Stalled, "0", 0,
     "no responde el servidor FTP",
     "Ciclo terminado: incompleto - La subida de archivos al FTP no termino: no responde el "
     "servidor FTP - sin reintento automatico: el modo automatico esta desactivado - duracion "
     "1 min 05 s - filas fusionadas: local 1 (Cliente 2, Tarjeta 1); local 2 (Contactos 4)"},
    {"download failed, nothing waiting", 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, Stalled, "", 0,
     "sin espacio en MDB_descargadas",
     "Ciclo terminado: incompleto - La descarga no termino: sin espacio en MDB_descargadas - "
     "proximo intento automatico: 05/12/2026 14:30 - duracion 1 min 05 s"},
    {"connections fail, snapshot waiting", 0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, Failed},
    {"connections fail, nothing waiting", 0, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, Failed, "", 0, "",
     "Ciclo terminado: fallido - No se pudieron abrir las conexiones a las bases de datos. - "
     "proximo intento automatico: 05/12/2026 14:30 - duracion 0 s"},
};

// This store's exchange files count as waiting only while unsent.
struct PropioRow {
    const char *name, *localActivo, *archivo;
    int esperando;
    const char* enviado = "";  // a copy in MDB_enviadas
    int soloLectura = 0;
};
const PropioRow kPropios[] = {
    {"snapshot", "3", "out/3_04122026.mdb", 1},
    {"temp", "3", "temp/3_04122026.mdb", 1},
    {"already sent", "3", "out/3_04122026.mdb", 0, "MDB_enviadas/021500_3_04122026.mdb"},
    {"no active store", "", "out/3_04122026.mdb", 0},
    {"active store not a number", "3'", "out/3_04122026.mdb", 0},
    {"read-only", "3", "out/3_04122026.mdb", 0, "", 1},
};

// Who stops, and in which phase of a cycle ("" for none).
struct StopRow {
    const char *name, *boton, *fase;
};
const StopRow kStops[] = {
    {"Parar, idle", "Parar", ""},
    {"Parar, during the download", "Parar", "descarga"},
    {"Parar, during the merge", "Parar", "main"},
    {"Parar, during the copy", "Parar", "copia"},
    {"Salir, idle", "Salir", ""},
    {"Salir, during the merge", "Salir", "main"},
    {"close box, idle", "cerrar", ""},
    {"close box, during the copy", "cerrar", "copia"},
};

const char* const kHoy = "05/12/2026";
const char* const kAyer = "04/12/2026";
const char* const kT = "2|0|14|30";  // Hora1|Minuto1|Hora2|Minuto2

// linea: schedule log line; error: logged "Timer1_Timer Error: Verificar [<error>]", warned of.
struct TickRow {
    const char *name, *tiempos, *fechaHoy, *syncActual, *bdTemp;
    QTime hora;
    const char* linea;
    int generar, subir;
    const char* syncDespues;
    const char* error = nullptr;
};

const TickRow kTicks[] = {
    {"no time matches", kT, kHoy, "1", "", QTime(3, 0), "sale A", 0, 0, "1"},
    {"other second of the minute", kT, kHoy, "1", "3_05122026.mdb", QTime(2, 0, 59), "ini C", 0, 1,
     "2"},
    {"new day, old snapshot", kT, kAyer, "2", "3_04122026.mdb", QTime(14, 30), "ini A", 1, 1, "1"},
    {"new day, snapshot made", kT, kAyer, "2", "3_05122026.mdb", QTime(2, 0), "", 0, 0, "1"},
    {"counter empty, BD_Temp x", kT, kHoy, "", "x", QTime(2, 0), "ini B", 1, 1, "1"},
    {"same day, counter 0", kT, kHoy, "0", "", QTime(2, 0), "ini B", 1, 1, "1"},
    {"same day, counter 1", kT, kHoy, "1", "3_05122026.mdb", QTime(14, 30), "ini C", 0, 1, "2"},
    // The first time made no snapshot (a database was down): the later time makes it.
    {"same day, no snapshot yet", kT, kHoy, "1", "3_04122026.mdb", QTime(14, 30), "ini C", 1, 1,
     "2"},
    {"same day, counter 2", kT, kHoy, "2", "3_05122026.mdb", QTime(14, 30),
     "ini D y despues sale B", 0, 1, "0"},
    {"same day, counter 7", kT, kHoy, "7", "3_05122026.mdb", QTime(14, 30),
     "ini D y despues sale B", 0, 1, "0"},
    {"same day, counter -3", kT, kHoy, "-3", "", QTime(14, 30), "", 0, 0, "-3"},
    {"same day, counter not a number", kT, kHoy, "dos", "", QTime(14, 30), "", 0, 0, "dos",
     "SyncActual no es numerico: 'dos'"},
    {"one-digit and two-digit times", "02|5|2|05", kHoy, "1", "3_05122026.mdb", QTime(2, 5),
     "ini C", 0, 1, "2"},
    {"hour 24", "2|0|24|30", kHoy, "1", "", QTime(3, 0), "", 0, 0, "1",
     "Horario no valido en Hora2/Minuto2: '24:30:00'"},
    {"minute 1.5", "2|1.5|14|30", kHoy, "1", "", QTime(2, 1), "", 0, 0, "1",
     "Horario no valido en Hora1/Minuto1: '2:1.5:00'"},
};

}  // namespace

class TestRunControl : public RigTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_rig = std::make_unique<Rig>(); }
    void cleanup() { m_rig.reset(); }

    void generar_data() { addRows(kGenerar); }
    void generar() {
        const GenerarRow& r = fetchRow(kGenerar);
        phases().abrir3 = r.abrir3;
        phases().abrir1 = r.abrir1;
        phases().principal =
            r.principal < 0 ? std::optional<bool>() : std::optional<bool>(r.principal == 1);
        phases().registro = r.registro;
        if (!r.crear) phases().nombre.reset();
        phases().copia = r.copia;
        // The download phase sees "BD_Temp" already written when the copy succeeded.
        QString bdTempAlSubir;
        phases().duranteDescarga = [&] { bdTempAlSubir = LeerConfig("BD_Temp"); };

        control().Command6_Click();

        QCOMPARE(logMessages({kSubirLog}).size(), r.subidas);
        QCOMPARE(LeerConfig("BD_Temp").isEmpty(), !r.bdTempEscrito);
        if (r.bdTempEscrito && phases().count("descargarOtrosLocales"))
            QCOMPARE(bdTempAlSubir, QStringLiteral("3_05122026.mdb"));
        QString cierres;
        for (const QString& c : phases().calls.filter(QStringLiteral("CerrarBD("))) cierres += c[9];
        QCOMPARE(cierres, QString::fromLatin1(r.cierres));
        const bool copio = r.abrir3 && r.abrir1 && r.registro && r.crear;
        QCOMPARE(phases().count("CopiarTablas(3_05122026.mdb)"), copio ? 1 : 0);
        // The rows a committed copy reports reach the summary line.
        QCOMPARE(logMessages({QStringLiteral("Ciclo terminado: ")})
                     .first()
                     .contains(QStringLiteral(" - filas copiadas: Cliente 3, Tarjeta 2")),
                 copio && r.copia);
        // Whatever happened, the command ends idle: habilitar_2(true), then "Parar" off.
        const Buttons& b = control().buttons();
        QVERIFY(b.subir && !b.parar && b.configurar && b.salir && !b.generar);
        QCOMPARE(console().statePanel(), texts::kDetenido);
        QVERIFY(!control().timerEnabled());
        QCOMPARE(control().lastReport().outcome, r.outcome);
        QVERIFY(!run::runState().cycleRunning);
    }

    void subir_data() { addRows(kSubir); }
    void subir() {
        const SubirRow& r = fetchRow(kSubir);
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)));
        const char* const claves[] = {"Hora1", "Minuto1", "Hora2", "Minuto2"};
        for (int i = 0; i < 4; ++i)
            GrabarConfig(QString::fromLatin1(claves[i]), QString::fromLatin1(kT).split('|')[i]);
        phases().abrir1 = r.conexiones;
        phases().answered = r.answered;
        phases().downloadCount = r.count;
        phases().importOk = r.importOk;
        phases().uploadOk = r.uploadOk;
        (!r.importOk   ? phases().causaImport
         : !r.uploadOk ? phases().causaSubida
                       : phases().causaDescarga) = QString::fromLatin1(r.causa);
        GrabarConfig("AutoSync", QString::fromLatin1(r.autoSync));
        if (r.esperando) m_rig->touch("MDB_descargadas/1_05122026.mdb");
        if (r.propio) {
            GrabarConfig("Local_Activo", "3");
            m_rig->touch("temp/3_04122026.mdb");
        }
        // What the status file reads: store 1 merged up to the 4th, so it owes the 5th; this
        // store sent its 5th. The download takes 65 s.
        QVERIFY(ledger::crearLedger(ledger::rutaLedger()));
        for (const QDate d : {QDate(2026, 12, 3), QDate(2026, 12, 4)})
            QVERIFY(ledger::registrarDescarga("1", d, "1") &&
                    ledger::registrarSync("1", d, "1", 2));
        GrabarConfig("Local_Activo", "3");
        m_rig->touch("MDB_enviadas/020013_3_05122026.mdb");
        phases().duranteDescarga = [] {
            config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 6, 14)));
        };
        control().setTimerEnabled(r.timerAntes);

        control().Command1_Click();

        const auto trueFalse = [](bool b) { return QLatin1String(b ? "True" : "False"); };
        QCOMPARE(
            logMessages({kSubirLog}),
            QStringList{QStringLiteral("btnSubirFile - valor parametro <AutoSync> de CFG=%1 "
                                       "valor Timer.Enabled <ACTIVADO/DESACTIVADO>=%2 valor "
                                       "variable <bVar>=%3")
                            .arg(r.iAuto)
                            .arg(trueFalse(r.timerAntes), trueFalse(r.timerAntes || r.iAuto))});
        QCOMPARE(phases().count("descargarOtrosLocales"), r.conexiones ? 1 : 0);
        QCOMPARE(phases().count("SyncLocales"), r.main ? 1 : 0);
        QCOMPARE(phases().count("Main"), r.main && r.importOk ? 1 : 0);  // after a full merge
        QCOMPARE(control().timerEnabled(), r.timerDespues == 1);
        const Report& report = control().lastReport();
        QCOMPARE(report.outcome, r.outcome);
        // Over, whatever it met: waiting for the next daily time, or idle with "Parar" off.
        QCOMPARE(console().statePanel(),
                 r.completo || r.timerDespues ? texts::kEsperando : texts::kDetenido);
        QCOMPARE(control().buttons().subir, !r.timerDespues);
        QCOMPARE(control().buttons().parar, r.timerDespues == 1);
        QVERIFY(!console().busy());
        QCOMPARE(console().step(), QString());  // the download step is cleared afterwards
        // Exactly one summary line; the status bar says why a cycle did not complete.
        const QStringList resumen = logMessages({QStringLiteral("Ciclo terminado: ")});
        QCOMPARE(resumen.size(), 1);
        if (r.resumen) QCOMPARE(resumen.first(), QString::fromLatin1(r.resumen));
        QCOMPARE(console().eventPanel(),
                 !report.ok() ? texts::marcaDeTiempo() + u' ' + resumen.first()
                 : r.completo ? QStringLiteral("Ultima Ejecucion ") + texts::marcaDeTiempo()
                              : QString());
        // The status file says the same, with what the ledger and the archive hold.
        const std::optional<QJsonObject> estado = leerArchivoEstado(nullptr);
        QVERIFY(estado);
        const QJsonObject ciclo = (*estado)["ciclo"].toObject();
        QCOMPARE(ciclo["resultado"].toString(), textoResultado(r.outcome));
        QCOMPARE(ciclo["causa"].toString(), report.reason);
        QCOMPARE(ciclo["inicio"].toString(), QStringLiteral("2026-12-05T14:05:09"));
        QCOMPARE(
            QJsonDocument(ciclo["filasFusionadas"].toObject()).toJson(QJsonDocument::Compact),
            QByteArray(r.main ? R"({"1":{"Cliente":2,"Tarjeta":1},"2":{"Contactos":4}})" : "{}"));
        QCOMPARE(ciclo["fin"].toString(), config::Clock::now().toString(Qt::ISODate));
        QCOMPARE((*estado)["proximoCiclo"].toString(),
                 r.timerDespues ? QStringLiteral("2026-12-05T14:30:00") : QString());
        QCOMPARE((*estado)["local"].toString(), QStringLiteral("3"));
        QCOMPARE((*estado)["ultimoEnvio"]["archivo"].toString(), QStringLiteral("3_05122026.mdb"));
        QCOMPARE(QJsonDocument((*estado)["locales"].toArray()).toJson(QJsonDocument::Compact),
                 QByteArray(R"([{"diasAdeudados":1,"local":"1","nombre":"",)"
                            R"("ultimoDiaFusionado":"2026-12-04"}])"));
    }

    // In a cycle the running phase ends first and any command pressed after is refused (never a
    // second cycle); only "Parar" keeps the program, only the close box leaves AutoSync on.
    void stop_data() { addRows(kStops); }
    void stop() {
        const StopRow& r = fetchRow(kStops);
        const QString boton = QLatin1String(r.boton), fase = QLatin1String(r.fase);
        const bool parar = boton == "Parar", enCiclo = !fase.isEmpty();
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(14, 7, 3)));
        GrabarConfig("AutoSync", "1");
        phases().answered = true;
        QSignalSpy quit(&control(), &RunControl::quitRequested);
        bool cancelado = false, configurar = false;
        qsizetype quitDurante = -1;
        Buttons durante;
        const auto pulsar = [&] {
            parar              ? control().Command2_Click()
            : boton == "Salir" ? control().Command4_Click()
                               : control().cerrar();
            cancelado = run::runState().cancelTransfer;
            durante = control().buttons();
            quitDurante = quit.count();
            if (!enCiclo) return;
            control().Command1_Click();
            control().Command6_Click();
            control().Timer1_Timer();
            configurar = control().Command3_Permitido();
        };
        (fase == QStringLiteral("descarga") ? phases().duranteDescarga
         : fase == QStringLiteral("main")   ? phases().duranteMain
                                            : phases().duranteCopia) = pulsar;
        control().setTimerEnabled(true);  // started by the schedule: bVar is true

        if (!enCiclo) {
            if (parar) control().habilitar(false);
            pulsar();
        } else if (fase == QStringLiteral("copia")) {
            control().Command6_Click();
        } else {
            control().Command1_Click();
        }

        QCOMPARE(logMessages({QStringLiteral("Se Detiene")}),
                 parar ? QStringList{QStringLiteral(
                             "Se Detiene Proceso de Sincronizacion (Envio,Descarga y/o "
                             "Sincronizacion): Fecha '05/12/2026' Hora '14:07:03'")}
                       : QStringList{});
        QCOMPARE(quit.count(), parar ? 0 : 1);
        QCOMPARE(quitDurante, parar || enCiclo ? 0 : 1);
        QCOMPARE(LeerConfig("AutoSync"),
                 boton == "cerrar" ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(cancelado, enCiclo);
        QCOMPARE(durante.subir, !enCiclo);
        QCOMPARE(phases().count("descargarOtrosLocales"),
                 int(fase == "descarga" || fase == "main"));
        QCOMPARE(phases().count("Main"), int(fase == "main"));
        QCOMPARE(logMessages({kSubirLog, kGenerarLog}).size(), enCiclo ? 1 : 0);
        QStringList refusals;
        for (const char* who : {"btnSubirFile", "btnGenerarMDB", "Timer1_Timer", "Configurar"})
            refusals << QLatin1String(who) + QStringLiteral(" - Hay un ciclo");
        QCOMPARE(logMessages(refusals).size(), enCiclo ? 4 : 0);
        QVERIFY(!configurar);
        QCOMPARE(control().timerEnabled(), !parar && !enCiclo);
        QVERIFY(control().buttons().subir && !control().buttons().parar);
        QCOMPARE(console().statePanel(), texts::kDetenido);
        QCOMPARE(console().eventPanel(), QString());
        QVERIFY(!console().busy());
        QCOMPARE(control().lastReport().outcome, enCiclo ? Stopped : Outcome::None);
        QVERIFY(!run::runState().stopRequested && !run::runState().cancelTransfer);
    }

    void ownFilesWaiting_data() { addRows(kPropios); }
    void ownFilesWaiting() {
        const PropioRow& r = fetchRow(kPropios);
        GrabarConfig("Local_Activo", QString::fromLatin1(r.localActivo));
        GrabarConfig("RtDbf", m_rig->file("out"));
        const QString archivo = m_rig->file(QString::fromLatin1(r.archivo));
        m_rig->touch(QString::fromLatin1(r.archivo));
        if (*r.enviado) m_rig->touch(QString::fromLatin1(r.enviado));
        if (r.soloLectura) QFile::setPermissions(archivo, QFile::ReadOwner);
        QCOMPARE(hayArchivosPorSubir(), r.esperando == 1);
    }

    // A store whose first day's generation never finished, or whose machine was off on the day
    // it was registered (its ledger starts the other stores on the 4th): the start-up recorded
    // that day, and the next generation makes its empty snapshots too.
    void firstDayNeverGenerated_data() {
        QTest::addColumn<bool>("apagado");
        QTest::addColumn<QStringList>("archivos");
        QTest::newRow("killed") << false << QStringList{"3_05122026.mdb", "3_06122026.mdb"};
        QTest::newRow("machine off")
            << true << QStringList{"3_04122026.mdb", "3_05122026.mdb", "3_06122026.mdb"};
    }
    void firstDayNeverGenerated() {
        QFETCH(bool, apagado);
        QFETCH(QStringList, archivos);
        if (apagado) {
            QVERIFY(ledger::crearLedger(ledger::rutaLedger()));
            QVERIFY(ledger::registrarDescarga("1", QDate(2026, 12, 3), "1"));
            GrabarConfig("PrimerDia", QString());
            control().arrancar();
        }
        db::setLocalPropio("3", QString());
        GrabarConfig("RtDbf", m_rig->file("out"));
        QDir().mkpath(m_rig->file("out"));
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(2, 0)));
        QCOMPARE(snapshot::crearBDTemp().estado, snapshot::SnapshotDelDia::Estado::Creada);
        QCOMPARE(QDir(m_rig->file("out")).entryList({"*.mdb"}), archivos);
        db::setLocalPropio(QString(), QString());
    }

    // Retention, once a day after a cycle: old archive copies and logs go, a day still owed
    // (in Error, not merged) and the copies of the last 45 days stay.
    void retention() {
        QVERIFY(ledger::crearLedger(ledger::rutaLedger()));
        QVERIFY(ledger::registrarDescarga("1", QDate(2026, 9, 1), "1"));
        QVERIFY(ledger::registrarSync("1", QDate(2026, 9, 1), "1", 2));
        QVERIFY(ledger::registrarDescarga("2", QDate(2026, 9, 1), "1"));
        const QStringList quedan{"Error/020000_2_01092026.mdb",
                                 "MDB_enviadas/020000_3_22102026.mdb"};
        const QStringList viejos =
            quedan + QStringList{"MDB_Syncronizadas/1_01092026.mdb", "Error/020000_1_01092026.mdb",
                                 "MDB_enviadas/020000_3_01092026.mdb",
                                 "MDB_enviadas/020000_3_C_QC5.dbf", "Err_20260901.log"};
        for (const QString& n : viejos) {
            m_rig->touch(n);
            QFile f(m_rig->file(n));
            QVERIFY(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(QDateTime(QDate(2026, 9, 2), QTime(3, 0)),
                                  QFileDevice::FileModificationTime));
        }
        GrabarConfig("DiasRetencion", "10");  // less than the minimum: 45 days
        control().Command1_Click();
        control().Command1_Click();
        QStringList presentes;
        for (const QString& n : viejos)
            if (QFile::exists(m_rig->file(n))) presentes << n;
        QCOMPARE(presentes, quedan);
        QCOMPARE(logMessages({"Retencion: se borraron"}),
                 QStringList{"Retencion: se borraron 5 archivos anteriores al 21/10/2026 (45 "
                             "dias); se conservan 1 cuyo dia aun no esta sincronizado."});
    }

    // Without a display the exit status is 0 only for a cycle that ended well or had nothing to
    // do; a download that failed makes it incomplete even with nothing waiting. A status file
    // that cannot be written is logged and changes nothing else.
    void headlessExitStatus() {
        QVERIFY(QDir().mkpath(m_rig->file("estado.json/ocupado")));
        using enum ModoSinVentana;
        // Mode, downloaded, merge complete, download failure: exit status.
        const std::tuple<ModoSinVentana, bool, bool, const char*, int> casos[] = {
            {Subir, false, true, "", 0},
            {Subir, true, true, "", 0},
            {Subir, true, false, "", 1},
            {Generar, true, true, "", 0},
            {Subir, false, true, "el servidor FTP no responde", 1}};
        for (const auto& [modo, answered, importOk, causa, status] : casos) {
            phases().answered = answered;
            phases().importOk = importOk;
            phases().causaDescarga = QString::fromLatin1(causa);
            QCOMPARE(runHeadless(phases(), modo), status);
        }
        run::setConsole(&console());
        QCOMPARE(logMessages({"No se pudo escribir el archivo de estado"}).size(), 5);
    }

    // A cycle that a kill ended (its mark still in the folder) runs again when the schedule
    // starts: the day's snapshot when it was never made, else "Subir File"; once only.
    void interruptedCycleResumes_data() {
        QTest::addColumn<QString>("bdTemp");
        QTest::newRow("snapshot made") << QStringLiteral("3_05122026.mdb");
        QTest::newRow("snapshot not made") << QStringLiteral("3_04122026.mdb");
    }
    void interruptedCycleResumes() {
        QFETCH(QString, bdTemp);
        GrabarConfig("BD_Temp", bdTemp);
        control().habilitar_2(true);  // as after the command that was cut short
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), QTime(2, 1)));
        QVERIFY(!control().reanudarCicloInterrumpido());
        m_rig->touch("ciclo.en_curso");
        QVERIFY(control().reanudarCicloInterrumpido());
        const bool hecha = bdTemp == QStringLiteral("3_05122026.mdb");
        QCOMPARE(logMessages({kGenerarLog}).size(), hecha ? 0 : 1);
        QCOMPARE(logMessages({kSubirLog}).size(), 1);
        QCOMPARE(logMessages({"El ciclo anterior ("}).size(), 1);
        QVERIFY(!QFile::exists(RunControl::marcaCicloEnCurso()));
        QVERIFY(!control().reanudarCicloInterrumpido());
    }

    void tick_data() { addRows(kTicks); }
    void tick() {
        const TickRow& r = fetchRow(kTicks);
        const QStringList tiempos = QString::fromLatin1(r.tiempos).split(QLatin1Char('|'));
        const char* const claves[] = {"Hora1", "Minuto1", "Hora2", "Minuto2"};
        for (int i = 0; i < 4; ++i) GrabarConfig(QString::fromLatin1(claves[i]), tiempos[i]);
        GrabarConfig("FechaHoy", QString::fromLatin1(r.fechaHoy));
        GrabarConfig("SyncActual", QString::fromLatin1(r.syncActual));
        GrabarConfig("BD_Temp", QString::fromLatin1(r.bdTemp));
        control().habilitar_2(true);  // "Generar MDB Local" disabled, as after a command
        // A tick arriving while the warning waits is skipped: warnings never pile up.
        console().duranteAviso = [&] { control().Timer1_Timer(); };

        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), r.hora));
        control().setTimerEnabled(true);
        control().Timer1_Timer();

        QStringList lineas;
        if (*r.linea) lineas << QString::fromLatin1(r.linea);
        if (r.error)
            lineas
                << QStringLiteral("Timer1_Timer Error: Verificar [%1]").arg(QLatin1String(r.error));
        QCOMPARE(logMessages({"sale A", "ini ", "Timer1_Timer Error"}), lineas);
        QCOMPARE(logMessages({"Timer1_Timer - Hay un ciclo o un aviso"}).size(), r.error ? 1 : 0);
        QCOMPARE(logMessages({kGenerarLog}).size(), r.generar);
        QCOMPARE(logMessages({kSubirLog}).size(), r.subir);
        QCOMPARE(LeerConfig("SyncActual"), QString::fromLatin1(r.syncDespues));
        QCOMPARE(LeerConfig("FechaHoy"), QString::fromLatin1(kHoy));
        QStringList avisos;
        for (const auto& b : console().eventsOf(TestConsole::Event::Kind::Box)) avisos << b.text;
        QCOMPARE(avisos, r.error
                             ? QStringList{QStringLiteral("Sincronizacion Autmatica: Verificar - "
                                                          "Errores de Configuración")}
                             : QStringList{});
        // The timer stays on: a configuration error repeats every minute until fixed.
        QVERIFY(control().timerEnabled());
    }
};

QTEST_GUILESS_MAIN(TestRunControl)
#include "TestRunControl.moc"
