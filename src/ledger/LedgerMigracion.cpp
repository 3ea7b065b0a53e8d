#include "ledger/LedgerMigracion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

#include "config/Clock.h"
#include "config/Platform.h"
#include "config/Settings.h"
#include "db/ConnectionText.h"
#include "db/DateText.h"
#include "db/clsDBAdmin.h"
#include "ledger/FilasLedger.h"
#include "ledger/Ledger.h"
#include "run/Console.h"

namespace lumaro::ledger {

using db::Connection;
using db::dateTimeText;
using db::dbAdmin;
using db::textoConexionAccess;

namespace {

bool mismosBytes(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
    if (fa.size() != fb.size()) return false;
    while (!fa.atEnd())
        if (fa.read(1 << 16) != fb.read(1 << 16)) return false;
    return true;
}

// One row per store and day, as the ledger keeps them: a day the older program recorded twice
// counts as downloaded, and as merged, when either row says so.
QList<FilaLedger> unaPorDia(const QList<FilaLedger>& filas) {
    QMap<std::pair<qint64, QDate>, FilaLedger> unicas;
    for (const FilaLedger& f : filas) {
        auto it = unicas.find({f.idLocal, f.fecha});
        if (it == unicas.end()) {
            unicas.insert({f.idLocal, f.fecha}, f);
            continue;
        }
        it->descarga = std::max(it->descarga, f.descarga);
        it->sincroniza = std::max(it->sincroniza, f.sincroniza);
    }
    return unicas.values();
}

// Writes a new ledger file holding the rows and syncs it to disk.
bool escribirLedger(const QString& ruta, const QList<FilaLedger>& filas, QString* error) {
    if (!crearLedger(ruta, error)) return false;
    Connection cnn;
    if (!dbAdmin().AbrirBD(cnn, textoConexionAccess(ruta))) {
        *error = QStringLiteral("no se pudo abrir el ledger nuevo ") + ruta;
        return false;
    }
    bool ok = cnn.beginTransaction();
    for (qsizetype i = 0; ok && i < filas.size(); ++i) {
        const FilaLedger& f = filas[i];
        ok = dbAdmin().EjecutarSentencia(
            cnn,
            QStringLiteral("insert into TablasFTP values (%1, '%2', %3, %4)")
                .arg(f.idLocal)
                .arg(dateTimeText(QDateTime(f.fecha, QTime(0, 0))))
                .arg(f.descarga)
                .arg(f.sincroniza),
            1, error);
    }
    ok = ok && cnn.commitTransaction();
    if (!ok && error->isEmpty()) *error = cnn.lastError();
    dbAdmin().CerrarBD(cnn);
    return ok && config::platform::syncToDisk(ruta);
}

QString resumen(const MigracionLedger& m, const QString& ruta, const QString& jet) {
    QStringList locales;
    for (auto it = m.porLocal.cbegin(); it != m.porLocal.cend(); ++it) {
        const QDate ultima = m.ultimas.value(it.key());
        locales << QStringLiteral("Local %1: %2 filas, ultima descarga %3")
                       .arg(it.key())
                       .arg(it.value())
                       .arg(ultima.isValid() ? ultima.toString(QStringLiteral("dd/MM/yyyy"))
                                             : QStringLiteral("ninguna"));
    }
    return QStringLiteral(
               "Ledger %1 convertido del formato Jet del programa anterior: %2 filas "
               "(%3); el original queda en %4")
        .arg(ruta)
        .arg(m.filas)
        .arg(locales.isEmpty() ? QStringLiteral("ninguna") : locales.join(QStringLiteral("; ")))
        .arg(jet);
}

}  // namespace

MigracionLedger migrarLedger(const QString& ruta) {
    MigracionLedger r;
    if (tipoArchivoLedger(ruta) != TipoArchivoLedger::Jet) return r;
    const QString jet = ruta + QStringLiteral(".jet");
    const QString nuevo = ruta + QStringLiteral(".nuevo");
    const QString copia = jet + QStringLiteral(".copia");
    const QString carpeta = QFileInfo(ruta).absolutePath();
    auto fallo = [&](const QString& porque) {
        QFile::remove(nuevo);
        QFile::remove(copia);
        r.estado = MigracionLedger::Estado::Fallo;
        r.mensaje = QStringLiteral("No se convirtio el ledger Jet ") + ruta + QStringLiteral(" (") +
                    porque +
                    QStringLiteral(
                        "); se deja como esta y no se descargan archivos de otros "
                        "locales hasta resolverlo (lumaro-db ledger-migrar)");
        return r;
    };
    // An identical copy is what an interrupted conversion left: convert again.
    const bool copiaHecha = QFileInfo::exists(jet);
    if (copiaHecha && !mismosBytes(ruta, jet))
        return fallo(QStringLiteral("ya existe ") + jet +
                     QStringLiteral(" y es distinto; no se sobrescribe: muevalo a otra carpeta"));
    QString error;
    const auto leidas = leerFilasJet(ruta, &error);
    if (!leidas) return fallo(error);
    const QList<FilaLedger> filas = unaPorDia(*leidas);

    QFile::remove(nuevo);
    if (!escribirLedger(nuevo, filas, &error)) return fallo(error);
    if (!copiaHecha) {
        QFile::remove(copia);
        if (!QFile::copy(ruta, copia) || !config::platform::syncToDisk(copia) ||
            !QFile::rename(copia, jet))
            return fallo(QStringLiteral("no se pudo guardar el original como ") + jet);
        config::platform::syncToDisk(carpeta);
    }
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(nuevo).toStdString(),
                            QFile::encodeName(ruta).toStdString(), ec);
    if (ec)
        return fallo(QStringLiteral("no se pudo reemplazar: ") +
                     QString::fromStdString(ec.message()));
    config::platform::syncToDisk(carpeta);

    r.estado = MigracionLedger::Estado::Convertido;
    r.filas = static_cast<int>(filas.size());
    for (const FilaLedger& f : filas) {
        ++r.porLocal[f.idLocal];
        if (f.descarga == 1 && f.fecha > r.ultimas.value(f.idLocal)) r.ultimas[f.idLocal] = f.fecha;
    }
    r.mensaje = resumen(r, ruta, jet);
    return r;
}

bool prepararLedger() {
    const MigracionLedger m = migrarLedger(rutaLedger());
    if (m.estado == MigracionLedger::Estado::NoEsJet) return true;
    config::EscribirLog(m.mensaje);
    if (m.estado == MigracionLedger::Estado::Convertido) return true;
    run::console().addProblem(config::marcaTiempo() + QStringLiteral(" - ") + m.mensaje);
    return false;
}

}  // namespace lumaro::ledger
