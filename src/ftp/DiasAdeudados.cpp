#include "ftp/DiasAdeudados.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "config/Clock.h"
#include "config/Settings.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpSettings.h"
#include "ftp/FtpUtil.h"
#include "snapshot/DataModel.h"

namespace lumaro::ftp {

using lumaro::config::EscribirLog;

namespace {

const QString kError = QStringLiteral("Error");

QString entre(const QString& nombre) {
    return QStringLiteral(" < ") + nombre + QStringLiteral(" >");
}

QString hora(const QDateTime& t) { return t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")); }

QString rutaMarca(const QString& nombre) {
    return rutaPrograma(kError, nombre + QStringLiteral(".reintento"));
}

QDateTime leerMarca(const QString& nombre) {
    QFile f(rutaMarca(nombre));
    if (!f.open(QIODevice::ReadOnly)) return QDateTime();
    return QDateTime::fromString(QString::fromLatin1(f.readLine(64)).trimmed(), Qt::ISODate);
}

bool escribirMarca(const QString& nombre, const QDateTime& cuando) {
    QSaveFile f(rutaMarca(nombre));
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(cuando.toString(Qt::ISODate).toLatin1() + '\n');
    return f.commit();
}

// The server's size of the snapshot now; -1 when it cannot tell (absent, unreachable).
qint64 tamanoEnServidor(const QString& nombre) {
    const FtpSettings settings = FtpSettings::read();
    FtpClient client(settings);
    qint64 tamano = -1;
    if (!client.remoteSize(settings.transferPath(nombre), &tamano).ok) return -1;
    return tamano;
}

}  // namespace

// How far back, in days, a gap behind a store's last download is still owed.
constexpr qint64 kDiasAtras = 62;

const QMap<QString, DiasAdeudados::CopiaError>& DiasAdeudados::copiasError() {
    if (m_leidas) return m_copias;
    m_leidas = true;
    const QFileInfoList archivos = QDir(rutaPrograma(kError)).entryInfoList(QDir::Files);
    for (const QFileInfo& f : archivos) {
        // "<hhmmss>_<store>_<ddmmyyyy>.mdb"
        const QString archivo = f.fileName();
        const qsizetype guion = archivo.indexOf(u'_');
        bool prefijo = false;
        archivo.left(guion).toInt(&prefijo);
        if (guion <= 0 || !prefijo || !archivo.endsWith(QLatin1String(".mdb"))) continue;
        const QString nombre = archivo.mid(guion + 1);
        const auto it = m_copias.constFind(nombre);
        if (it == m_copias.cend() || it->hora < f.lastModified())
            m_copias.insert(nombre, {f.size(), f.lastModified()});
    }
    return m_copias;
}

QList<DiaAdeudado> DiasAdeudados::deLocal(const QString& idLocal,
                                          const ledger::HistorialLocal& historial,
                                          bool* procesado) {
    QList<DiaAdeudado> dias;
    const QDate hoy = lumaro::config::Clock::today();
    for (QDate d = historial.inicio; d.isValid() && d <= hoy; d = d.addDays(1)) {
        const auto fila = historial.dias.constFind(d);
        const bool descargado = fila != historial.dias.cend() && fila->descargado;
        if (descargado && fila->sincronizado) continue;
        // A gap behind the last download is looked for during kDiasAtras days: by then the
        // sending store has long sent what it had, and asking the server every run for a day
        // it never held would cost a listing per day for ever.
        if (d < historial.ultima && d.daysTo(hoy) > kDiasAtras) continue;
        const QString nombre = lumaro::snapshot::nombreSnapshot(idLocal, d);
        const bool enError = copiasError().contains(nombre);
        if (existeArchivo(rutaPrograma(QStringLiteral("MDB_Syncronizadas"), nombre))) {
            if (!descargado && d > historial.ultima) {
                *procesado = true;
                EscribirLog(QStringLiteral("El archivo < ") + nombre +
                            QStringLiteral(" > ya fue procesado localmente; se continua con el "
                                           "dia siguiente."));
            }
            continue;
        }
        // Downloaded: the import run's while the file waits for it. One that is gone (set aside
        // with its row left behind, or lost) is owed again.
        if (descargado && existeArchivo(rutaPrograma(QStringLiteral("MDB_descargadas"), nombre)))
            continue;
        dias.append({d, enError});
    }
    return dias;
}

bool DiasAdeudados::reintentar(const QString& nombre) {
    const CopiaError copia = copiasError().value(nombre);
    const QDateTime ahora = lumaro::config::Clock::now();
    QDateTime ultimo = leerMarca(nombre);
    // First seen since it was set aside: the day counts from now. A marker that cannot be
    // written never holds the day back.
    if (!ultimo.isValid() && escribirMarca(nombre, ahora)) ultimo = ahora;
    const QString enError =
        QStringLiteral("El archivo") + entre(nombre) + QStringLiteral(" esta en la carpeta Error");
    if (ultimo.isValid() && ultimo.addDays(1) > ahora) {
        const qint64 servidor = tamanoEnServidor(nombre);
        if (servidor < 0 || servidor == copia.tamano) {
            EscribirLog(enError +
                        QStringLiteral("; se volvera a pedir al FTP si cambia su tamano, o desde "
                                       "el ") +
                        hora(ultimo.addDays(1)));
            return false;
        }
        EscribirLog(enError + QStringLiteral(" y en el FTP tiene otro tamano (%1 bytes; la copia "
                                             "en Error, %2): se vuelve a descargar")
                                  .arg(servidor)
                                  .arg(copia.tamano));
    } else {
        EscribirLog(enError + QStringLiteral("; se vuelve a pedir al FTP (ultimo intento: ") +
                    (ultimo.isValid() ? hora(ultimo) : QStringLiteral("desconocido")) + u')');
    }
    escribirMarca(nombre, ahora);
    return true;
}

}  // namespace lumaro::ftp
