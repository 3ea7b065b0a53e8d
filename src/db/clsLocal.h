#pragma once
// The list of the chain's stores: n rows of (IdLocal, name) as text; an empty IdLocal marks a
// free row. One program-wide instance (locales()), rebuilt by ConfigLocales.

#include <QString>
#include <QVector>

namespace lumaro::db {

class clsLocal {
public:
    struct Fila {
        QString idLocal;
        QString nombre;
    };

    // A copy of the whole table.
    QVector<Fila> getlistadoLocales() const { return m_filas; }
    // Fills the first free row; does nothing when every row is taken.
    void addLocal(QString idLocal, QString nombre);
    // The table becomes nro free rows (at least 1); old content is discarded.
    void setNroLocales(int nro);
    int getNroLocales() const { return static_cast<int>(m_filas.size()); }
    // Column 0 / column 1 of row index; the empty text for an index outside 0 to n-1.
    QString getIdLocal(int index) const;
    QString getNombreLocal(int index) const;
    // The name of the store whose IdLocal, read as a number, equals codigo (the last match
    // wins); the empty text when none.
    QString getNombreLocalCod(int codigo) const;

private:
    QVector<Fila> m_filas;
};

// The program-wide store list.
clsLocal& locales();

}  // namespace lumaro::db
