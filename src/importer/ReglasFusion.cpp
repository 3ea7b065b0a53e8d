#include "importer/ReglasFusion.h"

#include <QtGlobal>
#include <limits>

#include "db/DateText.h"

#include "importer/StatementTemplates.h"

namespace lumaro::importer {

namespace {

struct Datos {
    const char* procedimiento;
    const char* tabla;
    Regla regla;
    const char* anterior = nullptr;      // by-date tables
    const char* nuloComoCero = nullptr;  // the column written 0 when null
    // The update as it has always been written, where that text is not the one made from the
    // data model.
    const char* actualizacionEscrita = nullptr;
};

// What sets the ten merges apart; their statements are made from the data model. The look-ups
// of the three insert-only tables are ours: they keep a row sent twice from stopping the rest of
// its table.
const Datos kDatos[] = {
    {.procedimiento = "syncTablaAcumulPunto",
     .tabla = "Acumulacion_Punto",
     .regla = Regla::PorFecha,
     .anterior = "Acumulacion anterior",
     // Two blanks before one "= $".
     .actualizacionEscrita =
         "Update ACUMULACION_PUNTO set nTarjNumb = $, nAcumImpo = $, nPuntCant = $, "
         "sUserDesc = $, dExtoDate = $, sUseEDesc = $, dAcumDate = $, "
         "cAjusFlag = $, cDocTipo = $, cDocSerie = $, cDocCodigo  = $, "
         "bFlagSincro = $ where cClieCode = $ and cAcumCode = $ and IdLocal = $"},
    {.procedimiento = "syncTablaAcumulTicket",
     .tabla = "Acumulacion_Ticket",
     .regla = Regla::SoloInsertar},
    {.procedimiento = "syncTablaCanjePunto",
     .tabla = "Canje_Punto",
     .regla = Regla::PorFecha,
     .anterior = "Canje anterior"},
    {.procedimiento = "syncTablaCanjeTicket",
     .tabla = "Canje_Ticket",
     .regla = Regla::SoloInsertar},
    {.procedimiento = "syncTablaCliente",
     .tabla = "Cliente",
     .regla = Regla::Sobrescribir,
     .nuloComoCero = "bClienteVIP"},
    {.procedimiento = "syncTablaCumpleanios", .tabla = "Cumpleaños", .regla = Regla::SoloInsertar},
    {.procedimiento = "syncTablaTarjeta", .tabla = "Tarjeta", .regla = Regla::Sobrescribir},
    {.procedimiento = "syncTablaContactos", .tabla = "Contactos", .regla = Regla::Sobrescribir},
    {.procedimiento = "syncRegCanjeCumpl",
     .tabla = "registro_canje_cumpleaños",
     .regla = Regla::SoloInsertar},
    {.procedimiento = "syncRegCanjeCumpl_D",
     .tabla = "registro_canje_cumpleaños_d",
     .regla = Regla::SoloInsertar},
};

// A column's mark: the card number between quotes, every other value bare.
QString marca(const snapshot::Column& c) {
    return snapshot::esNumeroTarjeta(c) ? QStringLiteral("'$'") : QStringLiteral("$");
}

// "cClieCode = $ and IdLocal = $": the row's key, as the merge statements write it.
QString condicionClave(const snapshot::Table& t, const QString& y) {
    QStringList partes;
    for (const snapshot::Column& c : t.columns)
        if (c.key) partes << c.mergeSpelling() + QStringLiteral(" = ") + marca(c);
    return partes.join(u' ' + y + u' ');
}

// The statements of a merge as they have always been written: the columns in creation order.
QString textoBusqueda(const snapshot::Table& t, Regla regla) {
    const QString fechas = regla == Regla::PorFecha
                               ? QString::fromUtf8(t.changeDate) + QStringLiteral(", dExtoDate, ")
                               : QString();
    return QStringLiteral("Select ") + fechas + QStringLiteral("* from ") + t.qMergeName() +
           QStringLiteral(" where ") + condicionClave(t, QStringLiteral("and"));
}

QString textoInsercion(const snapshot::Table& t) {
    QStringList columnas, marcas;
    for (const snapshot::Column& c : t.columns) {
        columnas << c.mergeSpelling();
        marcas << marca(c);
    }
    return QStringLiteral("Insert into ") + t.qMergeName() + QStringLiteral(" (") +
           columnas.join(QStringLiteral(", ")) + QStringLiteral(") values (") +
           marcas.join(QStringLiteral(", ")) + u')';
}

QString textoActualizacion(const snapshot::Table& t) {
    QStringList asignaciones;
    for (const snapshot::Column& c : t.columns)
        if (!c.key) asignaciones << c.mergeSpelling() + QStringLiteral(" = ") + marca(c);
    return QStringLiteral("Update ") + t.qMergeName() + QStringLiteral(" set ") +
           asignaciones.join(QStringLiteral(", ")) + QStringLiteral(" where ") +
           condicionClave(t, QStringLiteral("and"));
}

QString textoMarcado(const snapshot::Table& t) {
    return QStringLiteral("UPDATE ") + t.qMergeName() +
           QStringLiteral(" set bFlagSincro = 1 where ") + condicionClave(t, QStringLiteral("AND"));
}

int columna(const snapshot::Table& tabla, QStringView nombre) {
    const int i = snapshot::indiceColumna(tabla, nombre);
    if (i < 0)
        qFatal("importer: la columna %s no existe en %s", qPrintable(nombre.toString()),
               tabla.name);
    return i;
}

bool esIdentificador(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// The column named just before a "= $" mark; the "=" position goes to igual.
QStringView nombreAntes(const QString& texto, qsizetype marca, qsizetype& igual) {
    qsizetype i = marca - 1;
    if (i >= 0 && texto[i] == u'\'') --i;
    while (i >= 0 && texto[i] == u' ') --i;
    igual = i;  // the "="
    --i;
    while (i >= 0 && texto[i] == u' ') --i;
    const qsizetype fin = i + 1;
    while (i >= 0 && esIdentificador(texto[i])) --i;
    return QStringView(texto).mid(i + 1, fin - i - 1);
}

std::vector<ReglaFusion> construir() {
    std::vector<ReglaFusion> reglas;
    for (const Datos& d : kDatos) {
        const snapshot::Table* tabla = snapshot::findTable(QString::fromUtf8(d.tabla));
        if (!tabla) qFatal("importer: tabla desconocida %s", d.tabla);
        const QString actualizacion = d.regla == Regla::SoloInsertar ? QString()
                                      : d.actualizacionEscrita
                                          ? QString::fromUtf8(d.actualizacionEscrita)
                                          : textoActualizacion(*tabla);
        ReglaFusion r{
            tabla,
            QString::fromUtf8(d.procedimiento),
            d.regla,
            analizarPlantilla(textoBusqueda(*tabla, d.regla), *tabla),
            analizarPlantilla(textoInsercion(*tabla), *tabla),
            actualizacion.isEmpty() ? Plantilla{} : analizarPlantilla(actualizacion, *tabla),
            analizarPlantilla(textoMarcado(*tabla), *tabla),
            d.anterior ? QString::fromUtf8(d.anterior) : QString()};
        if (d.regla == Regla::PorFecha) {
            r.reverso = columna(*tabla, u"dExtoDate");
            r.fechaCambio = columna(*tabla, QString::fromUtf8(tabla->changeDate));
        }
        if (d.nuloComoCero) r.nuloComoCero = columna(*tabla, QString::fromUtf8(d.nuloComoCero));
        reglas.push_back(std::move(r));
    }
    return reglas;
}

}  // namespace

QString ReglaFusion::prefijo() const {
    return QStringLiteral("MainProcesoSinc.") + procedimiento + QStringLiteral(": ");
}

const std::vector<ReglaFusion>& reglasFusion() {
    static const std::vector<ReglaFusion> todas = construir();
    return todas;
}

const ReglaFusion& reglaFusion(const char* procedimiento) {
    const QString nombre = QString::fromUtf8(procedimiento);
    for (const ReglaFusion& r : reglasFusion())
        if (r.procedimiento == nombre) return r;
    qFatal("importer: fusion desconocida %s", procedimiento);
}

const ReglaFusion& reglaDeTabla(const snapshot::Table& tabla) {
    for (const ReglaFusion& r : reglasFusion())
        if (r.tabla == &tabla) return r;
    qFatal("importer: la tabla %s no tiene fusion", tabla.name);
}

Plantilla analizarPlantilla(const QString& texto, const snapshot::Table& tabla) {
    Plantilla p{texto, {}};
    QStringList lista;  // an insert's column list
    if (texto.startsWith(QLatin1String("Insert into"), Qt::CaseInsensitive)) {
        const qsizetype abre = texto.indexOf(u'(');
        const qsizetype cierra = texto.indexOf(u')', abre);
        lista = texto.mid(abre + 1, cierra - abre - 1).split(u',');
    }
    const qsizetype donde = texto.indexOf(QLatin1String(" where "), 0, Qt::CaseInsensitive);
    for (qsizetype i = texto.indexOf(u'$'); i >= 0; i = texto.indexOf(u'$', i + 1)) {
        Plantilla::Marca m;
        m.posicion = i;
        m.cruda = i > 0 && texto[i - 1] == u'\'' && i + 1 < texto.size() && texto[i + 1] == u'\'';
        qsizetype igual = -1;
        const QString nombre = lista.isEmpty()
                                   ? nombreAntes(texto, i, igual).toString()
                                   : lista.value(static_cast<qsizetype>(p.marcas.size())).trimmed();
        if (donde >= 0 && i > donde) m.igual = igual;
        m.columna = columna(tabla, nombre);
        p.marcas.push_back(m);
    }
    return p;
}

std::optional<QString> armar(const ReglaFusion& regla, const Plantilla& plantilla,
                             const snapshot::Fila& fila, QString* columnaMala) {
    QString texto = plantilla.texto;
    QList<ItemSQL> items;
    // Conditions on a null key are rewritten from the end, so earlier positions hold.
    for (auto m = plantilla.marcas.rbegin(); m != plantilla.marcas.rend(); ++m) {
        const snapshot::Column& c = regla.tabla->columns[static_cast<size_t>(m->columna)];
        const QVariant& v = fila[static_cast<size_t>(m->columna)];
        if (m->igual >= 0 && c.key && v.isNull()) {
            const qsizetype fin = m->posicion + (m->cruda ? 2 : 1);
            texto.replace(m->igual, fin - m->igual, QStringLiteral("IS NULL"));
            continue;
        }
        if (c.type == snapshot::ColumnType::Flag) {
            items.prepend(ItemSQL(marcaSincronizado()));
        } else if (m->cruda) {
            items.prepend(v.isNull() ? ItemSQL::null()
                                     : ItemSQL(ReemplazarCaracter(v.toString(), QStringLiteral("'"),
                                                                  QStringLiteral(" "))));
        } else if (m->columna == regla.nuloComoCero && v.isNull()) {
            items.prepend(ItemSQL(QStringLiteral("0")));
        } else {
            const std::optional<QString> literal = literalColumna(c.type, v);
            if (!literal) {
                if (columnaMala) *columnaMala = c.qName();
                return std::nullopt;
            }
            items.prepend(ItemSQL(*literal));
        }
    }
    return ArmarSQL(texto, items);
}

std::optional<std::vector<QVariant>> valoresEnlazados(const ReglaFusion& regla,
                                                      const Plantilla& plantilla,
                                                      const snapshot::Fila& fila) {
    std::vector<QVariant> valores;
    valores.reserve(plantilla.marcas.size());
    for (const Plantilla::Marca& m : plantilla.marcas) {
        const snapshot::Column& c = regla.tabla->columns[static_cast<size_t>(m.columna)];
        const QVariant& v = fila[static_cast<size_t>(m.columna)];
        if (c.type == snapshot::ColumnType::Flag) {
            valores.emplace_back(qlonglong{1});
            continue;
        }
        if (v.isNull()) {
            if (m.igual >= 0 && c.key) return std::nullopt;
            if (m.columna == regla.nuloComoCero)
                valores.emplace_back(qlonglong{0});
            else
                valores.emplace_back();
            continue;
        }
        switch (m.cruda ? snapshot::ColumnType::Text : c.type) {
            case snapshot::ColumnType::Text: {
                QString texto =
                    ReemplazarCaracter(v.toString(), QStringLiteral("'"), QStringLiteral(" "));
                // A NUL ends the statement's text: only the finished text fails as it should.
                if (texto.contains(QChar(0))) return std::nullopt;
                if (m.cruda) texto = sinBlancosExternos(texto);
                valores.emplace_back(texto.isNull() ? QStringLiteral("") : texto);
                break;
            }
            case snapshot::ColumnType::Integer: {
                const auto n = snapshot::valorColumna(c.type, v);
                // The literal of the smallest number is read as a real.
                if (!n || n->isNull() || n->toLongLong() == std::numeric_limits<qint64>::min())
                    return std::nullopt;
                valores.emplace_back(n->toLongLong());
                break;
            }
            default: {
                const auto fecha = snapshot::valorColumna(c.type, v);
                if (!fecha || fecha->isNull()) return std::nullopt;
                valores.emplace_back(db::dateTimeText(fecha->toDateTime()));
            }
        }
    }
    return valores;
}

}  // namespace lumaro::importer
