#pragma once
// One day of a store's activity on its existing embedded production databases, for the chain
// simulations: the day's reversals of earlier point accumulations and redemptions, updates of
// earlier clients, cards and the store's contact, then new clients with their cards,
// birthdays, accumulations, redemptions and birthday-redemption registers.
//
// Only rows owned by the store are touched. Every written row is unsent (bFlagSincro 0) and,
// in the tables that have one, carries the day at a generated time of day as its change date,
// so the day's copy takes it. New keys continue after the highest key the store already has.
// The same seed on the same databases gives the same rows.

#include <QDate>
#include <QString>

namespace lumaro::tools {

struct ActividadOptions {
    QString clientePath;    // the client database (Local, the eight client tables)
    QString logisticaPath;  // the logistics database (the two register tables)
    int idLocal = 1;        // the store whose day it is
    QDate dia;              // the day of the activity
    int filas = 200;        // about this many rows written in all
    unsigned semilla = 1;
};

// Writes the day's rows, one transaction per database. False with the reason in error; a
// failed database is left as it was.
bool generarActividad(const ActividadOptions& options, QString* error);

}  // namespace lumaro::tools
