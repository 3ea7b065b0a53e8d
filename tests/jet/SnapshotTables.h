#pragma once
// The ten tables of a loyalty snapshot, as the writer tests and the benchmark create them.
// Each column is written "name type", the type L (Long Integer), D (Date/Time), F (Yes/No) or
// Tn (Text of n characters), followed by ! when the column is required.

#include <sstream>
#include <string>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet::testing {

struct TableShape {
    const char* name;
    const char* columns;
};

inline const std::vector<TableShape>& snapshotTableSpecs() {
    static const std::vector<TableShape> specs = {
        {"Cliente",
         "cClieCode L!,sClieApel T50,sClieName T50,sClieAddr T255,cDistCode L,cProvCode L,"
         "cDepaCode L,sClieTelf T50,sClieMail T80,dNacmDate D,dUltTDate D,cTranCode L,"
         "nPuntCant L,nTickCant L,sClieRout T150,sDistDesc T80,sProvDesc T80,sDepaDesc T80,"
         "iTipo L,sCodigoOriginal T50,nPuntosIni L,IdLocal L!,bFlagSincro F!,bClienteVIP L"},
        {"Tarjeta",
         "cClieCode L!,nTarjNumb T8!,cTarjActi L,dEmisDate D,dCaduDate D,sUserDesc T15,"
         "dUltOper D,nUltOper L,IdLocal L!,bFlagSincro F!"},
        {"Cumpleaños",
         "cCliecode L!,nIdCump L!,nTarjNumb T50,dCelebCump D,cDescCump T255,nImportCump L,"
         "nMoneda L,sUserDesc T50,IdLocal L!,bFlagSincro F!"},
        {"Acumulacion_Punto",
         "cClieCode L!,cAcumCode L!,nTarjNumb T8,nAcumImpo L,nPuntCant L,sUserDesc T15,"
         "dExtoDate D,sUseEDesc T15,dAcumDate D,cAjusFlag L,cDocTipo T50,cDocSerie T50,"
         "cDocCodigo L,IdLocal L!,bFlagSincro F!"},
        {"Acumulacion_Ticket",
         "cClieCode L!,cAcumCode L!,nTarjNumb T8,nTickCant L,sUserDesc T15,dExtoDate D,"
         "sUseEDesc T15,dAcumDate D,cAjusFlag L,IdLocal L!,bFlagSincro F!"},
        {"Canje_Punto",
         "cClieCode L!,cCanjCode L!,nTarjNumb T8,nPuntCant L,cPremCode L,nPremCant L,"
         "sUserDesc T15,dCanjDate D,dExtoDate D,sUseEDesc T15,IdLocal L!,bFlagSincro F!"},
        {"Canje_Ticket",
         "cClieCode L!,cCanjCode L!,nTarjNumb T8,nTickCant L,cPremCode L,nPremCant L,"
         "sUserDesc T15,dCanjDate D,dExtoDate D,sUseEDesc T15,IdLocal L!,bFlagSincro F!"},
        {"Contactos", "IdContacto L!,DscContacto T50,Email T50,IdLocal L,bFlagSincro F!"},
        {"registro_canje_cumpleaños",
         "vc_cod_mov T10!,i_tip_mov L!,vc_tip_mov T2!,dt_fecha_registro D!,i_id_local L!,"
         "i_cod_cliente L!,bFlagSincro F!,i_id_local_canje L!"},
        {"registro_canje_cumpleaños_d",
         "vc_cod_mov T10!,i_tip_mov L!,n_numero_item L!,vc_cod_articulo T6!,bFlagSincro F!,"
         "i_id_local_canje L!"},
    };
    return specs;
}

inline TableDef tableDef(const TableShape& shape) {
    TableDef def;
    def.name = shape.name;
    std::stringstream columns(shape.columns);
    std::string item;
    while (std::getline(columns, item, ',')) {
        ColumnDef c;
        const std::size_t space = item.find(' ');
        c.name = item.substr(0, space);
        std::string type = item.substr(space + 1);
        c.required = !type.empty() && type.back() == '!';
        if (c.required) type.pop_back();
        const char kind = type[0];
        c.type = kind == 'L'   ? ColumnType::Long
                 : kind == 'D' ? ColumnType::DateTime
                 : kind == 'F' ? ColumnType::Boolean
                               : ColumnType::Text;
        c.size = kind == 'L' ? 4 : kind == 'D' ? 8 : kind == 'F' ? 1 : std::stoi(type.substr(1));
        def.columns.push_back(c);
    }
    return def;
}

inline std::vector<TableDef> snapshotTables() {
    std::vector<TableDef> defs;
    for (const TableShape& s : snapshotTableSpecs()) defs.push_back(tableDef(s));
    return defs;
}

}  // namespace lumaro::jet::testing
