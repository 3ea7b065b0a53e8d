#include "snapshot/CrearBDTemp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "jet/Reader.h"
#include "jet/Writer.h"
#include "ledger/FilasLedger.h"
#include "ledger/Ledger.h"
#include "run/Console.h"
#include "snapshot/DataModel.h"
#include "snapshot/Enviados.h"

namespace lumaro::snapshot {

using config::EscribirLog;
using run::console;

namespace {

// The most days of empty snapshots made in one generation.
constexpr int kMaxDiasPendientes = 31;

QString carpetaSnapshots() { return config::Inicio::leer().rtDbf; }

const QString kPrimerDia = QStringLiteral("PrimerDia");
const QString kFormatoPrimerDia = QStringLiteral("dd/MM/yyyy");

// The first day that may be missing: the day after the one "BD_Temp" names or, while no
// snapshot was ever recorded, the day the program first ran in its folder.
QDate primerDiaPendiente() {
    const QString bdTemp = config::LeerConfig(QStringLiteral("BD_Temp")).trimmed();
    if (!bdTemp.isEmpty()) {
        const QDate ultimo = diaDeSnapshot(bdTemp);
        return ultimo.isValid() ? ultimo.addDays(1) : QDate();
    }
    return QDate::fromString(config::LeerConfig(kPrimerDia).trimmed(), kFormatoPrimerDia);
}

// Days from the first that may be missing up to yesterday that have neither a file in the
// snapshot folder nor a copy in MDB_enviadas: peers walk forward one day at a time, so each
// of them gets an empty snapshot.
void crearDiasPendientes(const QString& idLocal, const QDate& hoy) {
    const QDate desde = primerDiaPendiente();
    if (!desde.isValid() || desde >= hoy) return;
    int creados = 0;
    for (QDate dia = desde; dia < hoy && creados < kMaxDiasPendientes; dia = dia.addDays(1)) {
        const QString nombre = nombreSnapshot(idLocal, dia);
        const QString ruta = rutaEnCarpetaSnapshots(nombre);
        if (QFileInfo::exists(ruta) || yaEnviado(nombre)) continue;
        QString error;
        if (escribirSnapshotVacia(ruta, &error)) {
            EscribirLog(QStringLiteral("Se creo la MDB vacia del dia no generado: ") + nombre);
        } else {
            EscribirLog(QStringLiteral("No se pudo crear la MDB vacia del dia no generado ") +
                        nombre + QStringLiteral(": ") + error);
        }
        ++creados;
    }
}

}  // namespace

void anotarPrimerDia() {
    // Never the one key of a settings file that is missing: the commands report that.
    QString causa;
    if (!config::comprobarConfiguracion(&causa)) return;
    if (!config::LeerConfig(kPrimerDia).trimmed().isEmpty() ||
        !config::LeerConfig(QStringLiteral("BD_Temp")).trimmed().isEmpty())
        return;
    // The store was registered in this folder the day after the first day its ledger records
    // for the other stores; a machine off on that day still owes it. A ledger older than the
    // back-fill reaches (one brought from elsewhere) says nothing about this folder.
    const QDate hoy = config::Clock::today();
    QDate dia = hoy;
    QString error;
    if (const auto filas = ledger::leerFilasLedger(ledger::rutaLedger(), &error);
        filas && !filas->isEmpty()) {
        QDate primera = filas->first().fecha;
        for (const ledger::FilaLedger& f : *filas) primera = std::min(primera, f.fecha);
        const QDate alta = primera.addDays(1);
        if (alta < hoy && alta >= hoy.addDays(-kMaxDiasPendientes)) dia = alta;
    }
    const QString texto = dia.toString(kFormatoPrimerDia);
    if (config::GrabarConfig(kPrimerDia, texto))
        EscribirLog(QStringLiteral("Primer dia del programa en esta carpeta: ") + texto);
}

QDate diaDeSnapshot(const QString& nombre) {
    const qsizetype guion = nombre.indexOf(u'_');
    if (guion < 1 || !nombre.endsWith(QStringLiteral(".mdb"), Qt::CaseInsensitive)) return {};
    const QString fecha = nombre.mid(guion + 1, nombre.size() - guion - 5);
    if (fecha.size() != 8) return {};
    return QDate::fromString(fecha, QStringLiteral("ddMMyyyy"));
}

QString rutaEnCarpetaSnapshots(const QString& nombre) {
    return QDir::toNativeSeparators(QDir(carpetaSnapshots()).filePath(nombre));
}

bool escribirSnapshotVacia(const QString& ruta, QString* error) {
    auto writer = jet::Writer::create(ruta.toStdString());
    jet::Status status = writer.status();
    if (writer) {
        for (const Table& t : tables()) {
            const auto handle = writer.value()->createTable(jetTableDef(t));
            if (!handle) {
                status = handle.status();
                break;
            }
        }
        if (status.isOk()) status = writer.value()->commit();
    }
    if (!status.isOk() && error) *error = QString::fromStdString(status.message());
    return status.isOk();
}

std::optional<bool> snapshotTieneFilas(const QString& ruta, QString* error) {
    const auto db = jet::Database::open(ruta.toStdString());
    if (!db) {
        if (error) *error = QString::fromStdString(db.status().message());
        return std::nullopt;
    }
    for (const std::string& nombre : db->tableNames()) {
        const auto tabla = db->table(nombre);
        if (!tabla) {
            if (error) *error = QString::fromStdString(tabla.status().message());
            return std::nullopt;
        }
        bool alguna = false;
        const jet::Status s = tabla->forEachRow([&](const jet::Row&) {
            alguna = true;
            return false;
        });
        if (!s.isOk()) {
            if (error) *error = QString::fromStdString(s.message());
            return std::nullopt;
        }
        if (alguna) return true;
    }
    return false;
}

bool Crear_Base_Dato(const QString& ruta) {
    QString error;
    const bool ok = escribirSnapshotVacia(ruta, &error);
    EscribirLog(QStringLiteral("Creando BD Temp: Ruta[") + ruta + u']');
    if (!ok) {
        EscribirLog(QStringLiteral("Crear_Base_Dato Error: ") + error);
        if (!error.isEmpty()) console().messageBox(run::BoxIcon::Critical, QString(), error);
        return false;
    }
    console().notice(QStringLiteral("Creacion de BD Temp...OK"),
                     QStringLiteral("Estado de Procesos"), 3000);
    EscribirLog(QStringLiteral("Creacion Satisfactoria"));
    return true;
}

SnapshotDelDia crearBDTemp() {
    SnapshotDelDia r;
    const QString idLocal = db::idLocalPropio();
    if (!db::esNumeroEntero(idLocal)) {
        EscribirLog(
            QStringLiteral("crearBDTemp: no se conoce el Local propio; no se genera la MDB."));
        return r;
    }
    if (const config::Inicio inicio = config::Inicio::leer(); inicio.rtDbf.isEmpty()) {
        if (!inicio.causaRtDbf.isEmpty())
            console().addProblem(config::marcaTiempo() + QStringLiteral(" - ") + inicio.causaRtDbf);
        EscribirLog(QStringLiteral("crearBDTemp: ") +
                    (inicio.causaRtDbf.isEmpty()
                         ? QStringLiteral("falta la carpeta de la MDB (RtDbf) en la configuracion")
                         : inicio.causaRtDbf) +
                    QStringLiteral("; no se genera la MDB."));
        return r;
    }
    const QDate hoy = config::Clock::today();
    r.nombre = nombreSnapshot(idLocal, hoy);
    crearDiasPendientes(idLocal, hoy);

    if (yaEnviado(r.nombre)) {
        // Its rows would be marked sent while the new file could never be uploaded again.
        const QString texto = QStringLiteral("La MDB del dia ") + r.nombre +
                              QStringLiteral(" ya fue enviada al FTP; no se vuelve a generar.");
        EscribirLog(QStringLiteral("crearBDTemp: ") + texto);
        console().addProblem(config::marcaTiempo() + QStringLiteral(" - ") + texto);
        r.estado = SnapshotDelDia::Estado::YaEnviada;
        return r;
    }
    const QString ruta = rutaEnCarpetaSnapshots(r.nombre);
    if (QFileInfo::exists(ruta)) {
        QString error;
        const std::optional<bool> conFilas = snapshotTieneFilas(ruta, &error);
        if (conFilas.value_or(false)) {
            // A committed copy whose name was not recorded yet: its rows are already marked
            // sent in production, so the file is the only place they are.
            EscribirLog(QStringLiteral("crearBDTemp: la MDB del dia ") + r.nombre +
                        QStringLiteral(" ya tiene datos; se conserva y no se vuelve a generar."));
            r.estado = SnapshotDelDia::Estado::Conservada;
            return r;
        }
        if (!conFilas)
            EscribirLog(QStringLiteral("crearBDTemp: la MDB del dia ") + r.nombre +
                        QStringLiteral(" no se puede leer (") + error +
                        QStringLiteral("); se reemplaza."));
    }
    r.estado =
        Crear_Base_Dato(ruta) ? SnapshotDelDia::Estado::Creada : SnapshotDelDia::Estado::Fallida;
    return r;
}

}  // namespace lumaro::snapshot
