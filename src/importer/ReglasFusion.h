#pragma once
// What sets the ten table merges apart, as data: the rule and the texts of their log lines;
// the statement templates are made from the data model. One generic merge (Fusion.cpp) runs
// all of them.
//
// Every "$" mark of a template names the column whose value fills it: in an insert the
// column list gives the marks their columns in order; elsewhere the name just before
// "= $" does. A mark between quotes ('$') takes the text as it stands (quotes replaced by
// blanks); every other mark takes the column's value literal; bFlagSincro always takes the
// synchronised mark 1.

#include <QString>
#include <vector>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::importer {

enum class Regla {
    PorFecha,      // look-up; a reversal or a newer change date overwrites, else skipped
    Sobrescribir,  // look-up; an existing row is always overwritten
    SoloInsertar,  // look-up; an existing row is left as it is and only marked
};

// A template and the column each of its marks takes.
struct Plantilla {
    struct Marca {
        qsizetype posicion = 0;  // of the "$"
        int columna = -1;        // data-model column
        bool cruda = false;      // between quotes in the template
        qsizetype igual = -1;    // of the "=" of a where-clause condition; -1 elsewhere
    };
    QString texto;
    std::vector<Marca> marcas;
    bool vacia() const { return texto.isEmpty(); }
};

struct ReglaFusion {
    const snapshot::Table* tabla;
    QString procedimiento;  // "syncTablaAcumulPunto": the end log line's prefix
    Regla regla;
    Plantilla busqueda;  // look-up on the production database
    Plantilla insercion;
    Plantilla actualizacion;  // empty for the insert-only tables
    Plantilla marcado;        // the snapshot row's mark, as named in log lines
    QString anterior;         // "Acumulacion anterior" (by-date tables)
    int reverso = -1;         // dExtoDate (by-date tables)
    int fechaCambio = -1;     // dAcumDate, dCanjDate (by-date tables)
    int nuloComoCero = -1;    // bClienteVIP: written 0 when null, never NULL

    // The end log line's prefix: "MainProcesoSinc.syncTablaAcumulPunto: ".
    QString prefijo() const;
    // The table as the log lines name it: "acumulacion_punto".
    QString nombreLog() const { return tabla->qMergeName().toLower(); }
};

// The rules of the ten merges, one per table.
const std::vector<ReglaFusion>& reglasFusion();
// The rule of a merge procedure ("syncTablaCliente"); the program aborts on an unknown name.
const ReglaFusion& reglaFusion(const char* procedimiento);
// The rule of the merge of a data-model table (each of the ten has one).
const ReglaFusion& reglaDeTabla(const snapshot::Table& tabla);

// Parses a template's marks against a table; the program aborts on a mark that names no
// column (the templates are fixed texts).
Plantilla analizarPlantilla(const QString& texto, const snapshot::Table& tabla);

// The template filled from the row through ArmarSQL: nullopt, with the column in
// columnaMala, when a value is not of its column's kind. A null key (the nullable IdLocal of
// Contactos) turns its condition "= $" into "IS NULL".
std::optional<QString> armar(const ReglaFusion& regla, const Plantilla& plantilla,
                             const snapshot::Fila& fila, QString* columnaMala);

// The values armar writes for the template's marks, in their order, for the template run with
// "?" in place of each mark: a text (quotes replaced by blanks), a whole number, a date-time
// as its literal's text, or null. nullopt when the row needs armar's finished text: a null
// key (its condition becomes "IS NULL"), a value not of its column's kind, or a value whose
// literal the engine would not read as that value.
std::optional<std::vector<QVariant>> valoresEnlazados(const ReglaFusion& regla,
                                                      const Plantilla& plantilla,
                                                      const snapshot::Fila& fila);

}  // namespace lumaro::importer
