#include "outputs/DatosEspejo.h"

#include <utility>

#include "outputs/ValoresEspejo.h"

namespace lumaro::outputs {

namespace {

using snapshot::ColumnType;
using snapshot::Fila;

struct Definicion {
    const char* tabla;
    const char* nombreUpdate;
    bool clavesPrimero;  // the key columns lead the column list
    const char* separador;
    bool marcaEnCopia;
    const char* fechaConHora;
    bool registra;
    const char* marcado;
};

const Definicion kDefiniciones[] = {
    {.tabla = "Cliente",
     .nombreUpdate = "Cliente",
     .clavesPrimero = false,
     .separador = ", ",
     .marcaEnCopia = false,
     .fechaConHora = nullptr,
     .registra = false,
     .marcado = "UPDATE Cliente set bFlagSincro=1 WHERE bFlagSincro=0"},
    {.tabla = "Tarjeta",
     .nombreUpdate = "Tarjeta",
     .clavesPrimero = false,
     .separador = ", ",
     .marcaEnCopia = false,
     .fechaConHora = "dCaduDate",
     .registra = false,
     .marcado = "UPDATE Tarjeta SET bFlagSincro = 1 WHERE bFlagSincro = 0"},
    {.tabla = "Acumulacion_Punto",
     .nombreUpdate = "Acumulacion_Punto",
     .clavesPrimero = true,
     .separador = ",",
     .marcaEnCopia = true,
     .fechaConHora = nullptr,
     .registra = false,
     .marcado = "UPDATE Acumulacion_Punto SET bFlagSincro=1 WHERE bFlagSincro=0"},
    {.tabla = "Canje_Punto",
     .nombreUpdate = "canje_punto",
     .clavesPrimero = true,
     .separador = ",",
     .marcaEnCopia = true,
     .fechaConHora = nullptr,
     .registra = true,
     .marcado = "UPDATE Canje_Punto SET bFlagSincro=1 WHERE bFlagSincro=0"},
};

// The mirror's columns of a table but the flag: the keys first where the table's statements
// put them there, otherwise in creation order.
std::vector<int> columnasEspejo(const snapshot::Table& tabla, bool clavesPrimero) {
    std::vector<int> claves, resto;
    for (size_t i = 0; i < tabla.columns.size(); ++i) {
        const snapshot::Column& c = tabla.columns[i];
        if (!c.inMirror || c.type == ColumnType::Flag) continue;
        (clavesPrimero && c.key ? claves : resto).push_back(static_cast<int>(i));
    }
    claves.insert(claves.end(), resto.begin(), resto.end());
    return claves;
}

std::vector<TablaEspejo> construir() {
    std::vector<TablaEspejo> out;
    for (const Definicion& d : kDefiniciones) {
        const snapshot::Table* tabla = snapshot::findTable(QString::fromUtf8(d.tabla));
        if (!tabla || !tabla->mirrored) qFatal("outputs: tabla de espejo desconocida %s", d.tabla);
        const int fecha = d.fechaConHora
                              ? snapshot::indiceColumna(*tabla, QString::fromUtf8(d.fechaConHora))
                              : -1;
        if (d.fechaConHora && fecha < 0)
            qFatal("outputs: la columna %s no existe en %s", d.fechaConHora, d.tabla);
        out.push_back({tabla, tabla->qName(), QString::fromUtf8(d.nombreUpdate),
                       columnasEspejo(*tabla, d.clavesPrimero), QString::fromUtf8(d.separador),
                       d.marcaEnCopia, fecha, d.registra, QString::fromUtf8(d.marcado)});
    }
    return out;
}

}  // namespace

const std::vector<TablaEspejo>& tablasEspejo() {
    static const std::vector<TablaEspejo> tablas = construir();
    return tablas;
}

namespace {

void agregarColumna(QString& out, const TablaEspejo& t, const Fila& fila, int i, Origen origen) {
    const snapshot::Column& c = t.tabla->columns[static_cast<size_t>(i)];
    const QVariant& v = fila[static_cast<size_t>(i)];
    if (c.key) return agregarClave(out, c, v);
    switch (c.type) {
        case ColumnType::Text:
            return agregarValor(out, v, Forma::TextoONull);
        case ColumnType::DateTime:
            return agregarValor(
                out, v,
                origen == Origen::Fusion || i == t.fechaConHora ? Forma::FechaHora : Forma::Fecha);
        case ColumnType::Integer:
        case ColumnType::Flag:
            return agregarValor(out, v, Forma::Numero);
    }
}

// The flag as each writer leaves it: nothing (the mirror's default, then the marking
// statement) for the copy of clients and cards, 0 for the copy of movements, 1 for merges.
// The copy's grouped statements write 1 at once: the table's marking statement would set it
// right after them, and it then has only rows left unmarked by others to change (with an index
// on the flag it no longer reads the whole table either).
const char* marca(const TablaEspejo& t, Origen origen, bool enGrupo = false) {
    if (origen == Origen::Fusion || enGrupo) return "1";
    return t.marcaEnCopia ? "0" : nullptr;
}

}  // namespace

const TablaEspejo* tablaEspejo(const snapshot::Table& tabla) {
    for (const TablaEspejo& t : tablasEspejo())
        if (t.tabla == &tabla) return &t;
    return nullptr;
}

void agregarClave(QString& out, const snapshot::Column& columna, const QVariant& valor) {
    agregarValor(out, valor, columna.isText() ? Forma::TextoONull : Forma::Numero);
}

namespace {

// "INSERT INTO <table> (<columns>) VALUES" as the table's insert spells it.
QString cabeceraInsert(const TablaEspejo& t, Origen origen, bool enGrupo) {
    QString columnas;
    for (int i : t.columnasInsert) {
        if (!columnas.isEmpty()) columnas += t.separador;
        columnas += t.tabla->columns[static_cast<size_t>(i)].qName();
    }
    if (marca(t, origen, enGrupo))
        columnas += t.separador + QLatin1StringView(snapshot::kFlagColumn);
    return QStringLiteral("INSERT INTO ") + t.nombreInsert + QStringLiteral(" (") + columnas +
           QStringLiteral(") VALUES");
}

// "(<values>)": one row of the insert.
void agregarValores(QString& out, const TablaEspejo& t, const Fila& fila, Origen origen,
                    bool enGrupo) {
    out += u'(';
    bool primera = true;
    for (int i : t.columnasInsert) {
        if (!std::exchange(primera, false)) out += u',';
        agregarColumna(out, t, fila, i, origen);
    }
    if (const char* m = marca(t, origen, enGrupo)) out += u',' + QLatin1StringView(m);
    out += u')';
}

}  // namespace

QString sentenciaInsert(const TablaEspejo& t, const Fila& fila, Origen origen) {
    QString sql = cabeceraInsert(t, origen, false);
    agregarValores(sql, t, fila, origen, false);
    return sql;
}

QString sentenciaBloque(const TablaEspejo& t, const std::vector<const Fila*>& filas,
                        Origen origen) {
    QString sql = cabeceraInsert(t, origen, true);
    sql.reserve(sql.size() + static_cast<qsizetype>(filas.size()) * 200);
    for (size_t k = 0; k < filas.size(); ++k) {
        if (k > 0) sql += u',';
        agregarValores(sql, t, *filas[k], origen, true);
    }
    QString asignaciones;
    for (int i : t.columnasInsert) {
        const snapshot::Column& c = t.tabla->columns[static_cast<size_t>(i)];
        if (c.key) continue;
        if (!asignaciones.isEmpty()) asignaciones += u',';
        asignaciones += c.qName() + QStringLiteral("=VALUES(") + c.qName() + u')';
    }
    const QLatin1StringView flag(snapshot::kFlagColumn);
    asignaciones += u',' + flag + QStringLiteral("=VALUES(") + flag + u')';
    return sql + QStringLiteral(" ON DUPLICATE KEY UPDATE ") + asignaciones;
}

QString sentenciaUpdate(const TablaEspejo& t, const Fila& fila, Origen origen) {
    QString asignaciones, condicion;
    for (int i : t.columnasInsert) {
        const snapshot::Column& c = t.tabla->columns[static_cast<size_t>(i)];
        if (c.key) continue;
        if (!asignaciones.isEmpty()) asignaciones += u',';
        asignaciones += c.qName() + u'=';
        agregarColumna(asignaciones, t, fila, i, origen);
    }
    if (const char* m = marca(t, origen))
        asignaciones +=
            u',' + QLatin1StringView(snapshot::kFlagColumn) + u'=' + QLatin1StringView(m);
    for (size_t i = 0; i < t.tabla->columns.size(); ++i) {
        const snapshot::Column& c = t.tabla->columns[i];
        if (!c.key) continue;
        condicion += (condicion.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) +
                     c.qName() + u'=';
        agregarClave(condicion, c, fila[i]);
    }
    return QStringLiteral("UPDATE ") + t.nombreUpdate + QStringLiteral(" SET ") + asignaciones +
           condicion;
}

}  // namespace lumaro::outputs
