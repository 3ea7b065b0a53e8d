#pragma once
// The DBF side output of the copy of changed rows: one TablasDBF per table that has a DBF
// code, fed with every copied row of it.
//
// preparar reads the destination of each writer (Cliente, Tarjeta, Acumulacion_Punto,
// Canje_Punto) and is false at the first that has none; a table's file is created at its
// first row, filled row by row and completed by finTabla. A copy that was rolled back takes
// its DBF files with it (fin(false) deletes the files this run created), so nothing of a
// failed copy is ever uploaded.

#include <QString>
#include <QStringList>
#include <array>

#include "outputs/TablasDBF.h"
#include "snapshot/SalidaCopia.h"

namespace lumaro::outputs {

class ExportacionDBF : public snapshot::SalidaCopia {
public:
    ExportacionDBF();

    bool preparar(const QString& nombreSnapshot) override;
    void fila(const snapshot::Table& tabla, const snapshot::Fila& fila) override;
    void finTabla(const snapshot::Table& tabla) override;
    void fin(bool confirmada) override;

    // The files this run created, in the order created (none after fin(false)).
    const QStringList& archivosCreados() const { return m_creados; }

private:
    struct Escritor {
        const snapshot::Table* tabla = nullptr;
        const std::vector<ColumnaDBF>* columnas = nullptr;  // lines up with tabla's columns
        TablasDBF dbf;
        bool iniciado = false;  // syncTM was called for this run
    };
    Escritor* escritor(const snapshot::Table& tabla);
    // The record elements of a row, into m_registro (reused from row to row).
    void armarRegistro(const Escritor& e, const snapshot::Fila& fila);
    // The same elements handed to the file one by one, without texts; false when one of them
    // would be refused (the row then goes through armarRegistro and setRegistro, which log).
    bool elementosDirectos(Escritor& e, const snapshot::Fila& fila);

    std::array<Escritor, 4> m_escritores;  // in the copy's order of the tables
    QString m_nombreSnapshot;
    QStringList m_creados;
    QStringList m_registro;
    QString m_elemento;     // a text element whose quotes became blanks, reused
    char16_t m_buffer[24];  // a number or date element
};

}  // namespace lumaro::outputs
