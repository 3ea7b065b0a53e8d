#pragma once
// lumaro-cadena estado: which stores of a chain are late, from the FTP exchange folder.

#include <QStringList>
#include <QTextStream>

namespace lumaro::cadena {

inline constexpr char kUsoEstado[] =
    "uso: lumaro-cadena estado CFG [--json] [--html ARCHIVO] [--dias-tarde N]";

// Exit codes.
inline constexpr int kEstadoAlDia = 0;
inline constexpr int kEstadoTarde = 1;        // a store is later than --dias-tarde days
inline constexpr int kEstadoUsoMalo = 2;      // a usage mistake, named on err
inline constexpr int kEstadoSinServidor = 3;  // the server or the report could not be used

// Runs the command on its arguments (those after "estado"): the state on out (text or JSON),
// with --html the page in ARCHIVO, every problem on err. With "CorreoCentral" set in [Correo],
// the page goes by mail when a store is late (InformeCentral.h).
int estado(const QStringList& argumentos, QTextStream& out, QTextStream& err);

}  // namespace lumaro::cadena
