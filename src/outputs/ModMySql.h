#pragma once
// Existence checks on the MySQL mirror: whether the mirror already holds a row, by its key.
// They run on the mirror connection (db::cnnMySql()), which the caller has open, and never
// log a failure themselves: the caller names the row in its own log line and skips that row's
// mirror statement.

#include <QSet>
#include <QString>
#include <optional>
#include <vector>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::outputs {

struct Existencia {
    enum class Estado { Existe, Falta, Error };
    Estado estado = Estado::Error;
    QString error;  // the provider's message when the query failed

    bool existe() const { return estado == Estado::Existe; }
    bool falta() const { return estado == Estado::Falta; }
    bool fallo() const { return estado == Estado::Error; }
};

// "select * from Cliente where cClieCode=<c> and IdLocal=<l>"
Existencia ExisteClienteMySQL(qint64 cClieCode, int IdLocal);
// "select * from Tarjeta where cClieCode=<c> and nTarjNumb='<n>' and IdLocal=<l>"; the card
// number is compared as text (a quote in it is written as a blank).
Existencia ExisteTarjetaMySQL(qint64 cClieCode, const QString& nTarjNumb, int IdLocal);
// "select * from Acumulacion_Punto where cClieCode=<c> and cAcumCode=<a> and IdLocal=<l>"
Existencia ExisteAcumulacionPuntoMySQL(qint64 cClieCode, qint64 cAcumCode, int IdLocal);
// "select * from Canje_Punto where cClieCode=<c> and cCanjCode=<k> and IdLocal=<l>"; logs the
// query before it runs and "ExisteCanjePuntoMySQL: Consulta OK" after it answered.
Existencia ExisteCanjePuntoMySQL(qint64 cClieCode, qint64 cCanjCode, int IdLocal);

// The check of a mirrored table for a row in the row form of snapshot::Fila: the same query
// (and log lines) as the table's named check above.
Existencia existeEnEspejo(const snapshot::Table& tabla, const snapshot::Fila& fila);

// The row's key values as the mirror's conditions write them, each followed by '|'.
QString textoClave(const snapshot::Table& tabla, const snapshot::Fila& fila);
// Which of the rows the mirror holds, by textoClave, in one query (logged as the table's check
// above logs its own); nothing when the query failed.
std::optional<QSet<QString>> existentesEnEspejo(const snapshot::Table& tabla,
                                                const std::vector<const snapshot::Fila*>& filas);

// True when the mirror's table has one unique key and its columns are the row key's, so that
// an insert that meets a held key meets the row the checks above find, and only that one;
// false when it has another or none; nothing when the server did not answer.
std::optional<bool> claveUnicaEnEspejo(const snapshot::Table& tabla);

}  // namespace lumaro::outputs
