#pragma once
// What the demo databases and a demo day of activity share: the generated names, inserts by
// bound values, a seeded source of choices and times of day, and the opening and the one
// transaction of an embedded database file.

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <random>

#include "db/Connection.h"

namespace lumaro::tools {

using lumaro::db::Connection;

// Names with apostrophes and accents, so that every generated row exercises the quote
// replacement and the text encodings.
const QStringList& apellidosDemo();
const QStringList& nombresDemo();
const QStringList& distritosDemo();
const QStringList& usuariosDemo();

// Inserts rows by bound values: a generated value never needs quoting.
class Inserter {
public:
    Inserter(const QSqlDatabase& db, const QString& table, int columns);
    bool add(const QVariantList& values, QString* error);

private:
    QSqlQuery m_query;
};

// Runs one statement with bound values; false with the driver's message in error.
bool ejecutarConValores(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
                        QString* error);

// The seeded choices: the same seed gives the same sequence.
class Azar {
public:
    explicit Azar(unsigned semilla) : m_rng(semilla) {}
    QString pick(const QStringList& list);
    // A number in 0..n-1 (n > 0).
    int menor(int n);
    // A stored date text of that day at a generated time of day (08:00 to 19:59).
    QVariant fecha(const QDate& dia);

private:
    std::mt19937 m_rng;
};

// The generated rows of one store's tables, each as the values of an insert in the table's
// column order, unsent (bFlagSincro 0). Dates are generated around `hoy`; `cambio` is the
// row's change date (the table's change-date column).
class FilasDemo {
public:
    FilasDemo(Azar& azar, const QDate& hoy, int local) : m_azar(azar), m_hoy(hoy), m_local(local) {}

    // The card number of a client of a store: 8 digits.
    static QString numeroTarjeta(int local, int cliente);
    // A date text days from hoy at a generated time of day.
    QVariant fecha(int dias) { return m_azar.fecha(m_hoy.addDays(dias)); }

    QVariantList cliente(int c, const QVariant& cambio);
    QVariantList tarjeta(int c, const QVariant& cambio);
    QVariantList cumpleanios(int c, int id, const QVariant& celebracion);
    // A movement of client c with its code; a reversed one carries today's reversal date and
    // the user who reversed it.
    struct Movimiento {
        int cliente = 0;
        int codigo = 0;
        QVariant cambio;
        bool extornado = false;
    };
    QVariantList acumulacionPunto(const Movimiento& m);
    QVariantList acumulacionTicket(const Movimiento& m);
    QVariantList canjePunto(const Movimiento& m);
    QVariantList canjeTicket(const Movimiento& m);
    // A birthday redemption's register header and one of its lines.
    QVariantList cabeceraCanje(const QString& codigo, int c, const QVariant& fecha);
    QVariantList detalleCanje(const QString& codigo, int item, int c);

private:
    QVariantList canje(const Movimiento& m, int cantidad, int premioBase);
    Azar& m_azar;
    QDate m_hoy;
    int m_local;
};

// Opens an existing embedded database file; false with the reason in error.
bool abrirBaseDemo(Connection& cnn, const QString& path, QString* error);

// Runs llenar in one transaction on the open database and commits it; rolls back and
// returns false (the reason in error) when llenar or the commit fails.
bool enUnaTransaccion(Connection& cnn,
                      const std::function<bool(const QSqlDatabase&, QString*)>& llenar,
                      QString* error);

}  // namespace lumaro::tools
