#pragma once
// The production marks of a copy: exactly the rows that were copied are marked sent, each
// named by its key and, where the table has a change date, by the change date that was copied.
// A row written by another program between the selection and the marking keeps its flag 0 and
// goes in the next snapshot.
//
// The keys wait in a temporary file (a table may copy millions of rows; memory stays flat)
// and are marked one row at a time through a prepared statement, inside the caller's
// transaction.
//
// On SQLite one statement marks them all instead: the selection and the marking run in one
// transaction of one connection, and SQLite lets no other connection commit between them (a
// writer waits for the transaction to end, or the marking fails and the copy is rolled back),
// so the selection's own condition picks exactly the rows that were read, as long as nothing
// was written on the connection itself since the selection began. Rows skipped for a quote in
// their card number are left out. Should the connection have written meanwhile, or the
// statement's count differ from the rows recorded, the rows are marked one at a time (the
// statement taken back to a savepoint first).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <vector>

#include "db/Connection.h"
#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::snapshot {

// The one statement that marks sent every row a selection of the table took (seleccion: the
// condition after its WHERE), the rows with a quote in their card number left out.
QString sentenciaMarcasEnConjunto(const Table& table, const QString& seleccion);

class MarcasCopia {
public:
    // Made before the table's selection is opened on cnn.
    MarcasCopia(const Table& table, const db::Connection& cnn);

    // Records a copied row (values in the form of Fila.h).
    void agregar(const Fila& fila);
    std::size_t filas() const { return m_filas; }

    // Marks the recorded rows on cnn; seleccion is the copy's condition after its WHERE. False
    // with the provider's message and the statement in error when a statement fails.
    bool aplicar(db::Connection& cnn, const QString& seleccion, QString* error) const;

private:
    // One marking value of a recorded row.
    struct Valor {
        bool nulo = false;
        bool texto = false;
        qint64 numero = 0;  // an Integer, or a DateTime as yyyymmddhhmmss
        QByteArray utf8;    // a Text
    };
    // hecho: the one statement marked exactly the recorded rows and stays.
    bool marcarEnConjunto(db::Connection& cnn, const QString& seleccion, bool& hecho,
                          QString* error) const;
    bool marcarUnaAUna(db::Connection& cnn, QString* error) const;
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
    qint64 m_cambiosAntes;  // the connection's changes when the selection began
};

}  // namespace lumaro::snapshot
