// The daily schedule's tick: every branch, its log lines and the settings it changes. The
// clock is set, never waited for.
#include <QtTest>

#include "AppTestSupport.h"
#include "app/RunControl.h"
#include "config/HeadlessConsole.h"

using namespace lumaro;
using namespace lumaro::app;
using namespace lumaro::app::test;
using config::GrabarConfig;
using config::LeerConfig;
using Kind = config::HeadlessConsole::Event::Kind;

namespace {

const QStringList kLineasDelReloj{QStringLiteral("sale A"), QStringLiteral("ini "),
                                  QStringLiteral("Timer1_Timer Error")};

const char* const kHoy = "05/12/2026";
const char* const kAyer = "04/12/2026";
const char* const kT = "2|0|14|30";  // Hora1|Minuto1|Hora2|Minuto2

struct TickRow {
    const char* name;
    const char* tiempos;
    const char* fechaHoy;
    const char* syncActual;
    const char* bdTemp;
    QTime hora;
    const char* linea;  // the schedule's own log line, if any
    int generar;        // times each command ran
    int subir;
    const char* syncDespues;
    // A configuration error: logged as "Timer1_Timer Error: Verificar [<error>]" and warned of.
    const char* error = nullptr;
};

const TickRow kTicks[] = {
    {"no time matches", kT, kHoy, "1", "", QTime(3, 0), "sale A", 0, 0, "1"},
    {"other second of the minute", kT, kHoy, "1", "", QTime(2, 0, 59), "ini C", 0, 1, "2"},
    {"new day, first time", kT, "", "", "", QTime(2, 0), "ini A", 1, 1, "1"},
    {"new day, second time", kT, kAyer, "2", "", QTime(14, 30), "ini A", 1, 1, "1"},
    {"new day, today's snapshot made", kT, kAyer, "2", "3_05122026.mdb", QTime(2, 0), "", 0, 0,
     "1"},
    {"same day, counter empty", kT, kHoy, "", "", QTime(2, 0), "ini B", 1, 1, "1"},
    {"same day, counter 0", kT, kHoy, "0", "", QTime(2, 0), "ini B", 1, 1, "1"},
    {"same day, counter 1", kT, kHoy, "1", "", QTime(14, 30), "ini C", 0, 1, "2"},
    {"same day, counter 2", kT, kHoy, "2", "", QTime(14, 30), "ini D y despues sale B", 0, 1, "0"},
    {"same day, counter 7", kT, kHoy, "7", "", QTime(14, 30), "ini D y despues sale B", 0, 1, "0"},
    {"same day, counter -3", kT, kHoy, "-3", "", QTime(14, 30), "", 0, 0, "-3"},
    {"same day, counter not a number", kT, kHoy, "dos", "", QTime(14, 30), "", 0, 0, "dos",
     "SyncActual no es numerico: 'dos'"},
    {"one-digit and two-digit times", "02|5|2|05", kHoy, "1", "", QTime(2, 5), "ini C", 0, 1, "2"},
    {"hour missing", "|0|14|30", kHoy, "1", "", QTime(2, 0), "", 0, 0, "1",
     "Horario no valido en Hora1/Minuto1: ':0:00'"},
    {"hour 24", "2|0|24|30", kHoy, "1", "", QTime(3, 0), "", 0, 0, "1",
     "Horario no valido en Hora2/Minuto2: '24:30:00'"},
    {"minute 1.5", "2|1.5|14|30", kHoy, "1", "", QTime(2, 1), "", 0, 0, "1",
     "Horario no valido en Hora1/Minuto1: '2:1.5:00'"},
    {"minute 60", "2|0|14|60", kHoy, "1", "", QTime(3, 0), "", 0, 0, "1",
     "Horario no valido en Hora2/Minuto2: '14:60:00'"},
};

}  // namespace

class TestSchedule : public RigTest {
    Q_OBJECT

private:
    void setTimes(const QString& tiempos) {
        const QStringList t = tiempos.split(QLatin1Char('|'));
        const char* const claves[] = {"Hora1", "Minuto1", "Hora2", "Minuto2"};
        for (int i = 0; i < 4; ++i) GrabarConfig(QString::fromLatin1(claves[i]), t[i]);
    }
    // A tick as the armed timer delivers it.
    void tickAt(const QTime& at) {
        config::Clock::setFixed(QDateTime(QDate(2026, 12, 5), at));
        control().setTimerEnabled(true);
        control().Timer1_Timer();
    }

private Q_SLOTS:
    void init() { m_rig = std::make_unique<Rig>(); }
    void cleanup() { m_rig.reset(); }

