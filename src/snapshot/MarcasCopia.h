#pragma once
// The production marks of a copy: exactly the rows that were copied are marked sent, each
// named by its key and, where the table has a change date, by the change date that was copied.
// A row written by another program between the selection and the marking keeps its flag 0 and
// goes in the next snapshot.
//
// The keys wait in a temporary file (a table may copy millions of rows; memory stays flat)
// and are marked one row at a time through a prepared statement, inside the caller's
// transaction.

#include <QDataStream>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <vector>

#include "db/Connection.h"
#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::snapshot {

class MarcasCopia {
public:
    explicit MarcasCopia(const Table& table);

    // Records a copied row (values in the form of Fila.h).
    void agregar(const Fila& fila);
    std::size_t filas() const { return m_filas; }

    // Marks the recorded rows on cnn. False with the provider's message and the statement in
    // error when a statement fails.
    bool aplicar(db::Connection& cnn, QString* error) const;

private:
    // The values that name the next recorded row into out; returns the bit mask of its null
    // columns (bit k for the k-th marking column), which name the row by "is null" instead.
    unsigned leerFila(QDataStream& in, QVariantList& out) const;
    // The marking statement for a pattern of null columns.
    QString sentencia(unsigned nulos) const;

    const Table& m_table;
    std::vector<int> m_columnas;  // key columns, then the change date
    // Per row and marking column: an Integer as qint64, a DateTime as qint64 yyyymmddhhmmss
    // (a null as the smallest qint64), a Text as QString (null kept).
    mutable QTemporaryFile m_archivo;
    QDataStream m_flujo;
    std::size_t m_filas = 0;
};

}  // namespace lumaro::snapshot
