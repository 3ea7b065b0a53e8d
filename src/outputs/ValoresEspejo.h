#pragma once
// Values as the MySQL mirror's statements write them. Every text goes between single quotes
// with each quote of the value replaced by a blank, so no value can end its literal early or
// add to a statement; the mirror session also has NO_BACKSLASH_ESCAPES, so a backslash stays
// a backslash. Numbers and dates are written in one invariant form whatever the locale.

#include <QString>
#include <QStringView>
#include <QVariant>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::outputs {

// How one value is written. A null value gives the null word (normally "NULL") unless the
// form says otherwise.
enum class Forma {
    Numero,       // the number
    NumeroOCero,  // the number; 0 for a null
    Texto,        // 'text'; '' for a null
    TextoONull,   // 'text'
    Fecha,        // 'yyyy/mm/dd' (the time of day dropped)
    FechaHora,    // 'yyyy/mm/dd hh:mm:ss'
};

// Appends the value, which must be in the row form of snapshot::Fila, to out.
void agregarValor(QString& out, const QVariant& valor, Forma forma,
                  QStringView palabraNull = u"NULL");

// The text with every single quote replaced by one blank.
QString sinComillas(const QString& texto);

// True when a text key column of the row holds a quote: replacing it would write another row's
// key, so such a row is refused (logged and skipped) by every mirror writer.
bool claveConComilla(const snapshot::Table& tabla, const snapshot::Fila& fila);

}  // namespace lumaro::outputs
