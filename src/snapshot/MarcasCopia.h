#pragma once
// The production marks of a copy: exactly the rows that were copied are marked sent, each
// named by its key and, where the table has a change date, by the change date that was copied.
// A row written by another program between the selection and the marking keeps its flag 0 and
// goes in the next snapshot.
//
// The keys wait in a temporary file (a table may copy millions of rows; memory stays flat)
// and are marked one row at a time through a prepared statement, inside the caller's
// transaction.

#include <QByteArray>
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
    // One marking value of a recorded row.
    struct Valor {
        bool nulo = false;
        bool texto = false;
        qint64 numero = 0;  // an Integer, or a DateTime as yyyymmddhhmmss
        QByteArray utf8;    // a Text
    };
    // The values of the next recorded row from m_lectura; false when the file ends short.
    bool leerFila(std::vector<Valor>& out) const;
    bool leerBytes(char* destino, qsizetype n) const;
    // The marking statement for a pattern of null columns (bit k for the k-th marking column).
    QString sentencia(unsigned nulos) const;
    void volcar();
    bool falloLectura(QString* error) const;
    static unsigned nulos(const std::vector<Valor>& fila);
    bool esFecha(std::size_t k) const;

    const Table& m_table;
    std::vector<int> m_columnas;  // key columns, then the change date
    // Per row and marking column: a null mark byte, then an Integer as qint64, a DateTime as
    // qint64 yyyymmddhhmmss, a Text as its UTF-8 length (qint32) and bytes. Kept in m_pendiente
    // and spilled to the file in blocks.
    mutable QTemporaryFile m_archivo;
    QByteArray m_pendiente;
    mutable QByteArray m_lectura;
    mutable qsizetype m_posLectura = 0;
    mutable bool m_enPendiente = false;
    std::size_t m_filas = 0;
};

}  // namespace lumaro::snapshot
