#include "importer/SyncLocales.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <optional>

#include "config/Clock.h"
#include "config/Settings.h"
#include "config/Status.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/clsDBAdmin.h"
#include "importer/Archivado.h"
#include "importer/FilasApartadas.h"
#include "ledger/Ledger.h"
#include "run/AvisosCorreo.h"
#include "run/Console.h"

namespace lumaro::importer {

namespace {

using config::EscribirLog;
using config::marcaTiempo;
using run::console;

constexpr qint64 kTamanoMinimo = 10000;  // bytes; a snapshot this small or smaller is incomplete
constexpr int kColorPaso = 0x46A000;     // red 70, green 160, blue 0

QString rutaEn(const char* carpeta, const QString& archivo) {
    return QDir(config::programPath(QString::fromLatin1(carpeta))).filePath(archivo);
}

QString nativa(const QString& ruta) { return QDir::toNativeSeparators(ruta); }

bool existeArchivo(const QString& ruta) { return QFileInfo(ruta).isFile(); }

// The name the List1 failure line gives a table: the birthday table keeps its old spelling.
QString nombreEnLista(const snapshot::Table& t) {
    return t.importStep == 6 ? QStringLiteral("Cumpleñaos") : t.qName();
}

enum class Resultado {
    Archivado,    // merged, filed, ledger marked
    Pendiente,    // left in MDB_descargadas for the next run (a table failed, filing failed)
    NoAbre,       // the file could not be opened
    SinConexion,  // a production database is gone: the run stops
};

class Corrida {
public:
    ImportOutcome ejecutar() {
        console().setStep(QStringLiteral("Sincronizando Datos..."), kColorPaso);
        console().setEventPanel(marcaTiempo() + QStringLiteral(" - Inicio de Sincronizacion."));
        EscribirLog(QStringLiteral("Inicio de Sincronizacion."));
        const auto pendientes = ledger::listarPendientes(db::idLocalPropio());
        if (!pendientes) {
            m_fallo = QStringLiteral("No se pudo leer la lista de archivos de Seguridad.mdb");
        } else {
            for (const ledger::DescargaPendiente& p : *pendientes)
                if (!descarga(p)) break;
        }
        if (m_fallo.isEmpty()) return {true, m_causa, m_filas};
        config::noteFailure(m_causa, m_fallo);
        reportarFallo();
        return {false, m_causa, m_filas};
    }

private:
    // One ledger row; false stops the run.
    bool descarga(const ledger::DescargaPendiente& p) {
        const QString nombre = snapshot::nombreSnapshot(p.idLocal, p.fecha);
        const QString ruta = rutaEn("MDB_descargadas", nombre);
        if (m_retenidos.contains(p.idLocal)) {
            EscribirLog(
                QStringLiteral("SyncrLocales: Se deja para la proxima ejecucion el archivo ") +
                nombre + QStringLiteral(": un archivo anterior del Local ") + p.idLocal +
                QStringLiteral(" no termino de sincronizarse"));
            return true;
        }
        if (!existeArchivo(ruta)) {
            noEncontrado(p, nombre);
            return true;
        }
        if (ledger::getTamanoArchivo(ruta) <= kTamanoMinimo) {
            config::BorrarArchivo(ruta);
            QFile::remove(marcaFallo(ruta));
            EscribirLog(QStringLiteral("Se borro Archivo: ") + nativa(ruta) +
                        QStringLiteral(" - su tamaño es menor de 10 KB"));
            // The day is fetched again: the file was cut short in transit.
            ledger::borrarDescarga(p.idLocal, p.fecha);
            return true;
        }
        if (!conexionesVivas()) return false;
        switch (fusionar(p, nombre, ruta)) {
            case Resultado::Archivado:
                return true;
            case Resultado::Pendiente:
                m_retenidos.insert(p.idLocal);
                return true;
            case Resultado::NoAbre:
                noAbre(p, nombre, ruta);
                return true;
            case Resultado::SinConexion:
                sinConexion();
                return false;
        }
        return true;
    }

    void noEncontrado(const ledger::DescargaPendiente& p, const QString& nombre) {
        // A run that stopped between filing the file and marking the ledger.
        if (existeArchivo(rutaEn("MDB_Syncronizadas", nombre))) {
            ledger::registrarSync(p.idLocal, p.fecha, QStringLiteral("1"), 2);
            EscribirLog(QStringLiteral("SyncrLocales: El archivo ") + nombre +
                        QStringLiteral(" ya estaba en MDB_Syncronizadas; se marca como "
                                       "sincronizado en Seguridad.TablaFTP"));
            return;
        }
        EscribirLog(QStringLiteral("SyncrLocales: No se encontro el Archivo Fisico ") + nombre +
                    QStringLiteral(", pero esta registrado en Seguridad.TablaFTP como descargado y "
                                   "sin sincronizar del Local ") +
                    db::idLocalPropio());
    }

