#include "outputs/ExportacionDBF.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <charconv>

#include "config/Settings.h"

namespace lumaro::outputs {

namespace {

using snapshot::ColumnType;

// Appends a number's plain digits, without going through a temporary text.
void agregarNumero(QString& s, qlonglong v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(QLatin1StringView(buf, r.ptr - buf));
}

// Appends yyyymmddhhmmss.
void agregarFecha(QString& s, const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    char buf[16];
    const int partes[] = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    int n = 0;
    for (int k = 0; k < 6; ++k) {
        const int ancho = k == 0 ? 4 : 2;
        for (int j = ancho - 1, v = partes[k]; j >= 0; --j, v /= 10) buf[n + j] = '0' + v % 10;
        n += ancho;
    }
    s.append(QLatin1StringView(buf, n));
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
    armarRegistro(*e, fila);
    e->dbf.setRegistro(m_registro);
}

void ExportacionDBF::armarRegistro(const Escritor& e, const snapshot::Fila& fila) {
    const snapshot::Table& tabla = *e.tabla;
    const qsizetype n = static_cast<qsizetype>(tabla.columns.size());
    // TablasDBF refuses a layout that does not line up, so the file is open only when it does.
    const std::vector<ColumnaDBF>& dbf = *e.columnas;
    m_registro.resize(n);
    for (qsizetype i = 0; i < n; ++i) {
        const snapshot::Column& c = tabla.columns[static_cast<size_t>(i)];
        const QVariant& v =
            i < static_cast<qsizetype>(fila.size()) ? fila[static_cast<size_t>(i)] : QVariant();
        QString& s = m_registro[i];
        s.truncate(0);  // keeps the capacity of the previous row
        // Flag elements: the sent flag always travels as 0 (the receiver has not seen the row
        // yet); the client's VIP mark as 0 or 1, null being 0.
        if (static_cast<size_t>(i) < dbf.size() &&
            dbf[static_cast<size_t>(i)].elemento == ElementoDBF::Marca) {
            const bool uno = c.type != ColumnType::Flag && !v.isNull() && v.toBool();
            s.append(QLatin1StringView(uno ? "B1" : "B0"));
            continue;
        }
        switch (c.type) {
            case ColumnType::Integer:
                s.append(QLatin1Char('N'));
                if (!v.isNull()) agregarNumero(s, v.toLongLong());
                break;
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
                break;
            }
            case ColumnType::DateTime:
                s.append(QLatin1Char('D'));
                if (!v.isNull()) agregarFecha(s, v.toDateTime());
                break;
            case ColumnType::Flag:  // handled above
                break;
        }
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
