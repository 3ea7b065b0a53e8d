#pragma once
// The chain check: whether every store holds exactly the rows the other stores sent, as the
// merge rules leave them, and optionally whether the MySQL mirror holds exactly the principal
// store's rows of the mirrored tables.

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace lumaro::cadena {

struct Opciones {
    QStringList carpetas;  // the stores' program folders
    QString espejo;        // "HOST:PUERTO:USUARIO:CLAVE:BASE"; empty: no mirror check
    QString principal;     // the principal store's folder; empty: the one whose Local says so
};

// Exit codes.
inline constexpr int kCoincide = 0;
inline constexpr int kNoCoincide = 1;
inline constexpr int kEntradaMala = 2;

// Runs the check, printing the report to out and the reason of an unreadable input (naming
// the folder or file) to err. Returns kCoincide, kNoCoincide or kEntradaMala.
int verificar(const Opciones& opciones, QTextStream& out, QTextStream& err);

}  // namespace lumaro::cadena