    Resultado fusionar(const ledger::DescargaPendiente& p, const QString& nombre,
                       const QString& ruta) {
        if (!AbrirConexion(ruta)) return Resultado::NoAbre;
        QFile::remove(marcaFallo(ruta));
        EscribirLog(QStringLiteral("Archivo Origen : ") + nombre);
        cuentaFilas() = {};
        // The tables of this snapshot that did not finish.
        const std::optional<QStringList> fallidas = fusionarTablas(nombre);
        for (const auto& [tabla, escritas] : cuentaFilas().escritas.asKeyValueRange())
            m_filas[p.idLocal][tabla] += escritas;
        CerrarBD(cnnSnapshot());
        if (!fallidas) return Resultado::SinConexion;
        if (!fallidas->isEmpty()) {
            EscribirLog(QStringLiteral(
                            "Hubo Errores  en una tabla se debe ver los registros del archivo: ") +
                        nativa(ruta));
            EscribirLog(QStringLiteral("SyncrLocales: El archivo ") + nombre +
                        QStringLiteral(" queda en MDB_descargadas sin marcar como sincronizado; la "
                                       "proxima ejecucion continuara con las filas que faltan"));
            config::noteFailure(m_causa,
                                QStringLiteral("El archivo ") + nombre +
                                    QStringLiteral(" no termino de sincronizarse (tablas: ") +
                                    fallidas->join(QStringLiteral(", ")) +
                                    QStringLiteral("); queda para la proxima ejecucion"));
            return Resultado::Pendiente;
        }
        if (!archivar(ruta, "MDB_Syncronizadas", nombre)) return Resultado::Pendiente;
        informarFilas(nombre);
        ledger::registrarSync(p.idLocal, p.fecha, QStringLiteral("1"), 2);
        return Resultado::Archivado;
    }

    // The ten merges of the open snapshot, sharing their production transactions; the tables
    // that did not finish, or nullopt when a production database is gone. When the shared
    // commit at the end fails while both databases answer (a deferred constraint, say), its
    // rows were rolled back unmarked and the snapshot is merged again a table at a time, so
    // that one table's refusal holds back only that table.
    std::optional<QStringList> fusionarTablas(const QString& nombre) {
        {
            FusionesCompartidas compartidas;
            const std::optional<QStringList> fallidas = tablaPorTabla();
            QString error;
            if (!fallidas || compartidas.confirmar(&error)) return fallidas;
            EscribirLog(QStringLiteral("SyncrLocales: No se pudo confirmar lo fusionado del "
                                       "archivo ") +
                        nombre + QStringLiteral(": ") + error);
        }
        if (!conexionesVivas(false)) return std::nullopt;
        EscribirLog(QStringLiteral("SyncrLocales: Se fusiona de nuevo el archivo ") + nombre +
                    QStringLiteral(" tabla por tabla"));
        return tablaPorTabla();
    }

    std::optional<QStringList> tablaPorTabla() {
        QStringList fallidas;
        for (const snapshot::Table* t : snapshot::importOrder()) {
            console().setEventPanel(marcaTiempo() + QStringLiteral(" - Sincronizando Tabla : ") +
                                    t->qName());
            EscribirLog(QStringLiteral("Sincronizando Tabla : ") + t->qName());
            console().processEvents();
            console().setProgress(0, 100, 0);
            if (fusionDeTabla(*t)()) {
                EscribirLog(QStringLiteral("Proceso Terminado"));
                continue;
            }
            console().addProblem(marcaTiempo() + QStringLiteral(" - Problemas al Sinc: ") +
                                 nombreEnLista(*t));
            fallidas << t->qName();
            EscribirLog(QStringLiteral("Problemas al Sync"));
            if (!conexionesVivas(false)) return std::nullopt;
        }
        return fallidas;
    }

    // The log lines of a filed snapshot whose rows were all merged before, or some set aside.
    static void informarFilas(const QString& nombre) {
        const CuentaFilas& c = cuentaFilas();
        if (c.vistas > 0 && c.yaMarcadas == c.vistas)
            EscribirLog(QStringLiteral("SyncrLocales: Todas las filas del archivo ") + nombre +
                        QStringLiteral(" ya estaban marcadas como sincronizadas; se archivo sin "
                                       "cambiar nada"));
        if (c.apartadas > 0)
            EscribirLog(QStringLiteral("SyncrLocales: El archivo ") + nombre +
                        QStringLiteral(" se archivo con %1 filas apartadas en ").arg(c.apartadas) +
                        nativa(archivoFilasApartadas(nombre)));
    }

