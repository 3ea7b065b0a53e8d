#pragma once
// What the FTP exchange folder says about a chain: per store, the days it sent a snapshot
// ("<tienda>_<ddmmyyyy>.mdb"), the latest of them and that file's size.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace lumaro::cadena {

struct EnviosTienda {
    qlonglong tienda = 0;
    QList<QDate> dias;   // every day sent, ascending
    QString archivo;     // the latest day's snapshot
    qint64 tamano = -1;  // its size in bytes; -1 when the server does not say

    QDate ultimo() const { return dias.isEmpty() ? QDate() : dias.last(); }
    qint64 diasDeRetraso(const QDate& hoy) const { return ultimo().daysTo(hoy); }
};

struct EnviosCadena {
    QString servidor;                   // "IpFtp"
    QString carpeta;                    // "SubFile"
    std::vector<EnviosTienda> tiendas;  // ascending by store
};

// How late a store is against the days allowed: on time (sent today), behind (1 to `limite`
// days), late (more).
enum class Retraso { AlDia, Atrasada, Tarde };
Retraso retraso(qint64 diasDeRetraso, int limite);

// The snapshots among the names of a folder, grouped by store; any other name is left out, and
// so is a name whose store is not a positive number or whose date is not a real day.
std::vector<EnviosTienda> agruparSnapshots(const QStringList& nombres);

// Points the settings reading at another program's settings file `cfg` while it lives.
class ConfiguracionDe {
public:
    explicit ConfiguracionDe(const QString& cfg);
    ~ConfiguracionDe();
    ConfiguracionDe(const ConfiguracionDe&) = delete;
    ConfiguracionDe& operator=(const ConfiguracionDe&) = delete;

private:
    QString m_carpeta, m_nombre;
};

// Lists the exchange folder of the settings file `cfg` (a store's "<programa>.cfg", read as the
// program reads it) and asks the size of each store's latest snapshot. False, with the cause
// in *error, when the server cannot be read.
bool leerEnvios(const QString& cfg, EnviosCadena* envios, QString* error);

}  // namespace lumaro::cadena
