#include "tools/GeneradorDemo.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>

#include "db/ConnectionText.h"
#include "db/DateText.h"
#include "db/clsDBAdmin.h"

namespace lumaro::tools {

using lumaro::db::dbAdmin;
using lumaro::db::textoConexionSqlServer;

using lumaro::db::Connection;
using lumaro::db::dateTimeText;

const QStringList& apellidosDemo() {
    static const QStringList l = {
        QStringLiteral("D'Angelo"), QStringLiteral("O'Neill"), QStringLiteral("Peña"),
        QStringLiteral("Núñez"),    QStringLiteral("Gómez"),   QStringLiteral("Sánchez"),
        QStringLiteral("Ibáñez"),   QStringLiteral("Muñoz"),   QStringLiteral("Quispe"),
        QStringLiteral("Huamán"),   QStringLiteral("Córdova"), QStringLiteral("Ñahui")};
    return l;
}

const QStringList& nombresDemo() {
    static const QStringList l = {QStringLiteral("José"),   QStringLiteral("María"),
                                  QStringLiteral("Ángel"),  QStringLiteral("Sofía"),
                                  QStringLiteral("Raúl"),   QStringLiteral("Lucía"),
                                  QStringLiteral("Martín"), QStringLiteral("Inés"),
                                  QStringLiteral("Renée"),  QStringLiteral("Zoë")};
    return l;
}

const QStringList& distritosDemo() {
    static const QStringList l = {QStringLiteral("Miraflores"), QStringLiteral("San Isidro"),
                                  QStringLiteral("Breña"), QStringLiteral("Surco")};
    return l;
}

const QStringList& usuariosDemo() {
    static const QStringList l = {QStringLiteral("cajero1"), QStringLiteral("o'brien"),
                                  QStringLiteral("admin")};
    return l;
}

Inserter::Inserter(const QSqlDatabase& db, const QString& table, int columns) : m_query(db) {
    QStringList marks;
    for (int i = 0; i < columns; ++i) marks << QStringLiteral("?");
    m_query.prepare(QStringLiteral("insert into \"") + table + QStringLiteral("\" values (") +
                    marks.join(u',') + u')');
}

bool Inserter::add(const QVariantList& values, QString* error) {
    for (int i = 0; i < values.size(); ++i) m_query.bindValue(i, values[i]);
    if (m_query.exec()) return true;
    if (error) *error = m_query.lastError().text();
    return false;
}

bool ejecutarConValores(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
                        QString* error) {
    QSqlQuery q(db);
    if (q.prepare(sql)) {
        for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
        if (q.exec()) return true;
    }
    if (error) *error = q.lastError().text() + QStringLiteral(" - ") + sql;
    return false;
}

QString Azar::pick(const QStringList& list) { return list[menor(static_cast<int>(list.size()))]; }

int Azar::menor(int n) { return static_cast<int>(m_rng() % static_cast<unsigned>(n)); }

QVariant Azar::fecha(const QDate& dia) {
    const QTime t(static_cast<int>(8 + m_rng() % 12), static_cast<int>(m_rng() % 60),
                  static_cast<int>(m_rng() % 60));
    return dateTimeText(QDateTime(dia, t));
}

// Eight digits, as the snapshot's card column holds: store and client for stores 1 to 99
// (SS0CCCCC); from store 100 to 999 the store's hundreds go in the digit a smaller store leaves
// at 0 (SSHCCCCC), so no two stores share a number while a store has under 100,000 clients.
QString FilasDemo::numeroTarjeta(int local, int cliente) {
    const int numero = local < 100 ? local * 1000000 + cliente
                                   : (local % 100) * 1000000 + (local / 100) * 100000 + cliente;
    return QStringLiteral("%1").arg(numero, 8, 10, QChar(u'0'));
}

QVariantList FilasDemo::cliente(int c, const QVariant& cambio) {
    const QString distrito = m_azar.pick(distritosDemo());
    return {c,
            m_azar.pick(apellidosDemo()),
            m_azar.pick(nombresDemo()),
            QStringLiteral("Av. O'Higgins %1").arg(c),
            15,
            1,
            1,
            QStringLiteral("01-44%1").arg(c, 4, 10, QChar(u'0')),
            QStringLiteral("cliente%1@correo.example").arg(c),
            c % 5 == 0 ? QVariant() : fecha(-365 * 30 - c * 11),
            cambio,
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
            m_local,
            0,
            c % 10 == 0 ? 1 : 0};
}

QVariantList FilasDemo::tarjeta(int c, const QVariant& cambio) {
    return {c,
            numeroTarjeta(m_local, c),
            1,
            fecha(-400),
            fecha(365 * 2),
            m_azar.pick(usuariosDemo()),
            cambio,
            c % 9,
            m_local,
            0};
}

QVariantList FilasDemo::cumpleanios(int c, int id, const QVariant& celebracion) {
    return {
        c,  id, numeroTarjeta(m_local, c),   celebracion, QStringLiteral("Cumpleaños de %1").arg(c),
        50, 1,  m_azar.pick(usuariosDemo()), m_local,     0};
}

QVariantList FilasDemo::acumulacionPunto(const Movimiento& m) {
    const int k = m.codigo;
    return {m.cliente,
            k,
            numeroTarjeta(m_local, m.cliente),
            100 + k,
            10 + k % 50,
            m_azar.pick(usuariosDemo()),
            m.extornado ? fecha(0) : QVariant(),
            m.extornado ? QVariant(m_azar.pick(usuariosDemo())) : QVariant(),
            m.cambio,
            0,
            QStringLiteral("BOLETA"),
            QStringLiteral("B00%1").arg(k % 3),
            k,
            m_local,
            0};
}

QVariantList FilasDemo::acumulacionTicket(const Movimiento& m) {
    return {m.cliente,
            m.codigo,
            numeroTarjeta(m_local, m.cliente),
            1 + m.codigo % 3,
            m_azar.pick(usuariosDemo()),
            m.extornado ? fecha(0) : QVariant(),
            m.extornado ? QVariant(m_azar.pick(usuariosDemo())) : QVariant(),
            m.cambio,
            0,
            m_local,
            0};
}

QVariantList FilasDemo::canje(const Movimiento& m, int cantidad, int premioBase) {
    return {m.cliente,
            m.codigo,
            numeroTarjeta(m_local, m.cliente),
            cantidad,
            premioBase + m.codigo % 10,
            1,
            m_azar.pick(usuariosDemo()),
            m.cambio,
            m.extornado ? fecha(0) : QVariant(),
            m.extornado ? QVariant(m_azar.pick(usuariosDemo())) : QVariant(),
            m_local,
            0};
}

QVariantList FilasDemo::canjePunto(const Movimiento& m) { return canje(m, 5, 100); }

QVariantList FilasDemo::canjeTicket(const Movimiento& m) { return canje(m, 1, 200); }

QVariantList FilasDemo::cabeceraCanje(const QString& codigo, int c, const QVariant& fecha) {
    return {codigo, 1, QStringLiteral("CJ"), fecha, m_local, c, 0, m_local};
}

QVariantList FilasDemo::detalleCanje(const QString& codigo, int item, int c) {
    return {codigo, 1,      item, QStringLiteral("A%1").arg(item + c % 100, 5, 10, QChar(u'0')),
            0,      m_local};
}

bool abrirBaseDemo(Connection& cnn, const QString& path, QString* error) {
    if (QFileInfo(path).isFile() &&
        dbAdmin().AbrirBD(
            cnn, textoConexionSqlServer(QString(), QString(), path, QStringLiteral("sqlite"))))
        return true;
    if (error) *error = QStringLiteral("No se pudo abrir ") + path;
    return false;
}

bool enUnaTransaccion(Connection& cnn,
                      const std::function<bool(const QSqlDatabase&, QString*)>& llenar,
                      QString* error) {
    cnn.beginTransaction();
    if (!llenar(cnn.database(), error)) {
        cnn.rollbackTransaction();
        return false;
    }
    if (!cnn.commitTransaction()) {
        if (error) *error = cnn.lastError();
        cnn.rollbackTransaction();
        return false;
    }
    return true;
}

}  // namespace lumaro::tools
