#include "db/tool/DemoDatabases.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <random>

#include "config/Clock.h"
#include "config/ProfileFile.h"
#include "db/ConnectionText.h"
#include "db/DateText.h"
#include "db/clsDBAdmin.h"
#include "snapshot/DataModel.h"

namespace lumaro::db::tool {

namespace {

using snapshot::Database;
using snapshot::Table;

const QStringList kApellidos = {
    QStringLiteral("D'Angelo"), QStringLiteral("O'Neill"), QStringLiteral("Peña"),
    QStringLiteral("Núñez"),    QStringLiteral("Gómez"),   QStringLiteral("Sánchez"),
    QStringLiteral("Ibáñez"),   QStringLiteral("Muñoz"),   QStringLiteral("Quispe"),
    QStringLiteral("Huamán"),   QStringLiteral("Córdova"), QStringLiteral("Ñahui")};
const QStringList kNombres = {QStringLiteral("José"),   QStringLiteral("María"),
                              QStringLiteral("Ángel"),  QStringLiteral("Sofía"),
                              QStringLiteral("Raúl"),   QStringLiteral("Lucía"),
                              QStringLiteral("Martín"), QStringLiteral("Inés"),
                              QStringLiteral("Renée"),  QStringLiteral("Zoë")};
const QStringList kDistritos = {QStringLiteral("Miraflores"), QStringLiteral("San Isidro"),
                                QStringLiteral("Breña"), QStringLiteral("Surco")};
const QStringList kUsuarios = {QStringLiteral("cajero1"), QStringLiteral("o'brien"),
                               QStringLiteral("admin")};

// Inserts rows by bound values: a generated value never needs quoting.
class Inserter {
public:
    Inserter(const QSqlDatabase& db, const QString& table, int columns) : m_query(db) {
        QStringList marks;
        for (int i = 0; i < columns; ++i) marks << QStringLiteral("?");
        m_query.prepare(QStringLiteral("insert into \"") + table + QStringLiteral("\" values (") +
                        marks.join(u',') + u')');
    }
    bool add(const QVariantList& values, QString* error) {
        for (int i = 0; i < values.size(); ++i) m_query.bindValue(i, values[i]);
        if (m_query.exec()) return true;
        if (error) *error = m_query.lastError().text();
        return false;
    }

private:
    QSqlQuery m_query;
};

class Generator {
public:
    explicit Generator(const DemoOptions& o)
        : m_o(o), m_rng(o.semilla), m_hoy(o.hoy.isValid() ? o.hoy : config::Clock::today()) {}

