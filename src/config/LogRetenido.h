#pragma once
// Run-log lines held in memory during a long loop that logs per row (a merge logs two lines
// per updated row), written together instead of one open, write and close each.
//
// While a LogRetenido lives, EscribirLog keeps its lines, in order and each with the time it
// was made, and they reach the file at escribirLogRetenido(), every few thousand lines, and
// when the last LogRetenido ends. The loop writes them before each commit of its work, so no
// line of committed work can be lost by a crash.

#include <QByteArray>
#include <QString>

namespace lumaro::config {

class LogRetenido {
public:
    LogRetenido();
    ~LogRetenido();
    LogRetenido(const LogRetenido&) = delete;
    LogRetenido& operator=(const LogRetenido&) = delete;
};

// Writes the held lines; harmless when none are held.
void escribirLogRetenido();

// Appends one finished line (its bytes, line end included) to the log file at ruta, or keeps
// it while a LogRetenido lives. Used by EscribirLog.
void agregarLineaLog(const QString& ruta, const QByteArray& linea);

}  // namespace lumaro::config