    void tick_data() { addRows(kTicks); }
    void tick() {
        QFETCH(int, row);
        const TickRow& r = kTicks[row];
        setTimes(QString::fromLatin1(r.tiempos));
        GrabarConfig("FechaHoy", QString::fromLatin1(r.fechaHoy));
        GrabarConfig("SyncActual", QString::fromLatin1(r.syncActual));
        GrabarConfig("BD_Temp", QString::fromLatin1(r.bdTemp));
        control().habilitar_2(true);  // "Generar MDB Local" disabled, as after a command
        console().clearEvents();

        tickAt(r.hora);

        QStringList lineas;
        if (*r.linea) lineas << QString::fromLatin1(r.linea);
        if (r.error)
            lineas
                << QStringLiteral("Timer1_Timer Error: Verificar [%1]").arg(QLatin1String(r.error));
        QCOMPARE(logMessages(kLineasDelReloj), lineas);
        QCOMPARE(logMessages({kGenerarLog}).size(), r.generar);
        QCOMPARE(logMessages({kSubirLog}).size(), r.subir);
        QCOMPARE(LeerConfig("SyncActual"), QString::fromLatin1(r.syncDespues));
        QCOMPARE(LeerConfig("FechaHoy"), QString::fromLatin1(kHoy));
        const auto boxes = console().eventsOf(Kind::Box);
        QCOMPARE(boxes.size(), size_t(r.error ? 1 : 0));
        if (r.error) {
            QCOMPARE(boxes[0].text, QStringLiteral("Sincronizacion Autmatica: Verificar - Errores "
                                                   "de Configuración"));
            QCOMPARE(boxes[0].number, int(config::BoxIcon::Exclamation));
        }
        // The timer stays on: a configuration error repeats every minute until fixed.
        QVERIFY(control().timerEnabled());
    }

    // Ticks through a day: each daily time starts one run, the minute after it does not; with
    // both times equal the day has one run. (The next day starting over: the rows above.)
    void aDayOfTicks_data() {
        QTest::addColumn<QString>("tiempos");
        QTest::addColumn<QString>("ticks");
        QTest::addColumn<QStringList>("lineas");
        QTest::newRow("two times") << "2|0|14|30"
                                   << "01:59 02:00 02:01 14:30 14:31"
                                   << QStringList{"sale A", "ini A", "sale A", "ini C", "sale A"};
        QTest::newRow("equal times") << "2|0|2|0"
                                     << "02:00 02:01" << QStringList{"ini A", "sale A"};
    }
    void aDayOfTicks() {
        QFETCH(QString, tiempos);
        QFETCH(QString, ticks);
        QFETCH(QStringList, lineas);
        setTimes(tiempos);
        for (const QString& t : ticks.split(QLatin1Char(' ')))
            tickAt(QTime::fromString(t, QStringLiteral("hh:mm")));
        QCOMPARE(logMessages(kLineasDelReloj), lineas);
        QCOMPARE(logMessages({kGenerarLog}).size(), 1);
    }

    // A tick that comes while the warning of the last one still waits is skipped, so
    // unanswered warnings never pile up.
    void tickDuringAPendingWarningIsSkipped() {
        setTimes(QStringLiteral("|||"));
        struct Reentrant : config::HeadlessConsole {
            RunControl* control = nullptr;
            void messageBox(config::BoxIcon i, const QString& c, const QString& t) override {
                HeadlessConsole::messageBox(i, c, t);
                control->Timer1_Timer();
            }
        } reentrant;
        reentrant.control = &control();
        config::setConsole(&reentrant);
        tickAt(QTime(2, 0));
        config::setConsole(&console());
        QCOMPARE(reentrant.eventsOf(Kind::Box).size(), size_t(1));
        QCOMPARE(logMessages({"Timer1_Timer - Hay un ciclo o un aviso"}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "TestSchedule.moc"
