#include "ftp/DownloadRun.h"

#include <QString>
#include <QStringList>
#include <optional>

#include "config/Clock.h"
#include "config/Settings.h"
#include "config/Status.h"
#include "db/ConfigLocales.h"
#include "db/clsLocal.h"
#include "ftp/DiasAdeudados.h"
#include "ftp/FtpUtil.h"
#include "ftp/Transfer.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerMigracion.h"
#include "run/AvisosCorreo.h"
#include "run/Console.h"
#include "run/RunState.h"
#include "snapshot/DataModel.h"

namespace lumaro::ftp {

using lumaro::config::EscribirLog;
using lumaro::run::console;
using lumaro::run::EscribirLogCorreo;

namespace {

const QString kModulo = QStringLiteral("MainProcesoSinc.descargarOtrosLocales");

using lumaro::ledger::getUltimaDescarga;
using lumaro::ledger::UltimaDescarga;
using lumaro::snapshot::nombreSnapshot;

class Descarga {
public:
    Descarga() : m_correo(lumaro::db::emailContactoPropio()) {}

    bool yaProcesado() const { return m_yaProcesado; }

    // Why stores were not asked for anything, naming them; empty when none was left out.
    QString omitidos() const {
        const QString ledger = QStringLiteral(" en el ledger ") + lumaro::ledger::rutaLedger();
        if (!m_ilegibles.isEmpty())
            return QStringLiteral("No se pudieron leer las filas") + ledger +
                   QStringLiteral(" de: ") + m_ilegibles.join(QStringLiteral(", ")) +
                   QStringLiteral(" (se omitieron en esta ejecucion)");
        if (m_sinRegistro.isEmpty()) return QString();
        const bool uno = m_sinRegistro.size() == 1;
        return (uno ? QStringLiteral("El Local ") : QStringLiteral("Los Locales ")) +
               m_sinRegistro.join(QStringLiteral(", ")) +
               (uno ? QStringLiteral(" no tiene") : QStringLiteral(" no tienen")) +
               QStringLiteral(" descarga registrada") + ledger +
               QStringLiteral(
                   ": no se descargan sus archivos hasta registrar su dia de inicio "
                   "con lumaro-db ledger-iniciar");
    }

    // Asks the server for every day the store owes, oldest first. A day the store has not
    // sent yet, or a failed transfer, ends the walk once past its last recorded download, so
    // peers still move forward one day at a time; an older day (fetched again) holds nothing
    // back: when its transfer fails the walk goes on with the first day past the last download.
    void local(const QString& s, const QString& etiqueta) {
        EscribirLog(QStringLiteral("Buscando último archivo DESCARGADO..."));
        const lumaro::ledger::HistorialLocal historial = lumaro::ledger::historialLocal(s);
        if (!conHistorial(historial, s, etiqueta)) return;
        QDate u = historial.ultima;
        const QList<DiaAdeudado> dias = m_adeudados.deLocal(s, historial, &m_yaProcesado);
        if (dias.isEmpty()) {
            EscribirLog(QStringLiteral("Al parecer las DESCARGAS estan correctas a la fecha..."));
            return;
        }
        for (qsizetype i = 0; i < dias.size(); ++i) {
            const QDate d = dias[i].fecha;
            const QString n = nombreSnapshot(s, d);
            if (dias[i].enError && !m_adeudados.reintentar(n)) {
                m_yaProcesado = true;
                continue;
            }
            const DownloadResult descarga = descargarFileFTP(n, listado());
            if (descarga.outcome == DownloadOutcome::Failed) {
                anotarFallo(descarga.failure);
                problemaDescarga(s, d, etiqueta);
                if (d > u) return;
                // A day fetched again that fails holds the newer ones back no more than a
                // missing one: the walk goes on past the last download, or ends.
                while (i + 1 < dias.size() && dias[i + 1].fecha <= u) ++i;
                continue;
            }
            if (descarga.outcome == DownloadOutcome::NotOnServer) {
                noEncontrado(s, d, etiqueta);
                if (d > u) return;
                continue;
            }
            if (!lumaro::ledger::registrarDescarga(s, d, QStringLiteral("1"))) {
                anotarFallo(QStringLiteral("No se pudo registrar la descarga de ") + n +
                            QStringLiteral(" en el ledger ") + lumaro::ledger::rutaLedger() +
                            QStringLiteral(" (ver el log ") +
                            lumaro::config::logPath(lumaro::config::Clock::today()) +
                            QStringLiteral("): el Local ") + etiqueta +
                            QStringLiteral(" no sigue en esta ejecucion"));
                return;
            }
            ++m_resultado.count;
            if (d <= u) continue;
            if (i + 1 == dias.size()) return;
            EscribirLog(QStringLiteral("Buscando último archivo DESCARGADO..."));
            const UltimaDescarga ahora = getUltimaDescarga(s);
            if (!ahora.ok()) {
                m_ilegibles << etiqueta;
                return;
            }
            if (ahora.fecha < d) {
                // The ledger did not move: the next day would be fetched past a row not there.
                EscribirLog(
                    kModulo + QStringLiteral(" - La ultima descarga registrada del Local ") +
                    etiqueta + QStringLiteral(" no avanzo; se sigue con el siguiente Local."));
                return;
            }
            u = ahora.fecha;
        }
    }

    DownloadRunOutcome resultado() const { return m_resultado; }
    // Keeps the first cause that kept the run from asking for everything owed.
    void anotarFallo(const QString& causa) {
        lumaro::config::noteFailure(m_resultado.failure, causa);
    }

private:
    // The run's one listing of the exchange folder, taken when first needed.
    const ExchangeListing& listado() {
        if (!m_listado) {
            m_listado = listarArchivosFTP();
            m_resultado.answered = m_listado->ok;
        }
        return *m_listado;
    }

