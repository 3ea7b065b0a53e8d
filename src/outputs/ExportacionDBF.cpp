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

// A number's plain digits into buf (24 units); returns how many.
template <class Unidad>
int digitosNumero(Unidad* buf, qlonglong v) {
    char texto[24];
    const auto r = std::to_chars(texto, texto + sizeof texto, v);
    const int n = static_cast<int>(r.ptr - texto);
    for (int k = 0; k < n; ++k) buf[k] = static_cast<Unidad>(texto[k]);
    return n;
}

// yyyymmddhhmmss into buf (14 units).
template <class Unidad>
void digitosFecha(Unidad* buf, const QDateTime& dt) {
    const snapshot::PartesFecha p = snapshot::partesFecha(dt);
    const int partes[] = {p.anio, p.mes, p.dia, p.hora, p.minuto, p.segundo};
    int n = 0;
    for (int k = 0; k < 6; ++k) {
        const int ancho = k == 0 ? 4 : 2;
        for (int j = ancho - 1, v = partes[k]; j >= 0; --j, v /= 10)
            buf[n + j] = static_cast<Unidad>('0' + v % 10);
        n += ancho;
    }
}

void agregarNumero(QString& s, qlonglong v) {
    char buf[24];
    s.append(QLatin1StringView(buf, digitosNumero(buf, v)));
}

void agregarFecha(QString& s, const QDateTime& dt) {
    char buf[14];
    digitosFecha(buf, dt);
    s.append(QLatin1StringView(buf, 14));
}

// The sent flag always travels as 0 (the receiver has not seen the row yet); the client's VIP
// mark as 0 or 1, null being 0.
bool marcaUno(const snapshot::Column& c, const QVariant& v) {
    return c.type != ColumnType::Flag && !v.isNull() && v.toBool();
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
    char16_t buf[24];
    for (size_t i = 0; i < fila.size(); ++i) {
        const snapshot::Column& c = tabla.columns[i];
        const QVariant& v = fila[i];
        const int campo = static_cast<int>(i);
        bool ok = true;
        if (dbf[i].elemento == ElementoDBF::Marca) {
            buf[0] = marcaUno(c, v) ? u'1' : u'0';
            ok = e.dbf.elemento(campo, u'B', QStringView(buf, 1));
        } else if (c.type == ColumnType::Integer) {
            const int n = v.isNull() ? 0 : digitosNumero(buf, v.toLongLong());
            ok = e.dbf.elemento(campo, u'N', QStringView(buf, n));
        } else if (c.type == ColumnType::DateTime) {
            if (!v.isNull()) digitosFecha(buf, v.toDateTime());
            ok = e.dbf.elemento(campo, u'D', QStringView(buf, v.isNull() ? 0 : 14));
        } else if (c.type == ColumnType::Text) {
            QString texto = v.toString();
            // Quotes become blanks, as in every other copy of the row; a key (the card
            // number) travels exactly as read.
            if (!c.key && texto.contains(u'\'')) texto.replace(u'\'', u' ');
            ok = e.dbf.elemento(campo, u'C', texto);
        } else {
            return false;
        }
        if (!ok) return false;
    }
    return e.dbf.grabarRegistro([&] {
        armarRegistro(e, fila);
        return m_registro;
    });
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
        if (static_cast<size_t>(i) < dbf.size() &&
            dbf[static_cast<size_t>(i)].elemento == ElementoDBF::Marca) {
            s.append(QLatin1StringView(marcaUno(c, v) ? "B1" : "B0"));
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
