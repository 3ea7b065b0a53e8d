#pragma once
// A date of a copied row split into its calendar parts once, for the writers that need the
// parts (the snapshot, the DBF text, the production marks), without going through Qt's
// calendar for every part of every value.

#include <QDateTime>
#include <string_view>

namespace lumaro::snapshot {

struct PartesFecha {
    int anio = 0, mes = 0, dia = 0, hora = 0, minuto = 0, segundo = 0;
};

// The parts of a row's date as Fila.h holds it (UTC, whole seconds); any other QDateTime is
// read through Qt's own calendar, with the same result.
PartesFecha partesFecha(const QDateTime& valor);

// The stored form "yyyy/mm/dd hh:mm:ss" of a valid date and time, exactly; false for anything
// else (other separators, a fraction, blanks, an impossible date), which the general reading
// of dates (valorColumna) then takes.
bool leerFechaGuardada(std::string_view texto, PartesFecha& out);

// The parts as digits into out: "yyyy/mm/dd hh:mm:ss" (19 bytes), or with compacta
// "yyyymmddhhmmss" (14 bytes), as the marks and the DBF files write dates.
void escribirFecha(const PartesFecha& p, char* out, bool compacta);

// The row value of valid parts: the same QDateTime valorColumna makes (UTC, whole seconds).
QDateTime fechaDeFila(const PartesFecha& p);

}  // namespace lumaro::snapshot
