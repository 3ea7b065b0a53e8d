#include "outputs/ExportacionDBF.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <charconv>

#include "config/Settings.h"
#include "snapshot/PartesFecha.h"

namespace lumaro::outputs {

namespace {

using snapshot::ColumnType;

// A number's plain digits appended to s.
void agregarNumero(QString& s, qlonglong v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(QLatin1StringView(buf, r.ptr - buf));
}

// yyyymmddhhmmss appended to s.
void agregarFecha(QString& s, const QDateTime& dt) {
    char buf[14];
    snapshot::escribirFecha(snapshot::partesFecha(dt), buf, true);
    s.append(QLatin1StringView(buf, 14));
}

// The sent flag always travels as 0 (the receiver has not seen the row yet); the client's VIP
// mark as 0 or 1, null being 0.
bool marcaUno(const snapshot::Column& c, const QVariant& v) {
    return c.type != ColumnType::Flag && !v.isNull() && v.toBool();
}

// The record element of one column into s (its capacity kept from row to row): the type
// code, then the value.
void elemento(const snapshot::Column& c, ElementoDBF tipo, const QVariant& v, QString& s) {
    s.truncate(0);
    if (tipo == ElementoDBF::Marca || c.type == ColumnType::Flag) {
        s.append(QLatin1StringView(marcaUno(c, v) ? "B1" : "B0"));
        return;
    }
    switch (c.type) {
        case ColumnType::Integer:
            s.append(QLatin1Char('N'));
            if (!v.isNull()) agregarNumero(s, v.toLongLong());
            return;
        case ColumnType::Text: {
            s.append(QLatin1Char('C'));
            const qsizetype inicio = s.size();
            s.append(v.toString());
            // Quotes become blanks, as in every other copy of the row; a key (the card
            // number) travels exactly as read.
            if (!c.key) {
                QChar* d = s.data();
                for (qsizetype k = inicio; k < s.size(); ++k)
                    if (d[k] == QLatin1Char('\'')) d[k] = QLatin1Char(' ');
            }
            return;
        }
        case ColumnType::DateTime:
            s.append(QLatin1Char('D'));
            if (!v.isNull()) agregarFecha(s, v.toDateTime());
            return;
        case ColumnType::Flag:
            return;
    }
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
        elemento(tabla.columns[i], dbf[i].elemento, fila[i], m_elemento);
        if (!e.dbf.elemento(static_cast<int>(i), m_elemento[0], QStringView(m_elemento).mid(1)))
            return false;
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
        elemento(tabla.columns[i], tipo, v, m_registro[static_cast<qsizetype>(i)]);
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
