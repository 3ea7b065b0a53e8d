#include "importer/ReglasFusion.h"

#include <QtGlobal>

#include "importer/StatementTemplates.h"

namespace lumaro::importer {

namespace {

struct Datos {
    const char* procedimiento;
    const char* tabla;
    Regla regla;
    const char* busqueda;
    const char* insercion;
    const char* actualizacion;
    const char* marcado;
    const char* anterior;
    const char* nuloComoCero;
};

// The statements of the ten merges, each written as the pieces it has always been joined from.
// The look-ups of the three insert-only tables are ours: they keep a row sent twice from
// stopping the rest of its table.
const Datos kDatos[] = {
    {"syncTablaAcumulPunto", "Acumulacion_Punto", Regla::PorFecha,
     "Select dAcumDate, dExtoDate, * from ACUMULACION_PUNTO where cClieCode = $ and cAcumCode = $ "
     "and IdLocal = $",
     "Insert into ACUMULACION_PUNTO (cClieCode, cAcumCode, nTarjNumb, nAcumImpo, "
     "nPuntCant, sUserDesc, dExtoDate, sUseEDesc, dAcumDate, cAjusFlag, cDocTipo, "
     "cDocSerie, cDocCodigo, IdLocal, bFlagSincro) "
     "values ($, $, $, $, $, $, $, $, $, $, $, $, $, $, $)",
     "Update ACUMULACION_PUNTO set nTarjNumb = $, nAcumImpo = $, nPuntCant = $, "
     "sUserDesc = $, dExtoDate = $, sUseEDesc = $, dAcumDate = $, "
     "cAjusFlag = $, cDocTipo = $, cDocSerie = $, cDocCodigo  = $, "
     "bFlagSincro = $ where cClieCode = $ and cAcumCode = $ and IdLocal = $",
     "UPDATE ACUMULACION_PUNTO set bFlagSincro = 1 where cClieCode = $ AND cAcumCode = $ AND "
     "IdLocal = $",
     "Acumulacion anterior", nullptr},
    {"syncTablaAcumulTicket", "Acumulacion_Ticket", Regla::SoloInsertar,
     "Select * from ACUMULACION_TICKET where cClieCode = $ and cAcumCode = $ and IdLocal = $",
     "Insert into ACUMULACION_TICKET (cClieCode, cAcumCode, nTarjNumb, nTickCant, "
     "sUserDesc, dExtoDate, sUseEDesc, dAcumDate, cAjusFlag, "
     "IdLocal, bFlagSincro) "
     "values ($, $, $, $, $, $, $, $, $, $, $)",
     nullptr,
     "UPDATE ACUMULACION_TICKET set bFlagSincro = 1 where cClieCode = $ AND cAcumCode = $ AND "
     "IdLocal = $",
     nullptr, nullptr},
    {"syncTablaCanjePunto", "Canje_Punto", Regla::PorFecha,
     "Select dCanjDate, dExtoDate, * from CANJE_PUNTO where cClieCode = $ and cCanjCode = $ and "
     "IdLocal = $",
     "Insert into CANJE_PUNTO (cClieCode, cCanjCode, nTarjNumb, nPuntCant, "
     "cPremCode, nPremCant, sUserDesc, dCanjDate, dExtoDate, sUseEDesc, "
     "IdLocal, bFlagSincro) "
     "values ($, $, $, $, $, $, $, $, $, $, $, $)",
     "Update CANJE_PUNTO set nTarjNumb = $, nPuntCant = $, "
     "cPremCode = $, nPremCant = $, sUserDesc = $, "
     "dCanjDate = $, dExtoDate = $, sUseEDesc = $, "
     "bFlagSincro = $ "
     "where cClieCode = $ and cCanjCode = $ and IdLocal = $",
     "UPDATE CANJE_PUNTO set bFlagSincro = 1 where cClieCode = $ AND cCanjCode = $ AND IdLocal = $",
     "Canje anterior", nullptr},
    {"syncTablaCanjeTicket", "Canje_Ticket", Regla::SoloInsertar,
     "Select * from CANJE_TICKET where cClieCode = $ and cCanjCode = $ and IdLocal = $",
     "Insert into CANJE_TICKET (cClieCode, cCanjCode, nTarjNumb, nTickCant, "
     "cPremCode, nPremCant, sUserDesc, dCanjDate, dExtoDate, sUseEDesc, "
     "IdLocal, bFlagSincro) "
     "values ($, $, $, $, $, $, $, $, $, $, $, $)",
     nullptr,
     "UPDATE CANJE_TICKET set bFlagSincro = 1 where cClieCode = $ AND cCanjCode = $ AND IdLocal = "
     "$",
     nullptr, nullptr},
    {"syncTablaCliente", "Cliente", Regla::Sobrescribir,
     "Select * from CLIENTE where cClieCode = $ and IdLocal = $",
     "Insert into CLIENTE (cClieCode, sClieApel, sClieName, sClieAddr, "
     "cDistCode, cProvCode, cDepaCode, sClieTelf, sClieMail, dNacmDate, dUltTDate, "
     "cTranCode, nPuntCant, nTickCant, sClieRout, sDistDesc, sProvDesc, sDepaDesc, "
     "iTipo, sCodigoOriginal, nPuntosIni, IdLocal, bFlagSincro, bClienteVIP) "
     "values ($, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $, $)",
     "Update CLIENTE set sClieApel = $, sClieName = $, "
     "sClieAddr = $, cDistCode = $, cProvCode = $, "
     "cDepaCode = $, sClieTelf = $, sClieMail = $, "
     "dNacmDate = $, dUltTDate = $, cTranCode = $, nPuntCant = $, "
     "nTickCant = $, sClieRout = $, sDistDesc = $, sProvDesc = $, "
     "sDepaDesc = $, iTipo = $, sCodigoOriginal = $, nPuntosIni = $, "
     "bFlagSincro = $, bClienteVIP = $ "
     "where cClieCode = $ and IdLocal = $",
     "UPDATE CLIENTE set bFlagSincro = 1 where cClieCode = $ AND IdLocal = $", nullptr,
     "bClienteVIP"},
    {"syncTablaCumpleanios", "Cumpleaños", Regla::SoloInsertar,
     "Select * from CUMPLEAÑOS where cClieCode = $ and nIdCump = $ and IdLocal = $",
     "Insert into CUMPLEAÑOS (cClieCode, nIdCump, nTarjNumb, dCelebCump, "
     "cDescCump, nImportCump, nMoneda, sUserDesc, IdLocal, bFlagSincro) "
     "values ($, $, $, $, $, $, $, $, $, $)",
     nullptr,
     "UPDATE CUMPLEAÑOS set bFlagSincro = 1 where cClieCode = $ AND nIdCump = $ AND IdLocal = $",
     nullptr, nullptr},
    {"syncTablaTarjeta", "Tarjeta", Regla::Sobrescribir,
     "Select * from TARJETA where cClieCode = $ and nTarjNumb = '$' and IdLocal = $",
     "Insert into TARJETA (cClieCode, nTarjNumb, cTarjActi, dEmisDate, "
     "dCaduDate, sUserDesc, dUltOper, nUltOper, IdLocal, bFlagSincro) "
     "values ($, '$', $, $, $, $, $, $, $, $)",
     "Update TARJETA set cTarjActi = $, dEmisDate = $, "
     "dCaduDate = $, sUserDesc = $, dUltOper = $, nUltOper = $, "
     "bFlagSincro = $ "
     "where cClieCode = $ and nTarjNumb = '$' and IdLocal = $",
     "UPDATE TARJETA set bFlagSincro = 1 where cClieCode = $ AND nTarjNumb = '$' AND IdLocal = $",
     nullptr, nullptr},
    {"syncTablaContactos", "Contactos", Regla::Sobrescribir,
     "Select * from Contactos where IdContacto = $ and IdLocal = $",
     "Insert into Contactos (IdContacto, DscContacto, Email, IdLocal, "
     "bFlagSincro) "
     "values ($, $, $, $, $)",
     "Update Contactos set DscContacto = $, Email = $, "
     "bFlagSincro = $ "
     "where IdContacto = $ and IdLocal = $",
     "UPDATE Contactos set bFlagSincro = 1 where IdContacto = $ AND IdLocal = $", nullptr, nullptr},
    {"syncRegCanjeCumpl", "registro_canje_cumpleaños", Regla::SoloInsertar,
     "Select * from registro_canje_cumpleaños where vc_cod_mov = $ and i_tip_mov = $ and "
     "i_id_local_canje = $",
     "Insert into registro_canje_cumpleaños (vc_cod_mov, i_tip_mov, vc_tip_mov, "
     "dt_fecha_registro, "
     "i_id_local, i_cod_cliente, bFlagSincro, i_id_local_canje) "
     "values ($, $, $, $, $, $, $, $)",
     nullptr,
     "UPDATE registro_canje_cumpleaños set bFlagSincro = 1 "
     "where vc_cod_mov = $ AND i_tip_mov = $ AND i_id_local_canje = $",
     nullptr, nullptr},
    {"syncRegCanjeCumpl_D", "registro_canje_cumpleaños_d", Regla::SoloInsertar,
     "Select * from registro_canje_cumpleaños_d where vc_cod_mov = $ and i_tip_mov = $ and "
     "n_numero_item = $ and i_id_local_canje = $",
     "Insert into registro_canje_cumpleaños_d (vc_cod_mov, i_tip_mov, n_numero_item, "
     "vc_cod_articulo, "
     "bFlagSincro, i_id_local_canje) "
     "values ($, $, $, $, $, $)",
     nullptr,
     "UPDATE registro_canje_cumpleaños_d set bFlagSincro = 1 "
     "where vc_cod_mov = $ AND i_tip_mov = $ AND n_numero_item = $ AND i_id_local_canje = $",
     nullptr, nullptr},
};

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
        const auto plantilla = [&](const char* texto) {
            return texto ? analizarPlantilla(QString::fromUtf8(texto), *tabla) : Plantilla{};
        };
        ReglaFusion r{tabla,
                      QString::fromUtf8(d.procedimiento),
                      d.regla,
                      plantilla(d.busqueda),
                      plantilla(d.insercion),
                      plantilla(d.actualizacion),
                      plantilla(d.marcado),
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

namespace {

const std::vector<ReglaFusion>& reglas() {
    static const std::vector<ReglaFusion> todas = construir();
    return todas;
}

}  // namespace

const ReglaFusion& reglaFusion(const char* procedimiento) {
    const QString nombre = QString::fromUtf8(procedimiento);
    for (const ReglaFusion& r : reglas())
        if (r.procedimiento == nombre) return r;
    qFatal("importer: fusion desconocida %s", procedimiento);
}

const ReglaFusion& reglaDeTabla(const snapshot::Table& tabla) {
    for (const ReglaFusion& r : reglas())
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

}  // namespace lumaro::importer
