#include "app/Retencion.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>
#include <set>
#include <utility>

#include "config/Clock.h"
#include "config/Settings.h"
#include "ledger/FilasLedger.h"
#include "ledger/Ledger.h"

namespace lumaro::app {

using config::EscribirLog;

namespace {

// A store and day merged in the ledger.
using DiaLocal = std::pair<qint64, qint64>;  // idLocal, Julian day

struct Nombre {
    std::optional<qint64> idLocal;  // set for a snapshot of a store
    QDate dia;                      // the day the name carries, if any
};

// "<store>_<ddmmyyyy>.mdb", with or without the "<hhmmss>_" of the archive folders, and
// "Err_<yyyymmdd>.log".
Nombre leerNombre(const QString& nombre) {
    static const QRegularExpression snapshot(
        QStringLiteral("^(?:[0-9]{6}_)?([0-9]{1,9})_([0-9]{8})\\.mdb$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression log(QStringLiteral("^Err_([0-9]{8})\\.log$"));
    Nombre n;
    if (const auto m = snapshot.match(nombre); m.hasMatch()) {
        n.idLocal = m.captured(1).toLongLong();
        n.dia = QDate::fromString(m.captured(2), QStringLiteral("ddMMyyyy"));
    } else if (const auto l = log.match(nombre); l.hasMatch()) {
        n.dia = QDate::fromString(l.captured(1), QStringLiteral("yyyyMMdd"));
    }
    return n;
}

std::optional<std::set<DiaLocal>> diasSincronizados() {
    QString error;
    const auto filas = ledger::leerFilasLedger(ledger::rutaLedger(), &error);
    if (!filas) {
        EscribirLog(QStringLiteral("Retencion: no se pudo leer el ledger (") + error +
                    QStringLiteral("); se conservan las MDB de Error y MDB_Syncronizadas."));
        return std::nullopt;
    }
    std::set<DiaLocal> dias;
    for (const ledger::FilaLedger& f : *filas)
        if (f.sincroniza == 1) dias.insert({f.idLocal, f.fecha.toJulianDay()});
    return dias;
}

struct Cuenta {
    int borrados = 0;
    int conservados = 0;  // old, but their day is still owed
};

// Deletes the old files of one folder; owed snapshots are kept where `sincronizados` is given
// (nullptr: keep every snapshot of a store).
void limpiar(const QString& carpeta, const QStringList& filtro, const QDate& limite,
             const std::set<DiaLocal>* sincronizados, bool mirarLedger, Cuenta* cuenta) {
    const QFileInfoList archivos = QDir(carpeta).entryInfoList(filtro, QDir::Files);
    for (const QFileInfo& f : archivos) {
        const Nombre n = leerNombre(f.fileName());
        const bool viejo = f.lastModified().date() < limite && (!n.dia.isValid() || n.dia < limite);
        if (!viejo) continue;
        if (mirarLedger && n.idLocal &&
            (!sincronizados || !sincronizados->count({*n.idLocal, n.dia.toJulianDay()}))) {
            ++cuenta->conservados;
            continue;
        }
        if (config::BorrarArchivo(f.absoluteFilePath())) ++cuenta->borrados;
    }
}

}  // namespace

int diasRetencion() {
    const QString texto = config::LeerConfig(QStringLiteral("DiasRetencion")).trimmed();
    bool ok = false;
    const int dias = texto.toInt(&ok);
    if (texto.isEmpty() || (ok && dias == 0)) return 0;
    if (!ok || dias < 0) {
        EscribirLog(QStringLiteral("Retencion: DiasRetencion='") + texto +
                    QStringLiteral("' no es un numero de dias; no se borra nada."));
        return 0;
    }
    if (dias < kDiasMinimosRetencion) {
        EscribirLog(QStringLiteral("Retencion: DiasRetencion=%1 es menos que el minimo; se "
                                   "conservan %2 dias.")
                        .arg(dias)
                        .arg(kDiasMinimosRetencion));
        return kDiasMinimosRetencion;
    }
    return dias;
}

int aplicarRetencion() {
    const int dias = diasRetencion();
    if (dias == 0) return 0;
    const QDate limite = config::Clock::today().addDays(-dias);
    const std::optional<std::set<DiaLocal>> sincronizados = diasSincronizados();
    const std::set<DiaLocal>* merged = sincronizados ? &*sincronizados : nullptr;
    const QStringList todos{QStringLiteral("*")};
    Cuenta cuenta;
    limpiar(config::programPath(QStringLiteral("MDB_Syncronizadas")), todos, limite, merged, true,
            &cuenta);
    limpiar(config::programPath(QStringLiteral("Error")), todos, limite, merged, true, &cuenta);
    limpiar(config::programPath(QStringLiteral("MDB_enviadas")), todos, limite, merged, false,
            &cuenta);
    limpiar(config::programFolder(), {QStringLiteral("Err_*.log")}, limite, merged, false, &cuenta);
    EscribirLog(QStringLiteral("Retencion: se borraron %1 archivos anteriores al %2 (%3 dias); se "
                               "conservan %4 cuyo dia aun no esta sincronizado.")
                    .arg(cuenta.borrados)
                    .arg(limite.toString(QStringLiteral("dd/MM/yyyy")))
                    .arg(dias)
                    .arg(cuenta.conservados));
    return cuenta.borrados;
}

}  // namespace lumaro::app
