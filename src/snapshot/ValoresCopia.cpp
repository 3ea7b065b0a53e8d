#include "snapshot/ValoresCopia.h"

#include <QDateTime>
#include <string>

#include "snapshot/PartesFecha.h"

namespace lumaro::snapshot {

namespace {

// ASCII and two-byte sequences only (Latin letters and the like): UTF-8 that Qt's decoding
// and encoding give back byte for byte, so the snapshot can take the bytes as read.
bool utf8Sencillo(const char* p, int n) {
    for (int k = 0; k < n; ++k) {
        const auto b = static_cast<unsigned char>(p[k]);
        if (b < 0x80) continue;
        if (b < 0xC2 || b > 0xDF || k + 1 >= n) return false;
        const auto siguiente = static_cast<unsigned char>(p[++k]);
        if (siguiente < 0x80 || siguiente > 0xBF) return false;
    }
    return true;
}

// The row's text and the snapshot's (the bytes as read, every quote as a blank) in one pass
// over UTF-8 that utf8Sencillo accepted, into the storage each value already holds when
// nothing else shares it: a million rows then make no string each.
void textos(const char* p, int n, QVariant& fila, jet::Value& snapshot) {
    std::string* s = std::get_if<std::string>(&snapshot);
    if (s == nullptr) s = &snapshot.emplace<std::string>();
    s->resize(static_cast<std::size_t>(n));
    char* bytes = s->data();
    if (n == 0 || fila.metaType().id() != QMetaType::QString) {
        fila = QVariant(QString::fromUtf8(p, n));
        for (int i = 0; i < n; ++i) bytes[i] = p[i] == '\'' ? ' ' : p[i];
        return;
    }
    qsizetype unidades = 0;  // one UTF-16 unit per byte that starts a character
    for (int i = 0; i < n; ++i) unidades += (static_cast<unsigned char>(p[i]) & 0xC0) != 0x80;
    QString& texto = *static_cast<QString*>(fila.data());
    texto.resize(unidades);
    QChar* out = texto.data();
    qsizetype k = 0;
    for (int i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        bytes[i] = b == '\'' ? ' ' : p[i];
        if (b < 0x80) {
            out[k++] = QChar(b);
            continue;
        }
        ++i;
        bytes[i] = p[i];  // a continuation byte, never a quote
        out[k++] = QChar(((b & 0x1F) << 6) | (static_cast<unsigned char>(p[i]) & 0x3F));
    }
}

// The row's value, written into the storage the row's value already holds when it is of the
// same type (no QVariant made and dropped per value).
template <class T>
void valorFila(T valor, QVariant& destino) {
    if (destino.metaType() == QMetaType::fromType<T>())
        *static_cast<T*>(destino.data()) = std::move(valor);
    else
        destino = QVariant::fromValue(std::move(valor));
}

jet::DateTime fechaSnapshot(const PartesFecha& p) {
    return jet::DateTime::fromParts(p.anio, p.mes, p.dia, p.hora, p.minuto, p.segundo);
}

}  // namespace

bool esColumnaVip(const Column& c) { return c.qName() == QLatin1String("bClienteVIP"); }

jet::Value valorSnapshot(const Column& c, bool vip, const QVariant& v) {
    if (c.type == ColumnType::Flag) return false;
    if (vip) return int64_t{!v.isNull() && v.toLongLong() != 0 ? 1 : 0};
    if (v.isNull()) return std::monostate{};
    switch (c.type) {
        case ColumnType::Integer:
            return int64_t{v.toLongLong()};
        case ColumnType::Text:
            return v.toString().replace(u'\'', u' ').toStdString();
        case ColumnType::DateTime:
            return fechaSnapshot(partesFecha(v.toDateTime()));
        case ColumnType::Flag:
            break;
    }
    return std::monostate{};
}

bool valoresDirectos(const Column& c, bool vip, const db::ValorCrudo& crudo, QVariant& fila,
                     jet::Value& snapshot) {
    using Tipo = db::ValorCrudo::Tipo;
    if (c.type == ColumnType::Flag || (vip && c.type != ColumnType::Integer)) return false;
    if (crudo.tipo == Tipo::Nulo) {
        fila = QVariant();
        snapshot = vip ? jet::Value{int64_t{0}} : jet::Value{};
        return true;
    }
    switch (c.type) {
        case ColumnType::Integer:
            if (crudo.tipo != Tipo::Entero) return false;
            valorFila(static_cast<qlonglong>(crudo.entero), fila);
            snapshot = int64_t{vip ? (crudo.entero != 0 ? 1 : 0) : crudo.entero};
            return true;
        case ColumnType::Text:
            if (crudo.tipo != Tipo::Texto || !utf8Sencillo(crudo.datos, crudo.largo)) return false;
            textos(crudo.datos, crudo.largo, fila, snapshot);
            return true;
        case ColumnType::DateTime: {
            PartesFecha p;
            if (crudo.tipo != Tipo::Texto ||
                !leerFechaGuardada(
                    std::string_view(crudo.datos, static_cast<std::size_t>(crudo.largo)), p))
                return false;
            valorFila(fechaDeFila(p), fila);
            snapshot = fechaSnapshot(p);
            return true;
        }
        case ColumnType::Flag:
            break;
    }
    return false;
}

}  // namespace lumaro::snapshot
