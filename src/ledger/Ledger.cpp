#include "ledger/Ledger.h"

#include <QFile>
#include <QFileInfo>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "db/DateText.h"
#include "db/Recordset.h"
#include "db/clsDBAdmin.h"
#include "ledger/FilasLedger.h"

namespace lumaro::ledger {

namespace {

using db::Connection;
using db::dbAdmin;

// Each call has its own short-lived connection, closed when this goes out of scope.
struct Sesion {
    Connection cnn;
    bool abierta = false;
    Sesion() { abierta = dbAdmin().AbrirBD(cnn, db::textoConexionAccess(rutaLedger())); }
    ~Sesion() { dbAdmin().CerrarBD(cnn); }
};

const QString kNoAbre = QStringLiteral("No se pudo abrir ");

QString idNoValido(const QString& idLocal);

// True when the store number is a number and the ledger is open; else logs prefijo and why.
bool preparada(const Sesion& s, const QString& idLocal, const QString& prefijo) {
    if (!idLocalValido(idLocal)) {
        config::EscribirLog(prefijo + idNoValido(idLocal));
        return false;
    }
    if (!s.abierta) {
        config::EscribirLog(prefijo + kNoAbre + rutaLedger());
        return false;
    }
    return true;
}

// " where year(fecha)=Y and month(fecha)=M and day(fecha)=D": the day, whatever its time.
QString condicionDia(const QDate& fecha) {
    return QStringLiteral("year(fecha)=%1 and month(fecha)=%2 and day(fecha)=%3")
        .arg(fecha.year())
        .arg(fecha.month())
        .arg(fecha.day());
}

QString idNoValido(const QString& idLocal) {
    return QStringLiteral("IdLocal no numerico: '") + idLocal + u'\'';
}

// Why a registration cannot be made; empty when it can.
QString problemaRegistro(const Sesion& s, const QString& idLocal, const QDate& fecha,
                         const QString& estado) {
    if (!idLocalValido(idLocal)) return idNoValido(idLocal);
    if (!db::esNumeroEntero(estado) || !fecha.isValid())
        return QStringLiteral("estado o fecha no validos: ") + estado;
    if (!s.abierta) return kNoAbre + rutaLedger();
    return QString();
}

}  // namespace

QString rutaLedger() { return config::programPath(QStringLiteral("Seguridad.mdb")); }

bool idLocalValido(const QString& idLocal) {
    const QString t = idLocal.trimmed();
    if (t.isEmpty() || t.size() > 9) return false;
    for (const QChar c : t)
        if (c < u'0' || c > u'9') return false;
    return t.toLongLong() > 0;
}

bool fechaLedgerValida(const QDate& fecha) {
    // From the day before 01/01/2000: a store whose downloads start that day is seeded with it.
    return fecha.isValid() && fecha >= QDate(1999, 12, 31) &&
           fecha <= config::Clock::today().addDays(1);
}

QString problemaLedger() {
    const QString ruta = rutaLedger();
    const QString sinDescargas = QStringLiteral(": no se descargan archivos de otros locales");
    const QString iniciar =
        QStringLiteral(" (registrar el dia de inicio de cada Local con lumaro-db ledger-iniciar)");
    if (QFileInfo(ruta).isDir())
        return QStringLiteral("El ledger ") + ruta + QStringLiteral(" es una carpeta") +
               sinDescargas;
    switch (tipoArchivoLedger(ruta)) {
        case TipoArchivoLedger::NoExiste:
            return QStringLiteral("No existe el ledger ") + ruta + sinDescargas +
                   QStringLiteral(" (crearlo con lumaro-db ledger-crear y") + iniciar.mid(2);
        case TipoArchivoLedger::Jet:
            return QStringLiteral("El ledger ") + ruta +
                   QStringLiteral(
                       " tiene el formato Jet del programa anterior y no se pudo "
                       "convertir (ver el log ") +
                   config::logPath(config::Clock::today()) + u')' + sinDescargas;
        case TipoArchivoLedger::Otro:
            return QStringLiteral("El ledger ") + ruta +
                   QStringLiteral(" no es una base de datos (archivo danado o de otro tipo)") +
                   sinDescargas;
        case TipoArchivoLedger::Sqlite:
            break;
    }
    Sesion s;
    if (!s.abierta) return kNoAbre + QStringLiteral("el ledger ") + ruta + sinDescargas;
    db::Recordset rs;
    if (!rs.open(s.cnn, QStringLiteral("select count(*) from TablasFTP")))
        return QStringLiteral("No se pudo leer la tabla TablasFTP del ledger ") + ruta +
               QStringLiteral(" (") + rs.errorText() + u')' + sinDescargas;
    if (rs.value(0).toInt() == 0)
        return QStringLiteral("El ledger ") + ruta + QStringLiteral(" esta vacio") + sinDescargas +
               iniciar;
    return QString();
}

HistorialLocal historialLocal(const QString& idLocal) {
    HistorialLocal h;
    const QString prefijo = QStringLiteral("getUltimaDescarga - Error: ");
    Sesion s;
    if (!preparada(s, idLocal, prefijo)) return h;
    const QString id = idLocal.trimmed();
    db::Recordset rs;
    if (!rs.open(s.cnn, QStringLiteral("select fecha, iDescargaOK, iSincronizacionOK from "
                                       "TablasFTP where idLocal = ") +
                            id)) {
        config::EscribirLog(prefijo + rs.errorText());
        return h;
    }
    for (; !rs.eof(); rs.moveNext()) {
        const QDate fecha = rs.value(0).toDateTime().date();
        if (!fechaLedgerValida(fecha)) {
            config::EscribirLog(QStringLiteral("getUltimaDescarga - Fila de TablasFTP del Local ") +
                                id + QStringLiteral(" con fecha no valida o fuera de rango: '") +
                                rs.value(0).toString() + QStringLiteral("'; se ignora"));
            continue;
        }
        HistorialLocal::Dia& dia = h.dias[fecha];
        dia.descargado = dia.descargado || rs.value(1).toInt() == 1;
        dia.sincronizado = dia.sincronizado || rs.value(2).toInt() == 1;
        if (dia.descargado && fecha > h.ultima) h.ultima = fecha;
    }
    if (!h.ultima.isValid()) {
        // No download recorded: the store is not fetched until the installer seeds its day.
        config::EscribirLog(QStringLiteral("getUltimaDescarga - No hay descarga registrada del "
                                           "Local ") +
                            id +
                            QStringLiteral(": no se descargaran sus archivos hasta registrar "
                                           "el dia de inicio (lumaro-db ledger-iniciar)"));
        h.estado = UltimaDescarga::Estado::SinRegistro;
        return h;
    }
    h.estado = UltimaDescarga::Estado::Registrada;
    h.inicio = h.dias.firstKey();
    return h;
}

UltimaDescarga getUltimaDescarga(const QString& idLocal) {
    const HistorialLocal h = historialLocal(idLocal);
    UltimaDescarga r;
    r.estado = h.estado;
    if (h.estado == UltimaDescarga::Estado::Registrada) r.fecha = h.ultima;
    if (h.estado == UltimaDescarga::Estado::SinRegistro) r.fecha = config::Clock::today();
    return r;
}

bool registrarDescarga(const QString& idLocal, const QDate& fecha, const QString& estado) {
    QString sql;
    auto fallo = [&sql](const QString& descripcion) {
        config::EscribirLog(
            QStringLiteral("Error Al Registrar Descarga. MDB Seguridad Local - Verificar [sSQL=") +
            sql + QStringLiteral("].D=") + descripcion);
        return false;
    };
    Sesion s;
    if (const QString p = problemaRegistro(s, idLocal, fecha, estado); !p.isEmpty())
        return fallo(p);
    const QString id = idLocal.trimmed();
    const QString dia = condicionDia(fecha);
    // Replace the day's row as one step: either the old row stays or the new one is there.
    if (!s.cnn.beginTransaction()) return fallo(s.cnn.lastError());
    QString error;
    sql = QStringLiteral("select count(*) as i_qx from TablasFTP where ") + dia +
          QStringLiteral(" and idLocal = ") + id;
    db::Recordset rs;
    if (!rs.open(s.cnn, sql)) {
        s.cnn.rollbackTransaction();
        return fallo(rs.errorText());
    }
    if (!rs.eof() && rs.value(QStringLiteral("i_qx")).toInt() > 0) {
        sql = QStringLiteral("delete from TablasFTP where ") + dia +
              QStringLiteral(" and idLocal = ") + id;
        if (!dbAdmin().EjecutarSentencia(s.cnn, sql, 1, &error)) {
            s.cnn.rollbackTransaction();
            return fallo(s.cnn.lastError());
        }
    }
    rs.close();
    sql = QStringLiteral("Insert into TablasFTP values (") + id + QStringLiteral(", '") +
          db::dateTimeText(QDateTime(fecha, QTime(0, 0))) + QStringLiteral("', ") +
          estado.trimmed() + QStringLiteral(", 0)");
    config::EscribirLog(QStringLiteral("registrarDescarga=sSQL[") + sql + u']');
    if (!dbAdmin().EjecutarSentencia(s.cnn, sql, 1, &error)) {
        const QString descripcion = s.cnn.lastError();
        s.cnn.rollbackTransaction();
        return fallo(descripcion);
    }
    if (!s.cnn.commitTransaction()) return fallo(s.cnn.lastError());
    return true;
}

bool registrarSync(const QString& idLocal, const QDate& fecha, const QString& estado, int modo) {
    QString sql;
    auto fallo = [&sql](const QString& descripcion) {
        config::EscribirLog(QStringLiteral(
            "MainProcesoSinc.registrarSync - Error al actualizar registro de Sincronizacion en "
            "MDB < Seguridad.mdb >. Los detalles se muestran en la siguiente linea."));
        config::EscribirLog(QStringLiteral("MainProcesoSinc.registrarSync - Error: [sSQL=") + sql +
                            QStringLiteral("].D=") + descripcion);
        return false;
    };
    Sesion s;
    if (const QString p = problemaRegistro(s, idLocal, fecha, estado); !p.isEmpty())
        return fallo(p);
    if (modo != 2) return true;
    sql = QStringLiteral("Update TablasFTP set iSincronizacionOK = ") + estado.trimmed() +
          QStringLiteral(" where idLocal=") + idLocal.trimmed() + QStringLiteral(" and ") +
          condicionDia(fecha);
    config::EscribirLog(QStringLiteral("registrarSync=sSQL[") + sql + u']');
    QString error;
    if (!dbAdmin().EjecutarSentencia(s.cnn, sql, 1, &error)) return fallo(s.cnn.lastError());
    return true;
}

qint64 getTamanoArchivo(const QString& ruta) {
    const QFileInfo info(ruta);
    return info.isFile() ? info.size() : -1;
}

std::optional<QList<DescargaPendiente>> listarPendientes(const QString& ownIdLocal) {
    const QString prefijo = QStringLiteral("MainProcesoSinc.SyncLocales - Error: ");
    Sesion s;
    if (!preparada(s, ownIdLocal, prefijo)) return std::nullopt;
    db::Recordset rs;
    if (!rs.open(s.cnn, QStringLiteral("select idLocal, fecha from TablasFTP where idLocal <> ") +
                            ownIdLocal.trimmed() +
                            QStringLiteral(" and iDescargaOK = 1 and iSincronizacionOK = 0 "
                                           "order by idLocal, fecha"))) {
        config::EscribirLog(prefijo + rs.errorText());
        return std::nullopt;
    }
    QList<DescargaPendiente> filas;
    for (; !rs.eof(); rs.moveNext()) {
        // Both go into file names and statements.
        const QString id = rs.value(0).toString().trimmed();
        const QDate fecha = rs.value(1).toDateTime().date();
        if (idLocalValido(id) && fechaLedgerValida(fecha)) {
            filas.append({id, fecha});
            continue;
        }
        config::EscribirLog(QStringLiteral("MainProcesoSinc.SyncLocales - Fila de TablasFTP no "
                                           "valida (idLocal '") +
                            id + QStringLiteral("', fecha '") + rs.value(1).toString() +
                            QStringLiteral("'): se ignora"));
    }
    return filas;
}

bool borrarDescarga(const QString& idLocal, const QDate& fecha) {
    const QString prefijo = QStringLiteral("MainProcesoSinc.borrarDescarga - Error: ");
    Sesion s;
    if (!preparada(s, idLocal, prefijo) || !fecha.isValid()) return false;
    const QString sql = QStringLiteral("delete from TablasFTP where ") + condicionDia(fecha) +
                        QStringLiteral(" and idLocal = ") + idLocal.trimmed();
    QString error;
    if (dbAdmin().EjecutarSentencia(s.cnn, sql, 1, &error)) return true;
    config::EscribirLog(prefijo + error);
    return false;
}

bool crearLedger(const QString& rutaDada, QString* error) {
    // Relative to the current folder, for the file and for the connection alike.
    const QString ruta = QFileInfo(rutaDada).absoluteFilePath();
    const bool creado = !QFileInfo::exists(ruta);
    if (creado) {
        QFile nuevo(ruta);
        if (!nuevo.open(QIODevice::WriteOnly)) {
            if (error)
                *error = QStringLiteral("No se pudo crear ") + ruta + QStringLiteral(": ") +
                         nuevo.errorString();
            return false;
        }
    }
    Connection cnn;
    if (!dbAdmin().AbrirBD(cnn, db::textoConexionAccess(ruta))) {
        if (error)
            *error = kNoAbre + ruta + QStringLiteral(" (ver el log ") +
                     config::logPath(config::Clock::today()) + u')';
        if (creado) QFile::remove(ruta);
        return false;
    }
    db::Recordset rs;
    QString sError;
    bool ok = rs.open(cnn, QStringLiteral("select count(*) from sqlite_master where type = "
                                          "'table' and name = 'TablasFTP' collate nocase"));
    if (ok && rs.value(0).toInt() == 0)
        ok = dbAdmin().EjecutarSentencia(
            cnn,
            QStringLiteral("create table TablasFTP (idLocal integer not null, fecha datetime "
                           "not null, iDescargaOK integer not null, iSincronizacionOK integer "
                           "not null)"),
            1, &sError);
    if (!ok && error) *error = sError.isEmpty() ? rs.errorText() : sError;
    dbAdmin().CerrarBD(cnn);
    if (!ok && creado) QFile::remove(ruta);
    return ok;
}

}  // namespace lumaro::ledger
