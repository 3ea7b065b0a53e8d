#include "snapshot/Enviados.h"

#include <QDir>

#include "config/Settings.h"

namespace lumaro::snapshot {

bool yaEnviado(const QString& nombre) {
    const QDir enviadas(config::programPath(QStringLiteral("MDB_enviadas")));
    const QString suffix = QLatin1Char('_') + nombre;
    const QStringList names = enviadas.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (name.endsWith(suffix, Qt::CaseInsensitive)) return true;
    }
    return false;
}

}  // namespace lumaro::snapshot
