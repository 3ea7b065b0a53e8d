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

namespace {

const QStringList kLineasDelReloj{QStringLiteral("sale A"), QStringLiteral("ini "),
                                  QStringLiteral("Timer1_Timer Error")};
const QString kAviso =
    QStringLiteral("Sincronizacion Autmatica: Verificar - Errores de Configuración");

}  // namespace

class TestSchedule : public RigTest {
    Q_OBJECT

private:
    void setTimes(const QString& h1, const QString& m1, const QString& h2, const QString& m2) {
        GrabarConfig(QStringLiteral("Hora1"), h1);
        GrabarConfig(QStringLiteral("Minuto1"), m1);
        GrabarConfig(QStringLiteral("Hora2"), h2);
        GrabarConfig(QStringLiteral("Minuto2"), m2);
    }
    // A tick as the armed timer delivers it.
    void tickAt(const QTime& at, const QDate& day = QDate(2026, 12, 5)) {
        config::Clock::setFixed(QDateTime(day, at));
        control().setTimerEnabled(true);
        control().Timer1_Timer();
    }
    int boxes() {
        return int(console().eventsOf(config::HeadlessConsole::Event::Kind::Box).size());
    }

private Q_SLOTS:
    void init() { m_rig = std::make_unique<Rig>(); }
    void cleanup() { m_rig.reset(); }

    void tick_data() {
        QTest::addColumn<QStringList>("tiempos");  // Hora1, Minuto1, Hora2, Minuto2
        QTest::addColumn<QString>("fechaHoy");
        QTest::addColumn<QString>("syncActual");
        QTest::addColumn<QString>("bdTemp");
        QTest::addColumn<QTime>("hora");
        QTest::addColumn<QStringList>("lineas");
        QTest::addColumn<int>("generar");
        QTest::addColumn<int>("subir");
        QTest::addColumn<QString>("syncDespues");
        QTest::addColumn<QString>("fechaDespues");
        QTest::addColumn<int>("avisos");
        const QStringList t{"2", "0", "14", "30"};
        const QString hoy = QStringLiteral("05/12/2026");
        const QString ayer = QStringLiteral("04/12/2026");
        const QString error = QStringLiteral("Timer1_Timer Error: Verificar [");
        QTest::newRow("no time matches")
            << t << hoy << "1"
            << "" << QTime(3, 0) << QStringList{"sale A"} << 0 << 0 << "1" << hoy << 0;
        QTest::newRow("other second of the minute")
            << t << hoy << "1"
            << "" << QTime(2, 0, 59) << QStringList{"ini C"} << 0 << 1 << "2" << hoy << 0;
        QTest::newRow("new day, first time")
            << t << ""
            << ""
            << "" << QTime(2, 0) << QStringList{"ini A"} << 1 << 1 << "1" << hoy << 0;
        QTest::newRow("new day, second time")
            << t << ayer << "2"
            << "" << QTime(14, 30) << QStringList{"ini A"} << 1 << 1 << "1" << hoy << 0;
        QTest::newRow("new day, snapshot of today already made")
            << t << ayer << "2"
            << "3_05122026.mdb" << QTime(2, 0) << QStringList{} << 0 << 0 << "1" << hoy << 0;
        QTest::newRow("same day, counter empty")
            << t << hoy << ""
            << "" << QTime(2, 0) << QStringList{"ini B"} << 1 << 1 << "1" << hoy << 0;
        QTest::newRow("same day, counter 0")
            << t << hoy << "0"
            << "" << QTime(2, 0) << QStringList{"ini B"} << 1 << 1 << "1" << hoy << 0;
        QTest::newRow("same day, counter 1")
            << t << hoy << "1"
            << "" << QTime(14, 30) << QStringList{"ini C"} << 0 << 1 << "2" << hoy << 0;
        QTest::newRow("same day, counter 2")
            << t << hoy << "2"
            << "" << QTime(14, 30) << QStringList{"ini D y despues sale B"} << 0 << 1 << "0" << hoy
            << 0;
        QTest::newRow("same day, counter 7")
            << t << hoy << "7"
            << "" << QTime(14, 30) << QStringList{"ini D y despues sale B"} << 0 << 1 << "0" << hoy
            << 0;
        QTest::newRow("same day, counter -3")
            << t << hoy << "-3"
            << "" << QTime(14, 30) << QStringList{} << 0 << 0 << "-3" << hoy << 0;
        QTest::newRow("same day, counter not a number")
            << t << hoy << "dos"
            << "" << QTime(14, 30) << QStringList{error + "SyncActual no es numerico: 'dos']"} << 0
            << 0 << "dos" << hoy << 1;
        QTest::newRow("one-digit and two-digit times")
            << QStringList{"02", "5", "2", "05"} << hoy << "1"
            << "" << QTime(2, 5) << QStringList{"ini C"} << 0 << 1 << "2" << hoy << 0;
        QTest::newRow("hour missing")
            << QStringList{"", "0", "14", "30"} << hoy << "1"
            << "" << QTime(2, 0)
            << QStringList{error + "Horario no valido en Hora1/Minuto1: ':0:00']"} << 0 << 0 << "1"
            << hoy << 1;
        QTest::newRow("hour 24") << QStringList{"2", "0", "24", "30"} << hoy << "1"
                                 << "" << QTime(3, 0)
                                 << QStringList{error +
                                                "Horario no valido en Hora2/Minuto2: '24:30:00']"}
                                 << 0 << 0 << "1" << hoy << 1;
        QTest::newRow("minute 1.5")
            << QStringList{"2", "1.5", "14", "30"} << hoy << "1"
            << "" << QTime(2, 1)
            << QStringList{error + "Horario no valido en Hora1/Minuto1: '2:1.5:00']"} << 0 << 0
            << "1" << hoy << 1;
        QTest::newRow("minute 60")
            << QStringList{"2", "0", "14", "60"} << hoy << "1"
            << "" << QTime(3, 0)
            << QStringList{error + "Horario no valido en Hora2/Minuto2: '14:60:00']"} << 0 << 0
            << "1" << hoy << 1;
    }
    void tick() {
        QFETCH(QStringList, tiempos);
        QFETCH(QString, fechaHoy);
        QFETCH(QString, syncActual);
        QFETCH(QString, bdTemp);
        QFETCH(QTime, hora);
        QFETCH(QStringList, lineas);
        QFETCH(int, generar);
        QFETCH(int, subir);
        QFETCH(QString, syncDespues);
        QFETCH(QString, fechaDespues);
        QFETCH(int, avisos);
        setTimes(tiempos[0], tiempos[1], tiempos[2], tiempos[3]);
        GrabarConfig(QStringLiteral("FechaHoy"), fechaHoy);
        GrabarConfig(QStringLiteral("SyncActual"), syncActual);
        GrabarConfig(QStringLiteral("BD_Temp"), bdTemp);
        control().habilitar_2(true);  // "Generar MDB Local" disabled, as after a command
        console().clearEvents();

        tickAt(hora);

        QCOMPARE(logMessagesStartingWith(kLineasDelReloj), lineas);
        QCOMPARE(logMessagesStartingWith({kGenerarLog}).size(), generar);
        QCOMPARE(logMessagesStartingWith({kSubirLog}).size(), subir);
        QCOMPARE(LeerConfig(QStringLiteral("SyncActual")), syncDespues);
        QCOMPARE(LeerConfig(QStringLiteral("FechaHoy")), fechaDespues);
        QCOMPARE(boxes(), avisos);
        if (avisos) {
            const auto box = console().eventsOf(config::HeadlessConsole::Event::Kind::Box)[0];
            QCOMPARE(box.text, kAviso);
            QCOMPARE(box.number, int(config::BoxIcon::Exclamation));
        }
        // The timer stays on: a configuration error repeats every minute until fixed.
        QVERIFY(control().timerEnabled());
    }

