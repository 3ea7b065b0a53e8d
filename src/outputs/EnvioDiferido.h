#pragma once
// A statement sent to the mirror without waiting for its answer, so that the server writes one
// group of rows while this program merges or copies the next ones (on a two-core store PC the
// server's work is most of the mirror's cost).
//
// It works on a MySQL or MariaDB connection whose client library has the calls it needs; they
// are found at run time in the library Qt's driver loaded, so nothing here links against it.
// Elsewhere (another engine, another client library, Windows without a MySQL client) enviar
// says no and the caller runs the statement the usual way. While a statement is pending, nothing
// else may use the connection: esperar first.

#include <QString>

#include "db/Connection.h"

namespace lumaro::outputs {

class EnvioDiferido {
public:
    EnvioDiferido() = default;
    EnvioDiferido(const EnvioDiferido&) = delete;
    EnvioDiferido& operator=(const EnvioDiferido&) = delete;

    // Sends sql (in the connection's spelling of names) on cnn and returns at once; false, with
    // nothing pending, when this connection cannot take a statement this way. Nothing may be
    // pending.
    bool enviar(db::Connection& cnn, const QString& sql);
    bool pendiente() const { return m_pendiente; }
    // The pending statement's answer: true when it ran (or nothing was pending); otherwise
    // false with the server's message in cnn.lastError().
    bool esperar(db::Connection& cnn);

private:
    void* m_mysql = nullptr;  // the client library's handle of the pending statement
    bool m_pendiente = false;
    QString m_error;  // the send itself failed: esperar reports this
};

}  // namespace lumaro::outputs
