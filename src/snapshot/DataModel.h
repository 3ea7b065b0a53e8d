#pragma once
// The ten synchronised tables, written once. Snapshot creation, the copy of changed rows, the
// merges' statements, the DBF columns, the MySQL mirror's columns and the embedded production
// databases are all made from here; what each of them keeps per table besides is checked
// against this model by its test.
//
// Names are UTF-8 and are matched without regard to case everywhere ("CUMPLEAÑOS" and
// "Cumpleaños" name one table); each table and column also carries the spelling that the
// merge statements use, where it differs, so their texts stay as they always were.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::snapshot {

enum class ColumnType {
    Integer,   // 32-bit signed
    Text,      // Unicode text of at most `size` characters
    DateTime,  // date with time of day
    Flag,      // boolean, never null, false by default
};

// Where the production copy of a table lives.
enum class Database { Cliente, Logistica };

struct Column {
    const char* name = nullptr;  // creation order spelling
    ColumnType type = ColumnType::Integer;
    int size = 0;                     // Text width; 0 for the other types
    bool required = false;            // refuses NULL in the snapshot
    bool key = false;                 // part of the row identity
    const char* mergeName = nullptr;  // spelling of the merge statements, when it differs
    bool inMirror = true;             // a column of the MySQL mirror (in a mirrored table)

    QString qName() const { return QString::fromUtf8(name); }
    QString mergeSpelling() const { return QString::fromUtf8(mergeName ? mergeName : name); }
    bool isText() const { return type == ColumnType::Text; }
};

struct Table {
    const char* name = nullptr;       // as created in the snapshot and named by the copy
    const char* mergeName = nullptr;  // as the merges name it ("ACUMULACION_PUNTO")
    Database database = Database::Cliente;
    std::vector<Column> columns;          // creation order
    const char* owningStore = "IdLocal";  // or i_id_local_canje in the register tables
    const char* changeDate = nullptr;     // column that tells a row changed on a day
    const char* dbfCode = nullptr;        // DBF export code ("C", "T", "A", "K")
    bool mirrored = false;                // kept in the MySQL mirror of the principal store
    int importStep = 0;                   // 1..10: position in the import run

    QString qName() const { return QString::fromUtf8(name); }
    QString qMergeName() const { return QString::fromUtf8(mergeName); }
    const Column* column(QStringView columnName) const;  // any case; nullptr when absent
    QStringList columnNames() const;
    QStringList keyColumns() const;
    // The columns that the copy selects: every column but the flag.
    QStringList columnsWithoutFlag() const;
    bool hasChangeDate() const { return changeDate != nullptr; }
};

inline constexpr const char* kFlagColumn = "bFlagSincro";

// True for the card number as a key (Tarjeta.nTarjNumb): the statements take it as it stands,
// so a quote in it cannot become a blank without making it another card at the other stores;
// such a row does not travel. The other text keys (the register codes) travel with their
// quotes as blanks, like every text.
bool esNumeroTarjeta(const Column& c);

// The ten tables in the order the copy processes them.
const std::vector<Table>& tables();
// The ten tables in the order the import run merges them.
std::vector<const Table*> importOrder();
// A table by name, any case and either spelling; nullptr when unknown.
const Table* findTable(QStringView name);

// The snapshot file of a store for a day: <idLocal>_<ddmmyyyy>.mdb. Snapshot creation, the
// upload run and the download run all name files by it.
QString nombreSnapshot(const QString& idLocal, const QDate& dia);

// The snapshot (Jet) definition of a table.
lumaro::jet::ColumnType jetType(ColumnType type);
lumaro::jet::TableDef jetTableDef(const Table& table);

// An embedded (SQLite) production table: the columns with the key as primary key; the flag
// defaults to 0 and booleans are stored as 0/1.
QString sqliteCreateStatement(const Table& table);

}  // namespace lumaro::snapshot
