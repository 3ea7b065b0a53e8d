#pragma once
// The status file: <program folder>/estado.json, rewritten whole after every command, so that
// a store's state can be read at a glance by a person, a script or the watching window:
//
//   {"version": "1.4.0", "local": "3", "escrito": "2026-12-05T14:05:09",
//    "ciclo": {"inicio": "...", "fin": "...", "segundos": 12, "resultado": "incompleto",
//              "causa": "La subida de archivos al FTP no termino: ..."},
//    "ultimoEnvio": {"archivo": "3_05122026.mdb", "hora": "2026-12-05T02:00:13"},
//    "locales": [{"local": "1", "nombre": "Centro", "ultimoDiaFusionado": "2026-12-04",
//                 "diasAdeudados": 1}],
//    "proximoCiclo": "2026-12-05T14:30:00"}
//
// Times are the program's local time, ISO 8601. "ultimoEnvio" and "proximoCiclo" are null
// when there is none; "locales" lists the other stores of the ledger ("errorLedger" says why
// when it cannot be read); "filasCopiadas" and "filasFusionadas" appear when the cycle counted
// rows. The file is written beside and renamed over the old one, so a reader never sees half
// of it.

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

#include "app/RunControl.h"

namespace lumaro::app {

QString rutaArchivoEstado();

// The document for a command that ended with report, the next scheduled cycle when there is
// one. Reads the ledger, the working folders and the store registry; changes nothing.
QJsonObject armarEstado(const Report& report, const std::optional<QDateTime>& proximo);

// Writes armarEstado's document. A failure is logged with its cause and returned; it never
// stops the program.
bool escribirArchivoEstado(const Report& report, const std::optional<QDateTime>& proximo);

// The last status file written; nullopt with the reason in *error when there is none or it
// cannot be read.
std::optional<QJsonObject> leerArchivoEstado(QString* error);

// This store's number: the registry's once loaded, else the setting "Local_Activo".
QString localPropio();

// A snapshot of this store archived in MDB_enviadas as "<hhmmss>_<store>_<ddmmyyyy>.mdb".
struct EnvioPropio {
    QString archivo;  // "<store>_<ddmmyyyy>.mdb"
    QDate dia;
    QDateTime hora;  // when it was archived, that is sent
};
// The store's sent snapshots, newest first.
QList<EnvioPropio> enviosPropios(const QString& idLocal);

// The stores' names by number: the store registry's once it is loaded, the status file's
// for the others.
QMap<QString, QString> nombresLocales();

}  // namespace lumaro::app
