#include "snapshot/DataModel.h"

#include <algorithm>

namespace lumaro::snapshot {

namespace {

using T = ColumnType;

// Shorthands for the table data below.
Column key(const char* name, ColumnType type = T::Integer, int size = 0) {
    return {.name = name, .type = type, .size = size, .required = true, .key = true};
}
Column req(const char* name, ColumnType type = T::Integer, int size = 0) {
    return {.name = name, .type = type, .size = size, .required = true};
}
Column opt(const char* name, ColumnType type = T::Integer, int size = 0) {
    return {.name = name, .type = type, .size = size};
}
Column text(const char* name, int size) { return opt(name, T::Text, size); }
Column date(const char* name) { return opt(name, T::DateTime); }
Column flag() { return req(kFlagColumn, T::Flag); }

// The two redemption tables differ only in column 4.
std::vector<Column> redemptionColumns(const char* amount) {
    return {key("cClieCode"),  key("cCanjCode"),      text("nTarjNumb", 8),  opt(amount),
            opt("cPremCode"),  opt("nPremCant"),      text("sUserDesc", 15), date("dCanjDate"),
            date("dExtoDate"), text("sUseEDesc", 15), key("IdLocal"),        flag()};
}

std::vector<Table> buildTables() {
    std::vector<Table> t;
    t.push_back({.name = "Cliente",
                 .mergeName = "CLIENTE",
                 .columns = {key("cClieCode"),
                             text("sClieApel", 50),
                             text("sClieName", 50),
                             text("sClieAddr", 255),
                             opt("cDistCode"),
                             opt("cProvCode"),
                             opt("cDepaCode"),
                             text("sClieTelf", 50),
                             text("sClieMail", 80),
                             date("dNacmDate"),
                             date("dUltTDate"),
                             opt("cTranCode"),
                             opt("nPuntCant"),
                             opt("nTickCant"),
                             text("sClieRout", 150),
                             text("sDistDesc", 80),
                             text("sProvDesc", 80),
                             text("sDepaDesc", 80),
                             opt("iTipo"),
                             text("sCodigoOriginal", 50),
                             opt("nPuntosIni"),
                             key("IdLocal"),
                             flag(),
                             // The mirror's client has no VIP mark.
                             {.name = "bClienteVIP", .inMirror = false}},
                 .changeDate = "dUltTDate",
                 .dbfCode = "C",
                 .mirrored = true,
                 .importStep = 5});
    t.push_back({.name = "Tarjeta",
                 .mergeName = "TARJETA",
                 .columns = {key("cClieCode"), key("nTarjNumb", T::Text, 8), opt("cTarjActi"),
                             date("dEmisDate"), date("dCaduDate"), text("sUserDesc", 15),
                             date("dUltOper"), opt("nUltOper"), key("IdLocal"), flag()},
                 .changeDate = "dUltOper",
                 .dbfCode = "T",
                 .mirrored = true,
                 .importStep = 7});
    t.push_back(
        {.name = "Cumpleaños",
         .mergeName = "CUMPLEAÑOS",
         .columns = {{.name = "cCliecode", .required = true, .key = true, .mergeName = "cClieCode"},
                     key("nIdCump"),
                     text("nTarjNumb", 50),
                     date("dCelebCump"),
                     text("cDescCump", 255),
                     opt("nImportCump"),
                     opt("nMoneda"),
                     text("sUserDesc", 50),
                     key("IdLocal"),
                     flag()},
         .importStep = 6});
    t.push_back({.name = "Acumulacion_Punto",
                 .mergeName = "ACUMULACION_PUNTO",
                 .columns = {key("cClieCode"), key("cAcumCode"), text("nTarjNumb", 8),
                             opt("nAcumImpo"), opt("nPuntCant"), text("sUserDesc", 15),
                             date("dExtoDate"), text("sUseEDesc", 15), date("dAcumDate"),
                             opt("cAjusFlag"), text("cDocTipo", 50), text("cDocSerie", 50),
                             opt("cDocCodigo"), key("IdLocal"), flag()},
                 .changeDate = "dAcumDate",
                 .dbfCode = "A",
                 .mirrored = true,
                 .importStep = 1});
    t.push_back(
        {.name = "Acumulacion_Ticket",
         .mergeName = "ACUMULACION_TICKET",
         .columns = {key("cClieCode"), key("cAcumCode"), text("nTarjNumb", 8), opt("nTickCant"),
                     text("sUserDesc", 15), date("dExtoDate"), text("sUseEDesc", 15),
                     date("dAcumDate"), opt("cAjusFlag"), key("IdLocal"), flag()},
         .changeDate = "dAcumDate",
         .importStep = 2});
    t.push_back({.name = "Canje_Punto",
                 .mergeName = "CANJE_PUNTO",
                 .columns = redemptionColumns("nPuntCant"),
                 .changeDate = "dCanjDate",
                 .dbfCode = "K",
                 .mirrored = true,
                 .importStep = 3});
    t.push_back({.name = "Canje_Ticket",
                 .mergeName = "CANJE_TICKET",
                 .columns = redemptionColumns("nTickCant"),
                 .changeDate = "dCanjDate",
                 .importStep = 4});
    t.push_back({.name = "Contactos",
                 .mergeName = "Contactos",
                 .columns = {key("IdContacto"),
                             text("DscContacto", 50),
                             text("Email", 50),
                             // A contact may belong to no store.
                             {.name = "IdLocal", .key = true},
                             flag()},
                 .importStep = 8});
    t.push_back(
        {.name = "registro_canje_cumpleaños",
         .mergeName = "registro_canje_cumpleaños",
         .database = Database::Logistica,
         .columns = {key("vc_cod_mov", T::Text, 10), key("i_tip_mov"),
                     req("vc_tip_mov", T::Text, 2), req("dt_fecha_registro", T::DateTime),
                     req("i_id_local"), req("i_cod_cliente"), flag(), key("i_id_local_canje")},
         .owningStore = "i_id_local_canje",
         .changeDate = "dt_fecha_registro",
         .importStep = 9});
    t.push_back({.name = "registro_canje_cumpleaños_d",
                 .mergeName = "registro_canje_cumpleaños_d",
                 .database = Database::Logistica,
                 .columns = {key("vc_cod_mov", T::Text, 10), key("i_tip_mov"), key("n_numero_item"),
                             req("vc_cod_articulo", T::Text, 6), flag(), key("i_id_local_canje")},
                 .owningStore = "i_id_local_canje",
                 .importStep = 10});
    return t;
}

QString sqliteType(const Column& c) {
    switch (c.type) {
        case ColumnType::Integer:
            return QStringLiteral("int");
        case ColumnType::Text:
            return QStringLiteral("nvarchar(%1)").arg(c.size);
        case ColumnType::DateTime:
            return QStringLiteral("datetime");
        case ColumnType::Flag:
            return QStringLiteral("bit");
    }
    return QString();
}

}  // namespace

const Column* Table::column(QStringView columnName) const {
    const QString folded = columnName.toString().toCaseFolded();
    for (const Column& c : columns)
        if (c.qName().toCaseFolded() == folded || c.mergeSpelling().toCaseFolded() == folded)
            return &c;
    return nullptr;
}

QStringList Table::columnNames() const {
    QStringList out;
    for (const Column& c : columns) out << c.qName();
    return out;
}

bool esNumeroTarjeta(const Column& c) {
    return c.key && c.isText() && c.qName() == QLatin1String("nTarjNumb");
}

QStringList Table::keyColumns() const {
    QStringList out;
    for (const Column& c : columns)
        if (c.key) out << c.qName();
    return out;
}

QStringList Table::columnsWithoutFlag() const {
    QStringList out;
    for (const Column& c : columns)
        if (c.type != ColumnType::Flag) out << c.qName();
    return out;
}

const std::vector<Table>& tables() {
    static const std::vector<Table> all = buildTables();
    return all;
}

std::vector<const Table*> importOrder() {
    std::vector<const Table*> out;
    for (const Table& t : tables()) out.push_back(&t);
    std::sort(out.begin(), out.end(),
              [](const Table* a, const Table* b) { return a->importStep < b->importStep; });
    return out;
}

const Table* findTable(QStringView name) {
    const QString folded = name.toString().toCaseFolded();
    for (const Table& t : tables())
        if (t.qName().toCaseFolded() == folded || t.qMergeName().toCaseFolded() == folded)
            return &t;
    return nullptr;
}

lumaro::jet::ColumnType jetType(ColumnType type) {
    switch (type) {
        case ColumnType::Integer:
            return jet::ColumnType::Long;
        case ColumnType::Text:
            return jet::ColumnType::Text;
        case ColumnType::DateTime:
            return jet::ColumnType::DateTime;
        case ColumnType::Flag:
            return jet::ColumnType::Boolean;
    }
    return jet::ColumnType::Long;
}

lumaro::jet::TableDef jetTableDef(const Table& table) {
    jet::TableDef def;
    def.name = table.name;
    for (const Column& c : table.columns) {
        jet::ColumnDef col;
        col.name = c.name;
        col.type = jetType(c.type);
        switch (c.type) {
            case ColumnType::Integer:
                col.size = 4;
                break;
            case ColumnType::Text:
                col.size = c.size;
                break;
            case ColumnType::DateTime:
                col.size = 8;
                break;
            case ColumnType::Flag:
                col.size = 1;
                break;
        }
        col.required = c.required;
        def.columns.push_back(col);
    }
    return def;
}

QString sqliteCreateStatement(const Table& table) {
    QStringList parts;
    for (const Column& c : table.columns) {
        QString line = u'"' + c.qName() + QStringLiteral("\" ") + sqliteType(c);
        if (c.type == ColumnType::Flag)
            line += QStringLiteral(" not null default 0");
        else if (c.required)
            line += QStringLiteral(" not null");
        parts << line;
    }
    QStringList keys;
    for (const QString& k : table.keyColumns()) keys << u'"' + k + u'"';
    parts << QStringLiteral("primary key (") + keys.join(QStringLiteral(", ")) + u')';
    return QStringLiteral("create table \"") + table.qName() + QStringLiteral("\" (") +
           parts.join(QStringLiteral(", ")) + u')';
}

QString nombreSnapshot(const QString& idLocal, const QDate& dia) {
    return idLocal + QLatin1Char('_') + dia.toString(QStringLiteral("ddMMyyyy")) +
           QStringLiteral(".mdb");
}

}  // namespace lumaro::snapshot
