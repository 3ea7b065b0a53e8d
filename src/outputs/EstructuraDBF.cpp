#include "outputs/EstructuraDBF.h"

#include <array>
#include <utility>

namespace lumaro::outputs {

namespace {

ColumnaDBF num(const char* nombre) { return {nombre, ElementoDBF::Numero, 'N', kAnchoNumerico}; }
ColumnaDBF chr(const char* nombre, int ancho) { return {nombre, ElementoDBF::Texto, 'C', ancho}; }
ColumnaDBF fecha(const char* nombre) { return {nombre, ElementoDBF::Fecha, 'C', kAnchoFecha}; }
// The sent flag travels as a logical field.
ColumnaDBF bit() { return {"bFlagSinc", ElementoDBF::Marca, 'L', 1}; }

using Tipos = std::array<std::pair<const char*, std::vector<ColumnaDBF>>, 4>;

const Tipos& tipos() {
    static const Tipos t = {{
        {"C",
         {num("cClieCode"),
          chr("sClieApel", 50),
          chr("sClieName", 50),
          chr("sClieAddr", 250),
          num("cDistCode"),
          num("cProvCode"),
          num("cDepaCode"),
          chr("sClieTelf", 50),
          chr("sClieMail", 80),
          fecha("dNacmDate"),
          fecha("dUltTDate"),
          num("cTranCode"),
          num("nPuntCant"),
          num("nTickCant"),
          chr("sClieRout", 150),
          chr("sDistDesc", 80),
          chr("sProvDesc", 80),
          chr("sDepaDesc", 80),
          num("iTipo"),
          chr("sCodigoOr", 50),
          num("nPuntosIn"),
          num("IdLocal"),
          bit(),
          // The VIP mark is a 0/1 number in the file, fed by a flag element.
          {"bClienteV", ElementoDBF::Marca, 'N', kAnchoNumerico}}},
        {"T",
         {num("cClieCode"), chr("nTarjNumb", 8), num("cTarjActi"), fecha("dEmisDate"),
          fecha("dCaduDate"), chr("sUserDesc", 15), fecha("dUltOper"), num("nUltOper"),
          num("IdLocal"), bit()}},
        {"A",
         {num("cClieCode"), num("cAcumCode"), chr("nTarjNumb", 8), num("nAcumImpo"),
          num("nPuntCant"), chr("sUserDesc", 15), fecha("dExtoDate"), chr("sUseEDesc", 15),
          fecha("dAcumDate"), num("cAjusFlag"), chr("cDocTipo", 50), chr("cDocSerie", 50),
          num("cDocCodig"), num("IdLocal"), bit()}},
        {"K",
         {num("cClieCode"), num("cCanjCode"), chr("nTarjNumb", 8), num("nPuntCant"),
          num("cPremCode"), num("nPremCant"), chr("sUserDesc", 15), fecha("dCanjDate"),
          fecha("dExtoDate"), chr("sUseEDesc", 15), num("IdLocal"), bit()}},
    }};
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

const std::vector<ColumnaDBF>* columnasDBF(QStringView tipoTabla) {
    for (const auto& [codigo, columnas] : tipos())
        if (tipoTabla == QLatin1StringView(codigo)) return &columnas;
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
