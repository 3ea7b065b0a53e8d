// How a command ended: its outcome from what it met and what the phases noted, and the one
// summary line that says so.
#include <algorithm>
#include <cstdio>

#include "app/ArchivoEstado.h"
#include "app/RunControl.h"
#include "app/Texts.h"
#include "config/Clock.h"
#include "config/Settings.h"
#include "run/Console.h"
#include "run/RunState.h"

namespace lumaro::app {

using run::runState;

QString textoResultado(Outcome outcome) {
    switch (outcome) {
        case Outcome::Complete:
            return QStringLiteral("completo");
        case Outcome::NothingToDo:
            return QStringLiteral("sin nada que hacer");
        case Outcome::Stalled:
            return QStringLiteral("incompleto");
        case Outcome::Failed:
            return QStringLiteral("fallido");
        case Outcome::Stopped:
            return QStringLiteral("detenido");
        case Outcome::None:
            break;
    }
    return QStringLiteral("sin resultado");
}

namespace {

// "45 s", "2 min 05 s", "3 h 07 min".
QString duracion(qint64 segundos) {
    if (segundos < 60) return QString::number(segundos) + QStringLiteral(" s");
    if (segundos < 3600)
        return QStringLiteral("%1 min %2 s")
            .arg(segundos / 60)
            .arg(segundos % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min")
        .arg(segundos / 3600)
        .arg(segundos / 60 % 60, 2, 10, QLatin1Char('0'));
}

Report informe(Outcome outcome, const QString& razon) {
    Report report;
    report.outcome = outcome;
    report.reason = razon;
    return report;
}

// "Cliente 3, Tarjeta 2"
QString recuento(const QMap<QString, qint64>& filas) {
    QStringList partes;
    for (auto it = filas.cbegin(); it != filas.cend(); ++it)
        partes << it.key() + u' ' + QString::number(it.value());
    return partes.join(QStringLiteral(", "));
}

}  // namespace

QString lineaResumen(const Report& report, const QString& proximo) {
    QString linea = QStringLiteral("Ciclo terminado: ") + textoResultado(report.outcome);
    if (!report.reason.isEmpty()) linea += QStringLiteral(" - ") + report.reason;
    if (!proximo.isEmpty()) linea += QStringLiteral(" - ") + proximo;
    if (report.inicio.isValid() && report.fin.isValid())
        linea += QStringLiteral(" - duracion ") +
                 duracion(std::max<qint64>(0, report.inicio.secsTo(report.fin)));
    if (!report.filasCopiadas.isEmpty())
        linea += QStringLiteral(" - filas copiadas: ") + recuento(report.filasCopiadas);
    QStringList fusionadas;
    for (auto it = report.filasFusionadas.cbegin(); it != report.filasFusionadas.cend(); ++it)
        fusionadas << QStringLiteral("local ") + it.key() + QStringLiteral(" (") +
                          recuento(it.value()) + u')';
    if (!fusionadas.isEmpty())
        linea += QStringLiteral(" - filas fusionadas: ") + fusionadas.join(QStringLiteral("; "));
    return linea;
}

Report RunControl::armarInforme() const {
    Report report = resultadoDelComando();
    report.inicio = m_inicio;
    report.fin = config::Clock::now();
    report.filasCopiadas = m_filasCopiadas;
    report.filasFusionadas = m_import.filas;
    return report;
}

Report RunControl::resultadoDelComando() const {
    if (runState().stopRequested)
        return informe(Outcome::Stopped, QStringLiteral("Proceso detenido antes de terminar."));
    QStringList causas;
    if (!m_failure.isEmpty()) causas << m_failure;
    if (!m_falloAjustes.isEmpty()) causas << m_falloAjustes;
    const bool fallido = !causas.isEmpty();

    // A phase that did not complete, with the cause it noted when it noted one.
    const bool main = m_subirOutcome == Outcome::Stalled;
    const auto fase = [&causas](const char* que, const QString& causa, bool noTermino) {
        if (!causa.isEmpty())
            causas << QString::fromLatin1(que) + QStringLiteral(": ") + causa;
        else if (noTermino)
            causas << QString::fromLatin1(que);
    };
    fase("La descarga no termino", m_descarga.failure, false);
    fase("La sincronizacion de las MDB descargadas no termino", m_import.failure,
         main && !m_import.completed);
    fase("La subida de archivos al FTP no termino", m_upload.failure,
         main && m_import.completed && !m_upload.done);

    const QString razon = causas.join(QStringLiteral("; "));
    if (fallido) return informe(Outcome::Failed, razon);
    if (!causas.isEmpty()) return informe(Outcome::Stalled, razon);
    return informe(m_subirOutcome.value_or(Outcome::None), QString());
}

void RunControl::anunciarResultado() {
    const bool reintentable =
        !m_report.ok() && m_report.outcome != Outcome::Stopped && m_report.outcome != Outcome::None;
    QString proximo;
    if (reintentable && !m_ordenUnica) {
        if (timerEnabled()) {
            const std::optional<QDateTime> t = proximaHoraProgramada();
            proximo = t ? QStringLiteral("proximo intento automatico: ") +
                              t->toString(QStringLiteral("dd/MM/yyyy hh:mm"))
                        : QStringLiteral(
                              "sin proximo intento: el horario de la configuracion "
                              "no es valido");
        } else {
            proximo = QStringLiteral(
                "sin reintento automatico: el modo automatico esta "
                "desactivado");
        }
    }
    const QString linea = lineaResumen(m_report, proximo);
    config::EscribirLog(linea);
    std::fprintf(stderr, "%s\n", linea.toLocal8Bit().constData());
    std::fflush(stderr);
    if (reintentable) run::console().setEventPanel(texts::marcaDeTiempo() + u' ' + linea);
    mostrarFinDeComando();
    // A single command from the command line ends the program: no next time.
    escribirArchivoEstado(m_report,
                          timerEnabled() && !m_ordenUnica ? proximaHoraProgramada() : std::nullopt);
}

void RunControl::mostrarFinDeComando() {
    if (m_report.outcome == Outcome::Stopped) return;  // "Parar" already left the window idle
    // Nothing runs any more: waiting for the next daily time when the automatic mode is on,
    // idle otherwise; never "Procesando..." or the hourglass of the cycle that ended.
    run::console().setBusy(false);
    if (m_report.outcome != Outcome::Complete) {
        run::console().setStep(QString());
        run::console().setStatePanel(timerEnabled() ? texts::kEsperando : texts::kDetenido);
    }
    // "Parar" stays enabled only while there is an automatic mode to stop.
    if (!timerEnabled()) habilitar(true);
}

}  // namespace lumaro::app
