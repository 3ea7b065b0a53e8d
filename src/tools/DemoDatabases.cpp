#include "tools/DemoDatabases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QVariant>

#include "config/Clock.h"
#include "config/ProfileFile.h"
#include "db/clsDBAdmin.h"
#include "snapshot/DataModel.h"
#include "tools/GeneradorDemo.h"

namespace lumaro::tools {

using lumaro::db::Connection;
using lumaro::db::dbAdmin;

namespace {

using snapshot::Database;
using snapshot::Table;

class Generator {
public:
    explicit Generator(const DemoOptions& o)
        : m_o(o), m_azar(o.semilla), m_hoy(o.hoy.isValid() ? o.hoy : config::Clock::today()) {}

    bool cliente(const QSqlDatabase& db, QString* error) {
        Inserter local(db, QStringLiteral("Local"), 3);
        for (int id = 1; id <= qMax(m_o.locales, m_o.idLocal); ++id)
            if (!local.add({id, QStringLiteral("Lumaro %1 - %2").arg(id).arg(pick(distritosDemo())),
                            id == m_o.idLocal ? 1 : 0},
                           error))
                return false;
        // Every store's contact person; the other stores' arrived from them, already merged,
        // so only this store's own is unsent.
        Inserter contactos(db, QStringLiteral("Contactos"), 5);
        for (int id = 1; id <= qMax(m_o.locales, m_o.idLocal); ++id)
            if (!contactos.add({id, QStringLiteral("Encargada Peña %1").arg(id),
                                QStringLiteral("local%1@lumaro.example").arg(id), id,
                                id == m_o.idLocal ? 0 : 1},
                               error))
                return false;
        // A contact of no store.
        if (!contactos.add({1000, QStringLiteral("Soporte O'Neill"), QVariant(), QVariant(), 0},
                           error))
            return false;

        Inserter cli(db, QStringLiteral("Cliente"), 24);
        Inserter tar(db, QStringLiteral("Tarjeta"), 10);
        Inserter cum(db, QStringLiteral("Cumpleaños"), 10);
        Inserter ap(db, QStringLiteral("Acumulacion_Punto"), 15);
        Inserter at(db, QStringLiteral("Acumulacion_Ticket"), 11);
        Inserter cp(db, QStringLiteral("Canje_Punto"), 12);
        Inserter ct(db, QStringLiteral("Canje_Ticket"), 12);
        const int s = m_o.idLocal;
        FilasDemo filas(m_azar, m_hoy, s);
        int mov = 0;
        for (int c = 1; c <= m_o.clientes; ++c) {
            if (!cli.add(filas.cliente(c, date(-(c % 30))), error) ||
                !tar.add(filas.tarjeta(c, date(-(c % 30))), error))
                return false;
            if (c % 3 == 0 && !cum.add(filas.cumpleanios(c, 1, date(-(c % 60))), error))
                return false;
            for (int k = 0; k < 2; ++k) {
                ++mov;
                const bool reversed = mov % 7 == 0;
                if (!ap.add(filas.acumulacionPunto({c, mov, date(-(mov % 20)), reversed}), error) ||
                    !at.add(filas.acumulacionTicket({c, mov, date(-(mov % 20)), reversed}), error))
                    return false;
                if (mov % 3 == 0 &&
                    (!cp.add(filas.canjePunto({c, mov, date(-(mov % 15)), reversed}), error) ||
                     !ct.add(filas.canjeTicket({c, mov, date(-(mov % 15)), reversed}), error)))
                    return false;
            }
        }
        return true;
    }

    bool logistica(const QSqlDatabase& db, QString* error) {
        Inserter cab(db, QStringLiteral("registro_canje_cumpleaños"), 8);
        Inserter det(db, QStringLiteral("registro_canje_cumpleaños_d"), 6);
        FilasDemo filas(m_azar, m_hoy, m_o.idLocal);
        for (int c = 3; c <= m_o.clientes; c += 3) {
            const QString code = QStringLiteral("CM%1").arg(c, 6, 10, QChar(u'0'));
            if (!cab.add(filas.cabeceraCanje(code, c, date(-(c % 60))), error)) return false;
            for (int item = 1; item <= 1 + c % 3; ++item)
                if (!det.add(filas.detalleCanje(code, item, c), error)) return false;
        }
        return true;
    }

private:
    QString pick(const QStringList& list) { return m_azar.pick(list); }
    // A date text days from today, at a generated time of day.
    QVariant date(int days) { return m_azar.fecha(m_hoy.addDays(days)); }