    // A day of ticks with two daily times, then the next day.
    void aDayOfTicks() {
        setTimes(QStringLiteral("2"), QStringLiteral("0"), QStringLiteral("14"),
                 QStringLiteral("30"));
        tickAt(QTime(1, 59));
        tickAt(QTime(2, 0));
        tickAt(QTime(2, 1));
        tickAt(QTime(14, 30));
        tickAt(QTime(14, 31));
        QCOMPARE(logMessagesStartingWith(kLineasDelReloj),
                 (QStringList{"sale A", "ini A", "sale A", "ini C", "sale A"}));
        QCOMPARE(LeerConfig(QStringLiteral("BD_Temp")), QStringLiteral("3_05122026.mdb"));
        tickAt(QTime(2, 0), QDate(2026, 12, 6));
        // The next day's lines go to the next day's log.
        QCOMPARE(logMessagesStartingWith(kLineasDelReloj), QStringList{"ini A"});
        QCOMPARE(LeerConfig(QStringLiteral("FechaHoy")), QStringLiteral("06/12/2026"));
        // The 6th's first tick is a new day whatever the counter said.
        QCOMPARE(LeerConfig(QStringLiteral("SyncActual")), QStringLiteral("1"));
    }

    // Both daily times equal: one run a day, at the first hit.
    void equalTimesRunOncePerDay() {
        setTimes(QStringLiteral("2"), QStringLiteral("0"), QStringLiteral("2"),
                 QStringLiteral("0"));
        tickAt(QTime(2, 0));
        tickAt(QTime(2, 1));
        QCOMPARE(logMessagesStartingWith(kLineasDelReloj), (QStringList{"ini A", "sale A"}));
        QCOMPARE(logMessagesStartingWith({kGenerarLog}).size(), 1);
    }

    // A tick that comes while the warning of the last one still waits is skipped, so
    // unanswered warnings never pile up.
    void tickDuringAPendingWarningIsSkipped() {
        setTimes(QString(), QString(), QString(), QString());
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
        QCOMPARE(reentrant.eventsOf(config::HeadlessConsole::Event::Kind::Box).size(), size_t(1));
        QCOMPARE(logMessagesStartingWith({QStringLiteral("Timer1_Timer - Hay un ciclo o un "
                                                         "aviso en curso")})
                     .size(),
                 1);
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "TestSchedule.moc"