    bool cliente(const QSqlDatabase& db, QString* error) {
        Inserter local(db, QStringLiteral("Local"), 3);
        for (int id = 1; id <= qMax(m_o.locales, m_o.idLocal); ++id)
            if (!local.add({id, QStringLiteral("Lumaro %1 - %2").arg(id).arg(pick(kDistritos)),
                            id == m_o.idLocal ? 1 : 0},
                           error))
                return false;
        Inserter contactos(db, QStringLiteral("Contactos"), 5);
        for (int id = 1; id <= qMax(m_o.locales, m_o.idLocal); ++id)
            if (!contactos.add({id, QStringLiteral("Encargada Peña %1").arg(id),
                                QStringLiteral("local%1@lumaro.example").arg(id), id, 0},
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
        int mov = 0;
        for (int c = 1; c <= m_o.clientes; ++c) {
            const QString card = QStringLiteral("%1").arg(s * 1000000 + c, 8, 10, QChar(u'0'));
            const QString distrito = pick(kDistritos);
            if (!cli.add({c,
                          pick(kApellidos),
                          pick(kNombres),
                          QStringLiteral("Av. O'Higgins %1").arg(c),
                          15,
                          1,
                          1,
                          QStringLiteral("01-44%1").arg(c, 4, 10, QChar(u'0')),
                          QStringLiteral("cliente%1@correo.example").arg(c),
                          c % 5 == 0 ? QVariant() : date(-365 * 30 - c * 11),
                          date(-(c % 30)),
                          c,
                          100 + c,
                          c % 7,
                          QString(),
                          distrito,
                          QStringLiteral("Lima"),
                          QStringLiteral("Lima"),
                          c % 3,
                          QStringLiteral("ORIG-%1").arg(c),
                          c % 4 == 0 ? QVariant() : QVariant(c * 10),
                          s,
                          0,
                          c % 10 == 0 ? 1 : 0},
                         error) ||
                !tar.add({c, card, 1, date(-400), date(365 * 2), pick(kUsuarios), date(-(c % 30)),
                          c % 9, s, 0},
                         error))
                return false;
            if (c % 3 == 0 &&
                !cum.add({c, 1, card, date(-(c % 60)), QStringLiteral("Cumpleaños de %1").arg(c),
                          50, 1, pick(kUsuarios), s, 0},
                         error))
                return false;
            for (int k = 0; k < 2; ++k) {
                ++mov;
                const bool reversed = mov % 7 == 0;
                const QVariant exto = reversed ? date(0) : QVariant();
                const QVariant userE = reversed ? QVariant(pick(kUsuarios)) : QVariant();
                if (!ap.add({c, mov, card, 100 + mov, 10 + mov % 50, pick(kUsuarios), exto, userE,
                             date(-(mov % 20)), 0, QStringLiteral("BOLETA"),
                             QStringLiteral("B00%1").arg(mov % 3), mov, s, 0},
                            error) ||
                    !at.add({c, mov, card, 1 + mov % 3, pick(kUsuarios), exto, userE,
                             date(-(mov % 20)), 0, s, 0},
                            error))
                    return false;
                if (mov % 3 == 0 && (!cp.add({c, mov, card, 5, 100 + mov % 10, 1, pick(kUsuarios),
                                              date(-(mov % 15)), exto, userE, s, 0},
                                             error) ||
                                     !ct.add({c, mov, card, 1, 200 + mov % 10, 1, pick(kUsuarios),
                                              date(-(mov % 15)), exto, userE, s, 0},
                                             error)))
                    return false;
            }
        }
        return true;
    }

    bool logistica(const QSqlDatabase& db, QString* error) {
        Inserter cab(db, QStringLiteral("registro_canje_cumpleaños"), 8);
        Inserter det(db, QStringLiteral("registro_canje_cumpleaños_d"), 6);
        const int s = m_o.idLocal;
        for (int c = 3; c <= m_o.clientes; c += 3) {
            const QString code = QStringLiteral("CM%1").arg(c, 6, 10, QChar(u'0'));
            if (!cab.add({code, 1, QStringLiteral("CJ"), date(-(c % 60)), s, c, 0, s}, error))
                return false;
            for (int item = 1; item <= 1 + c % 3; ++item)
                if (!det.add({code, 1, item,
                              QStringLiteral("A%1").arg(item + c % 100, 5, 10, QChar(u'0')), 0, s},
                             error))
                    return false;
        }
        return true;
    }

private:
    QString pick(const QStringList& list) {
        return list[static_cast<qsizetype>(m_rng() % static_cast<unsigned>(list.size()))];
    }
    // A date text days from today, at a generated time of day.
    QVariant date(int days) {
        const QTime t(static_cast<int>(8 + m_rng() % 12), static_cast<int>(m_rng() % 60),
                      static_cast<int>(m_rng() % 60));
        return dateTimeText(QDateTime(m_hoy.addDays(days), t));
    }

    const DemoOptions& m_o;
    std::mt19937 m_rng;
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
    if (!dbAdmin().AbrirBD(
            cnn, textoConexionSqlServer(QString(), QString(), path, QStringLiteral("sqlite")))) {
        if (error) *error = QStringLiteral("No se pudo abrir ") + path;
        return false;
    }
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
    cnn.beginTransaction();
    const bool ok = which == Database::Cliente ? gen.cliente(cnn.database(), error)
                                               : gen.logistica(cnn.database(), error);
    if (!ok) {
        cnn.rollbackTransaction();
        return false;
    }
    if (!cnn.commitTransaction()) {
        if (error) *error = cnn.lastError();
        return false;
    }
    dbAdmin().CerrarBD(cnn);
    return true;
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

}  // namespace lumaro::db::tool
