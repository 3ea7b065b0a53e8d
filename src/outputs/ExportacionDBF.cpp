#include "outputs/ExportacionDBF.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <charconv>

#include "config/Settings.h"
#include "snapshot/PartesFecha.h"

namespace lumaro::outputs {

namespace {

using snapshot::ColumnType;

// The sent flag always travels as 0 (the receiver has not seen the row yet); the client's VIP
// mark as 0 or 1, null being 0.
bool marcaUno(const snapshot::Column& c, const QVariant& v) {
    return c.type != ColumnType::Flag && !v.isNull() && v.toBool();
}

// ASCII characters as the UTF-16 of a view.
QStringView ascii(const char* texto, qsizetype n, char16_t* destino) {
    for (qsizetype k = 0; k < n; ++k) destino[k] = static_cast<unsigned char>(texto[k]);
    return QStringView(destino, n);
}

// The record element of one column: its type code and its value. The value is a view of the
// row's own text, of `buffer` (numbers and dates) or, for a text whose quotes must become
// blanks, of `s`; it lives until the next call with the same buffers.
struct Elemento {
    QChar codigo;
    QStringView valor;
};

Elemento elemento(const snapshot::Column& c, ElementoDBF tipo, const QVariant& v, QString& s,
                  char16_t (&buffer)[24]) {
    if (tipo == ElementoDBF::Marca || c.type == ColumnType::Flag)
        return {QLatin1Char('B'), ascii(marcaUno(c, v) ? "1" : "0", 1, buffer)};
    switch (c.type) {
        case ColumnType::Integer: {
            if (v.isNull()) return {QLatin1Char('N'), QStringView()};
            char digitos[24];
            const auto r = std::to_chars(digitos, digitos + sizeof digitos, v.toLongLong());
            return {QLatin1Char('N'), ascii(digitos, r.ptr - digitos, buffer)};
        }
        case ColumnType::Text: {
            const QString* texto = v.metaType().id() == QMetaType::QString
                                       ? static_cast<const QString*>(v.constData())
                                       : nullptr;
            // Quotes become blanks, as in every other copy of the row; a key (the card
            // number) travels exactly as read.
            if (texto && (c.key || !texto->contains(QLatin1Char('\''))))
                return {QLatin1Char('C'), *texto};
            if (texto == nullptr) {
                s = v.toString();
                return {QLatin1Char('C'), s};
            }
            // Copied into s's own storage, kept from row to row.
            s.resize(texto->size());
            std::replace_copy(texto->cbegin(), texto->cend(), s.begin(), QLatin1Char('\''),
                              QLatin1Char(' '));
            return {QLatin1Char('C'), s};
        }
        case ColumnType::DateTime: {
            if (v.isNull()) return {QLatin1Char('D'), QStringView()};
            char fecha[14];
            snapshot::escribirFecha(snapshot::partesFecha(v.toDateTime()), fecha, true);
            return {QLatin1Char('D'), ascii(fecha, 14, buffer)};
        }
        case ColumnType::Flag:
            break;
    }
    return {QLatin1Char('B'), QStringView()};
}

}  // namespace

ExportacionDBF::ExportacionDBF() {
    size_t i = 0;
    for (const snapshot::Table& t : snapshot::tables()) {
        if (t.dbfCode == nullptr || i >= m_escritores.size()) continue;
        m_escritores[i].tabla = &t;
        m_escritores[i++].columnas = columnasDBF(QString::fromLatin1(t.dbfCode));
    }
}

bool ExportacionDBF::preparar(const QString& nombreSnapshot) {
    m_nombreSnapshot = nombreSnapshot;
    m_creados.clear();
    for (Escritor& e : m_escritores) {
        e.dbf.cerrar();
        e.iniciado = false;
        if (!e.dbf.leerOrigenDestino()) return false;
    }
    return true;
}

ExportacionDBF::Escritor* ExportacionDBF::escritor(const snapshot::Table& tabla) {
    for (Escritor& e : m_escritores)
        if (e.tabla == &tabla) return &e;
    return nullptr;
}

void ExportacionDBF::fila(const snapshot::Table& tabla, const snapshot::Fila& fila) {
    Escritor* e = tabla.dbfCode != nullptr ? escritor(tabla) : nullptr;
    if (e == nullptr) return;
    if (!e->iniciado) {
        e->iniciado = true;
        if (e->dbf.syncTM(e->dbf.destinoConfigurado(), QLatin1StringView(tabla.dbfCode),
                          m_nombreSnapshot))
            m_creados << e->dbf.rutaArchivo();
    }
    if (!e->dbf.abierto()) return;
    if (elementosDirectos(*e, fila)) return;
    armarRegistro(*e, fila);
    e->dbf.setRegistro(m_registro);
}

bool ExportacionDBF::elementosDirectos(Escritor& e, const snapshot::Fila& fila) {
    const snapshot::Table& tabla = *e.tabla;
    const std::vector<ColumnaDBF>& dbf = *e.columnas;
    if (fila.size() != tabla.columns.size() || dbf.size() != tabla.columns.size()) return false;
    e.dbf.empezarRegistro();
    for (size_t i = 0; i < fila.size(); ++i) {
        const Elemento x =
            elemento(tabla.columns[i], dbf[i].elemento, fila[i], m_elemento, m_buffer);
        if (!e.dbf.elemento(static_cast<int>(i), x.codigo, x.valor)) return false;
    }
    return e.dbf.grabarRegistro([&] {
        armarRegistro(e, fila);
        return m_registro;
    });
}

void ExportacionDBF::armarRegistro(const Escritor& e, const snapshot::Fila& fila) {
    const snapshot::Table& tabla = *e.tabla;
    // TablasDBF refuses a layout that does not line up, so the file is open only when it does.
    const std::vector<ColumnaDBF>& dbf = *e.columnas;
    m_registro.resize(static_cast<qsizetype>(tabla.columns.size()));
    for (size_t i = 0; i < tabla.columns.size(); ++i) {
        const QVariant v = i < fila.size() ? fila[i] : QVariant();
        const ElementoDBF tipo = i < dbf.size() ? dbf[i].elemento : ElementoDBF::Texto;
        const Elemento x = elemento(tabla.columns[i], tipo, v, m_elemento, m_buffer);
        m_registro[static_cast<qsizetype>(i)] = x.codigo + x.valor.toString();
    }
}

void ExportacionDBF::finTabla(const snapshot::Table& tabla) {
    if (Escritor* e = escritor(tabla)) e->dbf.cerrar();
}

void ExportacionDBF::fin(bool confirmada) {
    for (Escritor& e : m_escritores) e.dbf.cerrar();
    if (!confirmada) {
        // Rows of a rolled-back copy go again in the next snapshot; their DBF records must not
        // travel before them.
        for (const QString& ruta : m_creados) {
            if (!QFile::exists(ruta)) continue;
            config::EscribirLog(
                QStringLiteral("ExportacionDBF.fin - Copia no confirmada, se borra el DBF: ") +
                QDir::toNativeSeparators(ruta));
            config::BorrarArchivo(ruta);
        }
        m_creados.clear();
    }
}

}  // namespace lumaro::outputs