    const DemoOptions& m_o;
    Azar m_azar;
    QDate m_hoy;
};

// Creates one database file with the given tables and fills it in one transaction.
bool crearBase(const QString& path, Database which, Generator& gen, QString* error) {
    QFile::remove(path);
    {
        QFile empty(path);
        if (!empty.open(QIODevice::WriteOnly)) {
            if (error) *error = QStringLiteral("No se pudo crear ") + path;
            return false;
        }
    }
    Connection cnn;
    if (!abrirBaseDemo(cnn, path, error)) return false;
    QStringList schema;
    if (which == Database::Cliente)
        schema << QStringLiteral(
            "create table \"Local\" (\"IdLocal\" int not null primary key, "
            "\"Nombre\" nvarchar(50), \"Activo\" int not null default 0)");
    for (const Table& t : snapshot::tables())
        if (t.database == which) schema << snapshot::sqliteCreateStatement(t);
    QString sError;
    for (const QString& sql : schema) {
        if (!dbAdmin().EjecutarSentencia(cnn, sql, 1, &sError)) {
            if (error) *error = sError;
            return false;
        }
    }
    const bool ok = enUnaTransaccion(
        cnn,
        [&](const QSqlDatabase& db, QString* e) {
            return which == Database::Cliente ? gen.cliente(db, e) : gen.logistica(db, e);
        },
        error);
    dbAdmin().CerrarBD(cnn);
    return ok;
}

}  // namespace

bool crearBasesDemo(const DemoOptions& options, QString* error) {
    if (options.idLocal < 1 || options.clientes < 0) {
        if (error) *error = QStringLiteral("Local o numero de filas no validos");
        return false;
    }
    Generator gen(options);
    return crearBase(options.clientePath, Database::Cliente, gen, error) &&
           crearBase(options.logisticaPath, Database::Logistica, gen, error);
}

bool escribirConexionesDemo(const QString& cfgPath, const DemoOptions& options, QString* error) {
    const struct {
        const char* seccion;
        QString archivo;
    } secciones[] = {{"Conexion_Cliente", options.clientePath},
                     {"Conexion_Logistica", options.logisticaPath}};
    for (const auto& s : secciones) {
        const QString seccion = QString::fromLatin1(s.seccion);
        const QList<QPair<QString, QString>> claves = {
            {QStringLiteral("ServidorSQL"), QStringLiteral("sqlite")},
            {QStringLiteral("BaseDatosSQL"), s.archivo},
            {QStringLiteral("UserSQL"), QString()},
            {QStringLiteral("PwdUserSQL"), QString()}};
        for (const auto& [clave, valor] : claves)
            if (!config::ProfileFile::write(cfgPath, seccion, clave, valor, error)) return false;
    }
    return config::ProfileFile::write(cfgPath, QStringLiteral("Inicio"),
                                      QStringLiteral("Local_Activo"),
                                      QString::number(options.idLocal), error);
}

bool escribirConfiguracionDemo(const QString& cfgPath, const DemoOptions& options, QString* error) {
    if (!escribirConexionesDemo(cfgPath, options, error)) return false;
    const QString carpeta = QFileInfo(cfgPath).absoluteDir().filePath(QStringLiteral("snapshots"));
    const struct {
        const char* seccion;
        QString clave;
        QString valor;
    } claves[] = {{"Inicio", QStringLiteral("IpFtp"), QStringLiteral("127.0.0.1:2121")},
                  {"Inicio", QStringLiteral("UsuarioFtp"), QStringLiteral("tienda")},
                  {"Inicio", QStringLiteral("ContraseñaFtp"), QStringLiteral("clave")},
                  {"Inicio", QStringLiteral("SubFile"), QStringLiteral("intercambio")},
                  {"Inicio", QStringLiteral("Hora1"), QStringLiteral("2")},
                  {"Inicio", QStringLiteral("Minuto1"), QStringLiteral("0")},
                  {"Inicio", QStringLiteral("Hora2"), QStringLiteral("14")},
                  {"Inicio", QStringLiteral("Minuto2"), QStringLiteral("0")},
                  {"Inicio", QStringLiteral("RtDbf"), carpeta},
                  // The principal store also feeds the MySQL mirror.
                  {"Mysql", QStringLiteral("RutaBDClienteMySQL"), QStringLiteral("127.0.0.1:3306")},
                  {"Mysql", QStringLiteral("DataBaseMySQL"), QStringLiteral("lumaro_espejo")},
                  {"Mysql", QStringLiteral("USRNameMySQL"), QStringLiteral("lumaro")},
                  {"Mysql", QStringLiteral("PWDMySQL"), QStringLiteral("clave")}};
    for (const auto& [s, clave, valor] : claves) {
        const QString seccion = QString::fromLatin1(s);
        if (options.idLocal != 1 && seccion == QLatin1String("Mysql")) continue;
        if (!config::ProfileFile::read(cfgPath, seccion, clave, 253).trimmed().isEmpty()) continue;
        if (valor == carpeta && !QDir().mkpath(carpeta)) {
            *error = QStringLiteral("no se pudo crear la carpeta ") + carpeta;
            return false;
        }
        if (!config::ProfileFile::write(cfgPath, seccion, clave, valor, error)) return false;
    }
    return true;
}

}  // namespace lumaro::tools
