// The daily schedule: the one-minute tick and the automatic-mode test.
#include <QFile>
#include <QRegularExpression>
#include <cmath>

#include "app/RunControl.h"
#include "app/Texts.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "run/Console.h"
#include "run/RunState.h"

namespace lumaro::app {

using config::EscribirLog;
using config::GrabarConfig;
using config::LeerConfig;

namespace {

// A daily time from its hour and minute settings: one or two digits, hour 0 to 23, minute
// 0 to 59. Anything else is a configuration error.
std::optional<QTime> horaDiaria(const char* claveHora, const char* claveMinuto, QString* error) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,2}$"));
    const QString h = LeerConfig(QString::fromLatin1(claveHora));
    const QString m = LeerConfig(QString::fromLatin1(claveMinuto));
    if (digits.match(h).hasMatch() && digits.match(m).hasMatch()) {
        const QTime t(h.toInt(), m.toInt());
        if (t.isValid()) return t;
    }
    *error = QStringLiteral("Horario no valido en ") + QString::fromLatin1(claveHora) +
             QStringLiteral("/") + QString::fromLatin1(claveMinuto) + QStringLiteral(": '") + h +
             QStringLiteral(":") + m + QStringLiteral(":00'");
    return std::nullopt;
}

bool mismoMinuto(const QTime& a, const QTime& b) {
    return a.hour() == b.hour() && a.minute() == b.minute();
}

// The counter as a whole number, rounding as the original conversion did (half to even).
std::optional<long long> contador(const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return std::llrint(value);
}

}  // namespace

ModoAutomatico RunControl::modoAutomatico() const {
    ModoAutomatico modo;
    modo.iAuto = LeerConfig(QStringLiteral("AutoSync")).trimmed() == QStringLiteral("1") ? 1 : 0;
    modo.bVar = timerEnabled() || modo.iAuto == 1;
    return modo;
}

std::optional<QDateTime> RunControl::proximaHoraProgramada() const {
    QString error;
    const std::optional<QTime> primera = horaDiaria("Hora1", "Minuto1", &error);
    const std::optional<QTime> segunda = horaDiaria("Hora2", "Minuto2", &error);
    if (!primera || !segunda) return std::nullopt;
    // The tick matches whole minutes: the minute now running is already past.
    const QDateTime now = config::Clock::now();
    std::optional<QDateTime> proxima;
    for (int dia = 0; dia <= 1; ++dia) {
        for (const QTime& t : {*primera, *segunda}) {
            const QDateTime candidata(now.date().addDays(dia), t);
            if (candidata > now && (!proxima || candidata < *proxima)) proxima = candidata;
        }
    }
    return proxima;
}

void RunControl::Timer1_Timer() {
    if (run::runState().cycleRunning || m_inTick) {
        EscribirLog(
            QStringLiteral("Timer1_Timer - Hay un ciclo o un aviso en curso; se omite "
                           "este minuto."));
        return;
    }
    m_inTick = true;
    QString error;
    tick(&error);
    if (!error.isEmpty()) {
        run::console().messageBox(
            run::BoxIcon::Exclamation, texts::kTituloAplicacion,
            QStringLiteral("Sincronizacion Autmatica: Verificar - Errores de Configuración"));
        EscribirLog(QStringLiteral("Timer1_Timer Error: Verificar [") + error +
                    QStringLiteral("]"));
    }
    m_inTick = false;
}

void RunControl::tick(QString* error) {
    const std::optional<QTime> primera = horaDiaria("Hora1", "Minuto1", error);
    if (!primera) return;
    const std::optional<QTime> segunda = horaDiaria("Hora2", "Minuto2", error);
    if (!segunda) return;

    const QDateTime now = config::Clock::now();
    if (!mismoMinuto(now.time(), *primera) && !mismoMinuto(now.time(), *segunda)) {
        EscribirLog(QStringLiteral("sale A"));
        return;
    }
    const QString hoy = now.date().toString(QStringLiteral("dd/MM/yyyy"));
    const QString fechaHoy = LeerConfig(QStringLiteral("FechaHoy"));
    if (fechaHoy.isEmpty() || fechaHoy != hoy) {
        nuevoDia(QStringLiteral("ini A"), hoy);
        return;
    }
    const QString syncActual = LeerConfig(QStringLiteral("SyncActual"));
    if (syncActual.isEmpty() || syncActual == QStringLiteral("0")) {
        nuevoDia(QStringLiteral("ini B"), hoy);
        return;
    }
    if (syncActual == QStringLiteral("1")) {
        EscribirLog(QStringLiteral("ini C"));
        GrabarConfig(QStringLiteral("SyncActual"), QStringLiteral("2"));
        cicloDelDia();
        return;
    }
    const std::optional<long long> n = contador(syncActual);
    if (!n) {
        *error = QStringLiteral("SyncActual no es numerico: '") + syncActual + QStringLiteral("'");
        return;
    }
    if (*n >= 2) {
        EscribirLog(QStringLiteral("ini D y despues sale B"));
        cicloDelDia();
        GrabarConfig(QStringLiteral("SyncActual"), QStringLiteral("0"));
    }
}

void RunControl::cicloDelDia() {
    // The first cycle of the day made no snapshot (a database or the mirror was down, the disk
    // full): this one makes it, and "Subir File" follows it, so the other stores get the day
    // now rather than after the next day's first time.
    configurarControles();
    if (m_buttons.generar) {
        EscribirLog(QStringLiteral(
            "Timer1_Timer - La MDB del dia no se genero en la primera hora; se genera ahora."));
        Command6_Click();
        return;
    }
    Command1_Click();
}

QString RunControl::marcaCicloEnCurso() {
    return config::programPath(QStringLiteral("ciclo.en_curso"));
}

bool RunControl::reanudarCicloInterrumpido() {
    QFile marca(marcaCicloEnCurso());
    if (!marca.exists()) return false;
    QString antes;
    if (marca.open(QIODevice::ReadOnly)) antes = QString::fromUtf8(marca.readAll()).trimmed();
    marca.close();
    EscribirLog(QStringLiteral("El ciclo anterior (") + antes +
                QStringLiteral(") no termino: el programa se detuvo durante el ciclo; se repite "
                               "ahora."));
    // A mark that cannot be removed must not start a cycle at every start-up.
    if (!marca.remove()) {
        EscribirLog(QStringLiteral("No se pudo borrar ") + marca.fileName() + QStringLiteral(" (") +
                    marca.errorString() + QStringLiteral("): el ciclo no se repite."));
        return false;
    }
    cicloDelDia();
    return true;
}

void RunControl::nuevoDia(const QString& lineaLog, const QString& hoy) {
    GrabarConfig(QStringLiteral("SyncActual"), QStringLiteral("1"));
    GrabarConfig(QStringLiteral("FechaHoy"), hoy);
    configurarControles();
    if (m_buttons.generar) {
        EscribirLog(lineaLog);
        Command6_Click();
    }
}

}  // namespace lumaro::app