    // False (logged, and the store kept for omitidos()) when the ledger cannot say what the
    // store owes: unreadable, or no download recorded, so no day to start from.
    bool conHistorial(const lumaro::ledger::HistorialLocal& h, const QString& s,
                      const QString& etiqueta) {
        using Estado = UltimaDescarga::Estado;
        if (h.estado == Estado::Registrada) return true;
        if (h.estado == Estado::Error) {
            EscribirLog(kModulo +
                        QStringLiteral(" - No se pudo leer la ultima descarga del Local ") + s +
                        QStringLiteral("; se omite en esta ejecucion."));
            m_ilegibles << etiqueta;
        } else {
            m_sinRegistro << etiqueta;
        }
        return false;
    }

    void problemaDescarga(const QString& s, const QDate& d, const QString& etiqueta) {
        const QString linea = QStringLiteral(" - Problemas de DESCARGA para Local : ") + etiqueta;
        console().addProblem(marcaTiempo() + linea);
        EscribirLog(kModulo + linea);
        if (!m_correo.isEmpty())
            EscribirLogCorreo(
                QStringLiteral("Se intento enviar correo: (1) Problemas de DESCARGA del "
                               "archivo < ") +
                s + QLatin1Char('_') + d.toString(QStringLiteral("dd/MM/yyyy")) +
                QStringLiteral(" > MDB del Local: ") + etiqueta);
    }

    // The snapshot is not on the server: silent on the first run of the day, reported and
    // recorded as missing from the second on.
    void noEncontrado(const QString& s, const QDate& d, const QString& etiqueta) {
        const QString sync = lumaro::config::LeerConfig(QStringLiteral("SyncActual"));
        if (sync.isEmpty() || sync.toInt() < 2) return;
        const QString dia = s + QLatin1Char('_') + d.toString(QStringLiteral("ddMMyyyy"));
        console().addProblem(marcaTiempo() +
                             QStringLiteral(" - (1) Problemas de DESCARGA para Local : ") +
                             etiqueta);
        console().addProblem(
            marcaTiempo() +
            QStringLiteral(" - (2) Segunda Sincronizacion y no se encontro archivo: ") + dia);
        EscribirLog(kModulo + QStringLiteral(" >>> (1) Problemas de DESCARGA para Local : ") +
                    etiqueta);
        EscribirLog(kModulo +
                    QStringLiteral(" >>> (2) Segunda Sincrinizacion y no se encontro archivo: ") +
                    dia);
        if (!m_correo.isEmpty()) {
            EscribirLogCorreo(
                QStringLiteral("Se intento enviar correo: (1) Problemas de DESCARGA del "
                               "Archivo MDB del Local: ") +
                etiqueta);
            EscribirLogCorreo(
                QStringLiteral("Se intento enviar correo: (2) Segunda Sincrinizacion y no se "
                               "encontro archivo: ") +
                dia);
        }
        lumaro::ledger::registrarDescarga(s, d, QStringLiteral("0"));
    }

    QString m_correo;
    DiasAdeudados m_adeudados;
    std::optional<ExchangeListing> m_listado;
    DownloadRunOutcome m_resultado;
    QStringList m_ilegibles, m_sinRegistro;  // store labels left out of this run
    bool m_yaProcesado = false;
};

}  // namespace

DownloadRunOutcome descargarOtrosLocales() {
    const QString inicio = QStringLiteral("Se iniciará proceso de DESCARGA de archivos...");
    console().setEventPanel(marcaTiempo() + QStringLiteral(" - ") + inicio);
    EscribirLog(inicio);
    // A store moved over from the older program brings its Jet ledger: converted here, before
    // the first ledger call. One that cannot be converted is reported and stays; the ledger
    // calls below then skip every store, as with a missing ledger.
    lumaro::ledger::prepararLedger();
    const QString problemaLedger = lumaro::ledger::problemaLedger();
    if (!problemaLedger.isEmpty()) EscribirLog(kModulo + QStringLiteral(" - ") + problemaLedger);

    Descarga descarga;
    if (!problemaLedger.isEmpty()) descarga.anotarFallo(problemaLedger);
    const lumaro::db::clsLocal& registro = lumaro::db::locales();
    const QString propio = lumaro::db::idLocalPropio();
    for (int i = 0; i < registro.getNroLocales(); ++i) {
        const QString s = registro.getIdLocal(i).trimmed();
        if (s.isEmpty() || s == propio) continue;  // a free row, or this store
        if (!lumaro::ledger::idLocalValido(s)) {
            // It would go into file names and statements.
            const QString problema = QStringLiteral("IdLocal no valido en la tabla Local: '") + s +
                                     QStringLiteral("' (") + registro.getNombreLocal(i) +
                                     QStringLiteral("): no se descargan sus archivos");
            EscribirLog(kModulo + QStringLiteral(" - ") + problema);
            descarga.anotarFallo(problema);
            continue;
        }
        if (lumaro::run::runState().cancelTransfer) {
            EscribirLog(kModulo + QStringLiteral(" - Descarga detenida por el operador."));
            break;
        }
        descarga.local(s, s + QStringLiteral(" - ") + registro.getNombreLocal(i));
    }
    if (const QString omitidos = descarga.omitidos(); !omitidos.isEmpty()) {
        EscribirLog(kModulo + QStringLiteral(" - ") + omitidos);
        descarga.anotarFallo(omitidos);
    }

    if (descarga.resultado().answered || descarga.yaProcesado()) {
        const QString cierre = QStringLiteral("Cerrando conexion FTP (2)...");
        console().setEventPanel(marcaTiempo() + QStringLiteral(" - ") + cierre);
        EscribirLog(cierre);
    }
    return descarga.resultado();
}

}  // namespace lumaro::ftp
