#include "outputs/DatosEspejo.h"

#include "outputs/ValoresEspejo.h"

namespace lumaro::outputs {

namespace {

using snapshot::ColumnType;
using snapshot::Fila;

struct Definicion {
    const char* tabla;
    const char* nombreUpdate;
    std::vector<const char*> columnas;
    const char* separador;
    bool marcaEnCopia;
    const char* fechaConHora;
    bool registra;
    const char* marcado;
};

std::vector<Definicion> definiciones() {
    return {
        {"Cliente",
         "Cliente",
         {"cClieCode", "sClieApel",       "sClieName",  "sClieAddr", "cDistCode", "cProvCode",
          "cDepaCode", "sClieTelf",       "sClieMail",  "dNacmDate", "dUltTDate", "cTranCode",
          "nPuntCant", "nTickCant",       "sClieRout",  "sDistDesc", "sProvDesc", "sDepaDesc",
          "iTipo",     "sCodigoOriginal", "nPuntosIni", "IdLocal"},
         ", ",
         false,
         nullptr,
         false,
         "UPDATE Cliente set bFlagSincro=1 WHERE bFlagSincro=0"},
        {"Tarjeta",
         "Tarjeta",
         {"cClieCode", "nTarjNumb", "cTarjActi", "dEmisDate", "dCaduDate", "sUserDesc", "dUltOper",
          "nUltOper", "IdLocal"},
         ", ",
         false,
         "dCaduDate",
         false,
         "UPDATE Tarjeta SET bFlagSincro = 1 WHERE bFlagSincro = 0"},
        {"Acumulacion_Punto",
         "Acumulacion_Punto",
         {"cClieCode", "cAcumCode", "IdLocal", "nTarjNumb", "nAcumImpo", "nPuntCant", "sUserDesc",
          "dExtoDate", "sUseEDesc", "dAcumDate", "cAjusFlag", "cDocTipo", "cDocSerie",
          "cDocCodigo"},
         ",",
         true,
         nullptr,
         false,
         "UPDATE Acumulacion_Punto SET bFlagSincro=1 WHERE bFlagSincro=0"},
        {"Canje_Punto",
         "canje_punto",
         {"cClieCode", "cCanjCode", "IdLocal", "nTarjNumb", "nPuntCant", "cPremCode", "nPremCant",
          "sUserDesc", "dCanjDate", "dExtoDate", "sUseEDesc"},
         ",",
         true,
         nullptr,
         true,
         "UPDATE Canje_Punto SET bFlagSincro=1 WHERE bFlagSincro=0"},
    };
}

std::vector<TablaEspejo> construir() {
    std::vector<TablaEspejo> out;
    for (const Definicion& d : definiciones()) {
        const snapshot::Table* tabla = snapshot::findTable(QString::fromUtf8(d.tabla));
        TablaEspejo t{tabla,
                      tabla->qName(),
                      QString::fromUtf8(d.nombreUpdate),
                      {},
                      QString::fromUtf8(d.separador),
                      d.marcaEnCopia,
                      d.fechaConHora
                          ? snapshot::indiceColumna(*tabla, QString::fromUtf8(d.fechaConHora))
                          : -1,
                      d.registra,
                      QString::fromUtf8(d.marcado)};
        for (const char* c : d.columnas)
            t.columnasInsert.push_back(snapshot::indiceColumna(*tabla, QString::fromUtf8(c)));
        out.push_back(std::move(t));
    }
    return out;
}

const std::vector<TablaEspejo>& todas() {
    static const std::vector<TablaEspejo> tablas = construir();
    return tablas;
}

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
const char* marca(const TablaEspejo& t, Origen origen) {
    if (origen == Origen::Fusion) return "1";
    return t.marcaEnCopia ? "0" : nullptr;
}

}  // namespace

const TablaEspejo* tablaEspejo(const snapshot::Table& tabla) {
    for (const TablaEspejo& t : todas())
        if (t.tabla == &tabla) return &t;
    return nullptr;
}

void agregarClave(QString& out, const snapshot::Column& columna, const QVariant& valor) {
    agregarValor(out, valor, columna.isText() ? Forma::TextoONull : Forma::Numero);
}

QString sentenciaInsert(const TablaEspejo& t, const Fila& fila, Origen origen) {
    QString columnas, valores;
    for (int i : t.columnasInsert) {
        if (!columnas.isEmpty()) {
            columnas += t.separador;
            valores += u',';
        }
        columnas += t.tabla->columns[static_cast<size_t>(i)].qName();
        agregarColumna(valores, t, fila, i, origen);
    }
    if (const char* m = marca(t, origen)) {
        columnas += t.separador + QLatin1StringView(snapshot::kFlagColumn);
        valores += u',' + QLatin1StringView(m);
    }
    return QStringLiteral("INSERT INTO ") + t.nombreInsert + QStringLiteral(" (") + columnas +
           QStringLiteral(") VALUES(") + valores + u')';
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
