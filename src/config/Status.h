#pragma once
// The outcome of a fallible step above the Jet engine: ok, or the cause in words an operator
// can act on ("no space left in MDB_descargadas", "the FTP server did not answer"). Built like
// jet::Status, with the text the run log and the cycle's summary take.

#include <QString>
#include <utility>

namespace lumaro::config {

class Status {
public:
    Status() = default;
    static Status ok() { return Status(); }
    static Status failure(QString cause) { return Status(std::move(cause)); }

    bool isOk() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    // Why the step failed; empty when it did not.
    const QString& cause() const { return m_cause; }

private:
    explicit Status(QString cause) : m_ok(false), m_cause(std::move(cause)) {}
    bool m_ok = true;
    QString m_cause;
};

// Keeps the first cause of a run's failure: later ones are usually its consequences.
inline void noteFailure(QString& field, const QString& cause) {
    if (field.isEmpty()) field = cause;
}

}  // namespace lumaro::config
