#pragma once
// The layout of the DBF files of the four master tables and the rule that names them.
//
// One file per table type and snapshot, dBASE IV ("version 3" header, no memo), text in
// Windows-1252 with that code page marked in the header's language-driver byte. Columns, in
// order, are those of the table in the data model (flag included), shortened to fit the
// ten-character limit of dBASE names:
//   numeric  N(11,0)  wide enough for any 32-bit integer, sign included (-2147483648)
//   text     C(n)     the width of the column (the client address is 250 wide here)
//   date     C(14)    yyyymmddhhmmss
//   flag     L        T or F
// Readers that know dBASE take blanks in a numeric field, and '?' in a logical one, as null.
// The columns are made from the data model; excepcionesDBF lists where a file departs from it.

#include <QString>
#include <QStringView>
#include <vector>

#include "snapshot/DataModel.h"

namespace lumaro::outputs {

// The code of a record element, which says how its value is to be read; see TablasDBF.
enum class ElementoDBF : char { Numero = 'N', Texto = 'C', Fecha = 'D', Marca = 'B' };

struct ColumnaDBF {
    char nombre[11];       // the model's name cut to nine characters
    ElementoDBF elemento;  // the record element that feeds it
    char campo;            // dBASE field type: 'N', 'C' or 'L'
    int ancho;             // field width in bytes
};

inline constexpr int kAnchoNumerico = 11;
inline constexpr int kAnchoFecha = 14;
// Language driver 3: Windows ANSI (code page 1252), as shapelib takes it.
inline constexpr const char* kCodigoPagina = "LDID/3";

// The columns of a table type ("C", "T", "A", "K"), in order; nullptr for any other code.
const std::vector<ColumnaDBF>* columnasDBF(QStringView tipoTabla);
// The data-model table of a table type; nullptr for an unknown code. Its columns line up one
// to one with columnasDBF of the same code.
const snapshot::Table* tablaDBF(QStringView tipoTabla);

// A column whose field is not the one its type gives: the client address is 250 wide, and the
// VIP mark is a 0/1 number fed by a flag element.
struct ExcepcionDBF {
    const char* tabla;
    const char* columna;
    ElementoDBF elemento;
    char campo;
    int ancho;
};
const std::vector<ExcepcionDBF>& excepcionesDBF();

// The DBF file name of a table type for a snapshot: the store, "_", the type, "_", and one
// base-36 digit each for the snapshot's two-digit year, month and day, then ".dbf"
// ("3_05122026.mdb", "C" -> "3_C_QC5.dbf"). A part that is not a number from 0 to 35 gives no
// digit (years from 2036 on).
QString nombreDBF(const QString& nombreSnapshot, const QString& tipoTabla);

}  // namespace lumaro::outputs
