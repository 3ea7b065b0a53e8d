#pragma once
// The difference lines of a chain check: each missing row, extra row and different column,
// at most kLineasPorGrupo lines per store and table, then that group's counts.

#include <QString>
#include <QTextStream>
#include <QVariant>
#include <functional>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::cadena {

inline constexpr int kLineasPorGrupo = 20;

// A value as the report shows it: NULL, a number, a date "yyyy/mm/dd hh:mm:ss", a quoted text.
QString textoValor(const QVariant& v);

class Informe {
public:
    explicit Informe(QTextStream& out) : m_out(out) {}

    // Starts the group of a store and table ("tienda 3, Cliente").
    void grupo(const QString& nombre);
    void falta(const snapshot::Table& tabla, const snapshot::Fila& esperada);
    void sobra(const snapshot::Table& tabla, const snapshot::Fila& encontrada);
    // Reports every column (the flag left out) where the rows differ; true when none does.
    // `iguales`, when given, decides the columns it is asked about.
    using Igualdad =
        std::function<bool(size_t columna, const QVariant& esperado, const QVariant& encontrado)>;
    bool comparar(const snapshot::Table& tabla, const snapshot::Fila& esperada,
                  const snapshot::Fila& encontrada, const Igualdad& iguales = {});
    // Prints the group's counts when it had differences.
    void cerrarGrupo();

    qlonglong diferencias() const { return m_total; }

    // The counts of every group so far, by kind.
    struct Cuentas {
        qlonglong faltan = 0, sobran = 0, distintas = 0;
    };
    const Cuentas& cuentas() const { return m_cuentas; }
    // "totales <nombre>: N faltan, N sobran, N columnas distintas": the counts since `desde`.
    void totales(const QString& nombre, const Cuentas& desde);

private:
    void linea(const QString& texto);

    QTextStream& m_out;
    QString m_grupo;
    int m_faltan = 0, m_sobran = 0, m_distintas = 0;
    qlonglong m_total = 0;
    Cuentas m_cuentas;
};

}  // namespace lumaro::cadena
