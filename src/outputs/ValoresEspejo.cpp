#include "outputs/ValoresEspejo.h"

#include <QDateTime>

namespace lumaro::outputs {

namespace {

// Zero-padded decimal digits; hand-written because the initial fill renders millions of dates.
void agregarDigitos(QString& out, int valor, int ancho) {
    char buffer[8];
    for (int i = ancho - 1; i >= 0; --i) {
        buffer[i] = static_cast<char>('0' + valor % 10);
        valor /= 10;
    }
    out.append(QLatin1StringView(buffer, ancho));
}

void agregarFecha(QString& out, const QDateTime& valor, bool conHora) {
    const QDate d = valor.date();
    const QTime t = valor.time();
    const int partes[] = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    const char16_t separadores[] = u"// ::";
    out += u'\'';
    for (int i = 0; i < (conHora ? 6 : 3); ++i) {
        if (i > 0) out += QChar(separadores[i - 1]);
        agregarDigitos(out, partes[i], i == 0 ? 4 : 2);
    }
    out += u'\'';
}

void agregarTexto(QString& out, const QString& texto) {
    out += u'\'';
    const qsizetype inicio = out.size();
    out += texto;
    for (qsizetype i = inicio; i < out.size(); ++i)
        if (out[i] == u'\'') out[i] = u' ';
    out += u'\'';
}

}  // namespace

void agregarValor(QString& out, const QVariant& valor, Forma forma, QStringView palabraNull) {
    if (valor.isNull()) {
        switch (forma) {
            case Forma::NumeroOCero:
                out += u'0';
                return;
            case Forma::Texto:
                out += QLatin1StringView("''");
                return;
            default:
                out += palabraNull;
                return;
        }
    }
    switch (forma) {
        case Forma::Numero:
        case Forma::NumeroOCero:
            // A Flag arrives as bool; everything else as qlonglong.
            out += QString::number(valor.toLongLong());
            return;
        case Forma::Texto:
        case Forma::TextoONull:
            agregarTexto(out, valor.toString());
            return;
        case Forma::Fecha:
        case Forma::FechaHora:
            agregarFecha(out, valor.toDateTime(), forma == Forma::FechaHora);
            return;
    }
}

QString sinComillas(const QString& texto) {
    QString out = texto;
    out.replace(u'\'', u' ');
    return out;
}

bool claveConComilla(const snapshot::Table& tabla, const snapshot::Fila& fila) {
    for (size_t i = 0; i < tabla.columns.size() && i < fila.size(); ++i)
        if (tabla.columns[i].key && tabla.columns[i].isText() && fila[i].toString().contains(u'\''))
            return true;
    return false;
}

}  // namespace lumaro::outputs
