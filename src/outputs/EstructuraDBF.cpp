#include "outputs/EstructuraDBF.h"

#include <cstring>
#include <utility>

namespace lumaro::outputs {

namespace {

// Names longer than nine characters are cut to nine.
constexpr size_t kLargoNombre = 9;

ColumnaDBF hacer(const QByteArray& nombre, ElementoDBF elemento, char campo, int ancho) {
    ColumnaDBF d{{}, elemento, campo, ancho};
    std::memcpy(d.nombre, nombre.constData(), static_cast<size_t>(nombre.size()));
    return d;
}

ColumnaDBF columna(const snapshot::Table& tabla, const snapshot::Column& c) {
    const QByteArray nombre = QByteArray(c.name).left(kLargoNombre);
    for (const ExcepcionDBF& e : excepcionesDBF())
        if (snapshot::findTable(QString::fromUtf8(e.tabla)) == &tabla &&
            tabla.column(QString::fromUtf8(e.columna)) == &c)
            return hacer(nombre, e.elemento, e.campo, e.ancho);
    switch (c.type) {
        case snapshot::ColumnType::Integer:
            break;
        case snapshot::ColumnType::Text:
            return hacer(nombre, ElementoDBF::Texto, 'C', c.size);
        case snapshot::ColumnType::DateTime:
            return hacer(nombre, ElementoDBF::Fecha, 'C', kAnchoFecha);
        case snapshot::ColumnType::Flag:  // the sent flag travels as a logical field
            return hacer(nombre, ElementoDBF::Marca, 'L', 1);
    }
    return hacer(nombre, ElementoDBF::Numero, 'N', kAnchoNumerico);
}

using Tipos = std::vector<std::pair<const snapshot::Table*, std::vector<ColumnaDBF>>>;

const Tipos& tipos() {
    static const Tipos t = [] {
        Tipos out;
        for (const snapshot::Table& tabla : snapshot::tables()) {
            if (tabla.dbfCode == nullptr) continue;
            std::vector<ColumnaDBF> columnas;
            for (const snapshot::Column& c : tabla.columns) columnas.push_back(columna(tabla, c));
            out.emplace_back(&tabla, std::move(columnas));
        }
        return out;
    }();
    return t;
}

// One base-36 digit, or nothing when the value is not a number from 0 to 35.
QString digito36(QStringView texto) {
    bool ok = false;
    const int v = texto.toInt(&ok);
    if (!ok || v < 0 || v > 35) return QString();
    return QString(QChar(v < 10 ? '0' + v : 'A' + (v - 10)));
}

}  // namespace

const std::vector<ExcepcionDBF>& excepcionesDBF() {
    static const std::vector<ExcepcionDBF> e = {
        {"Cliente", "sClieAddr", ElementoDBF::Texto, 'C', 250},
        {"Cliente", "bClienteVIP", ElementoDBF::Marca, 'N', kAnchoNumerico},
    };
    return e;
}

const std::vector<ColumnaDBF>* columnasDBF(QStringView tipoTabla) {
    for (const auto& [tabla, columnas] : tipos())
        if (tipoTabla == QLatin1StringView(tabla->dbfCode)) return &columnas;
    return nullptr;
}

const snapshot::Table* tablaDBF(QStringView tipoTabla) {
    for (const snapshot::Table& t : snapshot::tables())
        if (t.dbfCode != nullptr && tipoTabla == QLatin1StringView(t.dbfCode)) return &t;
    return nullptr;
}

QString nombreDBF(const QString& nombreSnapshot, const QString& tipoTabla) {
    const qsizetype separador = nombreSnapshot.indexOf(QLatin1Char('_'));
    const QString local = separador < 0 ? nombreSnapshot : nombreSnapshot.left(separador);
    QString resto = separador < 0 ? QString() : nombreSnapshot.mid(separador + 1).toUpper();
    resto.remove(QStringLiteral(".MDB"));
    const QStringView r(resto);
    return local + QLatin1Char('_') + tipoTabla + QLatin1Char('_') + digito36(r.mid(6, 2)) +
           digito36(r.mid(2, 2)) + digito36(r.mid(0, 2)) + QStringLiteral(".dbf");
}

}  // namespace lumaro::outputs
