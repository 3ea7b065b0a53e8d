// How a command ended: its outcome from what it met and what the phases noted, and the one
// summary line that says so.
#include <cstdio>

#include "app/RunControl.h"
#include "app/Texts.h"
#include "config/Console.h"
#include "config/RunState.h"
#include "config/Settings.h"

namespace lumaro::app {

using config::runState;

QString lineaResumen(const Report& report, const QString& proximo) {
    QString linea = QStringLiteral("Ciclo terminado: ");
    switch (report.outcome) {
        case Outcome::Complete:
            linea += QStringLiteral("completo");
            break;
        case Outcome::NothingToDo:
            linea += QStringLiteral("sin nada que hacer");
            break;
        case Outcome::Stalled:
            linea += QStringLiteral("incompleto");
            break;
        case Outcome::Failed:
            linea += QStringLiteral("fallido");
            break;
        case Outcome::Stopped:
            linea += QStringLiteral("detenido");
            break;
        case Outcome::None:
            linea += QStringLiteral("sin resultado");
            break;
    }
    if (!report.reason.isEmpty()) linea += QStringLiteral(" - ") + report.reason;
    if (!proximo.isEmpty()) linea += QStringLiteral(" - ") + proximo;
    return linea;
}

Report RunControl::armarInforme() const {
    if (runState().stopRequested)
        return Report{Outcome::Stopped, QStringLiteral("Proceso detenido antes de terminar.")};
    const config::PhaseResults& r = runState().results;
    QStringList causas;
    if (!m_failure.isEmpty()) causas << m_failure;
    if (!r.settingsFailure.isEmpty()) causas << r.settingsFailure;
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
    if (fallido) return Report{Outcome::Failed, razon};
    if (!causas.isEmpty()) return Report{Outcome::Stalled, razon};
    return Report{m_subirOutcome.value_or(Outcome::None), QString()};
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
            // Waiting for the next daily time, not stuck in the cycle that ended.
            config::console().setStatePanel(texts::kEsperando);
            config::console().setBusy(false);
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
    if (reintentable) config::console().setEventPanel(texts::marcaDeTiempo() + u' ' + linea);
}

}  // namespace lumaro::app
