#include "ftp/DownloadRun.h"

#include <QDir>
#include <QString>

#include "config/AvisosCorreo.h"
#include "config/Clock.h"
#include "config/Console.h"
#include "config/RunState.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "db/Ledger.h"
#include "db/LedgerMigracion.h"
#include "db/clsLocal.h"
#include "ftp/FtpUtil.h"
#include "ftp/Transfer.h"
#include "snapshot/DataModel.h"

namespace lumaro::ftp {

using lumaro::config::console;
using lumaro::config::EscribirLog;
using lumaro::config::EscribirLogCorreo;

namespace {

const QString kModulo = QStringLiteral("MainProcesoSinc.descargarOtrosLocales");

using lumaro::db::getUltimaDescarga;
using lumaro::db::UltimaDescarga;
using lumaro::snapshot::nombreSnapshot;

// The import run already merged the day (MDB_Syncronizadas) or set it aside (Error).
bool procesadoLocalmente(const QString& nombre) {
    if (existeArchivo(rutaPrograma(QStringLiteral("MDB_Syncronizadas"), nombre))) return true;
    const QStringList enError = QDir(rutaPrograma(QStringLiteral("Error")))
                                    .entryList({QStringLiteral("*_") + nombre}, QDir::Files);
    return !enError.isEmpty();
}

class Descarga {
public:
    Descarga() : m_correo(lumaro::db::emailContactoPropio()) {}

    bool yaProcesado() const { return m_yaProcesado; }

    // Walks one store forward from the day after its last recorded download. Every pass
    // of the loop moves the day forward, so the walk ends at today at the latest.
    void local(const QString& s, const QString& etiqueta) {
        QDate u;
        if (!ultimaDescarga(s, &u)) return;
        if (u >= hoy()) {
            EscribirLog(QStringLiteral("Al parecer las DESCARGAS estan correctas a la fecha..."));
            return;
        }
        QDate d = u.addDays(1);
        while (d <= hoy()) {
            const QString n = nombreSnapshot(s, d);
            if (procesadoLocalmente(n)) {
                // Merged or failed here already: go on with the following day.
                m_yaProcesado = true;
                EscribirLog(QStringLiteral("El archivo < ") + n +
                            QStringLiteral(" > ya fue procesado localmente; se continua con el "
                                           "dia siguiente."));
                d = d.addDays(1);
                continue;
            }
            if (!descargarFileFTP(n)) {
                problemaDescarga(s, d, etiqueta);
                return;
            }
            resultado().downloadAnswered = true;
            if (!resultado().fileFound) {
                noEncontrado(s, d, etiqueta);
                return;
            }
            if (!lumaro::db::registrarDescarga(s, d, QStringLiteral("1"))) return;
            ++resultado().downloadCount;
            const UltimaDescarga ahora = getUltimaDescarga(s);
            if (!ahora.ok()) return;
            if (ahora.fecha >= hoy()) return;
            if (ahora.fecha < d) {
                // The ledger did not move: asking again would fetch the same day for ever.
                EscribirLog(
                    kModulo + QStringLiteral(" - La ultima descarga registrada del Local ") +
                    etiqueta + QStringLiteral(" no avanzo; se sigue con el siguiente Local."));
                return;
            }
            if (!ultimaDescarga(s, &u)) return;
            d = u.addDays(1);
        }
    }

private:
    static lumaro::config::PhaseResults& resultado() { return lumaro::config::runState().results; }
    static QDate hoy() { return lumaro::config::Clock::today(); }

    // The search line and the ledger's last day; false (the store is skipped) when the ledger
    // cannot tell.
    bool ultimaDescarga(const QString& s, QDate* u) {
        EscribirLog(QStringLiteral("Buscando último archivo DESCARGADO..."));
        const UltimaDescarga ultima = getUltimaDescarga(s);
        if (!ultima.ok()) {
            EscribirLog(kModulo +
                        QStringLiteral(" - No se pudo leer la ultima descarga del Local ") + s +
                        QStringLiteral("; se omite en esta ejecucion."));
            return false;
        }
        *u = ultima.fecha;
        return true;
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
        lumaro::db::registrarDescarga(s, d, QStringLiteral("0"));
    }

    QString m_correo;
    bool m_yaProcesado = false;
};

}  // namespace

void descargarOtrosLocales() {
    auto& resultados = lumaro::config::runState().results;
    resultados.downloadAnswered = false;
    resultados.downloadCount = 0;
    const QString inicio = QStringLiteral("Se iniciará proceso de DESCARGA de archivos...");
    console().setEventPanel(marcaTiempo() + QStringLiteral(" - ") + inicio);
    EscribirLog(inicio);
    // A store moved over from the older program brings its Jet ledger: converted here, before
    // the first ledger call. One that cannot be converted is reported and stays; the ledger
    // calls below then skip every store, as with a missing ledger.
    lumaro::db::prepararLedger();

    Descarga descarga;
    const lumaro::db::clsLocal& registro = lumaro::db::locales();
    const QString propio = lumaro::db::idLocalPropio();
    for (int i = 0; i < registro.getNroLocales(); ++i) {
        const QString s = registro.getIdLocal(i).trimmed();
        if (s.isEmpty() || s == propio) continue;
        if (lumaro::config::runState().cancelTransfer) {
            EscribirLog(kModulo + QStringLiteral(" - Descarga detenida por el operador."));
            break;
        }
        descarga.local(s, s + QStringLiteral(" - ") + registro.getNombreLocal(i));
    }

    if (resultados.downloadAnswered || descarga.yaProcesado()) {
        const QString cierre = QStringLiteral("Cerrando conexion FTP (2)...");
        console().setEventPanel(marcaTiempo() + QStringLiteral(" - ") + cierre);
        EscribirLog(cierre);
    }
}

}  // namespace lumaro::ftp
