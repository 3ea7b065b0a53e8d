#pragma once
// The merges' statements on a production connection: the look-up of one row and the insert
// or update that follows, both through the program's database access object.

#include <QString>
#include <QVariant>
#include <optional>

#include "db/Connection.h"

namespace lumaro::importer {

class EjecutorSentencias {
public:
    explicit EjecutorSentencias(db::Connection& cnn) : m_cnn(cnn) {}

    // Runs a look-up: true when it found a row, false when none; nullopt with the provider's
    // message in error when it failed. With columnaFecha, that field of the row found goes
    // to fecha.
    std::optional<bool> buscar(const QString& sql, const char* columnaFecha,
                               std::optional<QVariant>* fecha, QString* error);
    // Runs an insert or update through clsDBAdmin::EjecutarSentencia with its error flag 0: a
    // failure shows its box and writes its log line there.
    bool ejecutar(const QString& sql);

private:
    db::Connection& m_cnn;
};

}  // namespace lumaro::importer
