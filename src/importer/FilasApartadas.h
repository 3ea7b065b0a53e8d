#pragma once
// Rows of a snapshot that cannot be merged but must not hold the rest of it back: a row that
// production refuses (a constraint, a type or range error) while its connection still answers,
// and a row holding a value that is not of its column's kind. Each is set aside where an
// operator can read it and apply it by hand: the text file "<snapshot>.sql" (2_01122026.sql)
// in the folder Filas_rechazadas under the program folder. Per row it holds comment lines
// naming the table, the key, the production database and the reason, then the statement that
// would apply it; when a value had to give way to NULL the statement is commented out too, to
// be corrected first. The row is also named in the log and in List1.

#include <QString>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::importer {

// The folder of the set-aside rows, under the program folder.
QString carpetaFilasApartadas();
// The file of a snapshot's set-aside rows.
QString archivoFilasApartadas(const QString& snapshot);

struct FilaApartada {
    const snapshot::Table* tabla = nullptr;
    snapshot::Fila fila;
    QString motivo;         // the database's message, or which value is not of its kind
    QString sentencia;      // what would apply the row; may be empty
    bool corregir = false;  // a value gave way to NULL: the statement needs correcting first
    QString prefijo;        // the merge's log prefix ("MainProcesoSinc.syncTablaCliente: ")
};

// Adds the row to the snapshot's file and writes its log and List1 lines. False, with the cause
// in causa, when the file could not be written: the row must not then count as handled.
bool apartarFila(const QString& snapshot, const FilaApartada& fila, QString* causa);

}  // namespace lumaro::importer