    // Files the snapshot under the folder (as destino); false, with the cause logged, in List1
    // and noted as the import's failure, when it stays where it is for the next run.
    bool archivar(const QString& ruta, const char* carpeta, const QString& destino) {
        QString causa;
        if (importer::archivar(ruta, rutaEn(carpeta, destino), &causa)) return true;
        const QString texto = QStringLiteral("No se pudo archivar el archivo ") +
                              QFileInfo(ruta).fileName() + QStringLiteral(" en ") +
                              QLatin1String(carpeta) + QStringLiteral(": ") + causa;
        EscribirLog(QStringLiteral("SyncrLocales: ") + texto +
                    QStringLiteral("; queda en MDB_descargadas para la proxima ejecucion"));
        console().addProblem(marcaTiempo() + QStringLiteral(" - ") + texto);
        config::noteFailure(m_causa, texto);
        return false;
    }

    // A file that does not open goes to Error only on its second failure; until then it
    // stays, and so do the store's later snapshots.
    void noAbre(const ledger::DescargaPendiente& p, const QString& nombre, const QString& ruta) {
        m_fallo = QStringLiteral("No se pudo abrir el archivo ") + nombre;
        const QString marca = marcaFallo(ruta);
        if (!QFileInfo::exists(marca)) {
            QFile f(marca);
            if (f.open(QIODevice::WriteOnly))
                f.write(config::Clock::now().toString(Qt::ISODate).toUtf8() + '\n');
            EscribirLog(QStringLiteral("SyncrLocales: No se pudo abrir el archivo ") + nombre +
                        QStringLiteral("; queda en MDB_descargadas y, si vuelve a fallar en la "
                                       "proxima ejecucion, pasara a la carpeta Error"));
            m_retenidos.insert(p.idLocal);
            return;
        }
        EscribirLog(QStringLiteral("Hubo errores de Sincronizacion copiando Archivo: ") + nombre +
                    QStringLiteral(" hacia carpeta Error"));
        const QString hhmmss = config::Clock::now().toString(QStringLiteral("HHmmss"));
        if (!archivar(ruta, "Error", hhmmss + u'_' + nombre)) {
            m_retenidos.insert(p.idLocal);
            return;
        }
        QFile::remove(marca);
        // The day is owed again: the download fetches it anew once the server's copy changes.
        ledger::borrarDescarga(p.idLocal, p.fecha);
    }

    // Both production databases still answer; informar false leaves the report to the caller.
    bool conexionesVivas(bool informar = true) {
        const bool vivas = db::cnnCliente().isAlive() && db::cnnLogistica().isAlive();
        if (!vivas && informar) sinConexion();
        return vivas;
    }

    void sinConexion() {
        m_fallo = QStringLiteral("Sin conexion con la base de datos de produccion");
        EscribirLog(
            QStringLiteral("SyncrLocales: Se perdio la conexion con la base de datos de "
                           "produccion; se detiene la sincronizacion y los archivos "
                           "quedan para la proxima ejecucion"));
    }

    void reportarFallo() {
        console().addProblem(
            marcaTiempo() +
            QStringLiteral(" - Error en Proceso Actual, Problemas de Sincronizacion"));
        EscribirLog(
            QStringLiteral("Error # Sub MainProcesoSinc.SyncLocales (o Sub Proceso)-  0 - ") +
            m_fallo + QStringLiteral(" >>> Problemas de Sincronizacion"));
        if (!db::emailContactoPropio().isEmpty())
            run::EscribirLogCorreo(QStringLiteral(
                "Se intento Enviar Correo: Problemas Al Sincronizar datos entre Locales"));
    }

    QSet<QString> m_retenidos;  // stores whose later snapshots wait for the next run
    QString m_fallo;            // why the run failed; empty while it has not
    QString m_causa;            // the first cause of the run's outcome
    // The rows written into production, per store and table.
    QMap<QString, QMap<QString, qint64>> m_filas;
};

}  // namespace

QString marcaFallo(const QString& rutaSnapshot) {
    return rutaSnapshot + QStringLiteral(".fallido");
}

ImportOutcome SyncLocales() { return Corrida().ejecutar(); }

}  // namespace lumaro::importer
