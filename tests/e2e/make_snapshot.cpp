// make_snapshot PATH IDLOCAL [ROWS]: writes a snapshot database with the ten synchronised
// tables and ROWS generated rows in each (default 3), owned by store IDLOCAL. The end-to-end
// tests and the demo use it to give a store something to send before the snapshot command
// can produce one.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "jet/Writer.h"
#include "snapshot/DataModel.h"

namespace {

using lumaro::jet::Value;
namespace snap = lumaro::snapshot;

Value generated(const snap::Column& column, int row, int idLocal) {
    const std::string name = column.name;
    if (name == "IdLocal" || name == "i_id_local_canje") return int64_t(idLocal);
    switch (column.type) {
        case snap::ColumnType::Integer:
            return int64_t(idLocal * 100000 + row);
        case snap::ColumnType::Flag:
            return false;
        case snap::ColumnType::DateTime:
            return lumaro::jet::DateTime::fromParts(2026, 12, 1 + row % 5, 10, row % 60, 0);
        case snap::ColumnType::Text: {
            std::string text = std::to_string(idLocal) + "-" + std::to_string(row) + " Peña";
            if (int(text.size()) > column.size) text = std::to_string(row).substr(0, column.size);
            return text;
        }
    }
    return Value();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "uso: make_snapshot RUTA IDLOCAL [FILAS]\n");
        return 2;
    }
    const int idLocal = std::atoi(argv[2]);
    const int rows = argc > 3 ? std::atoi(argv[3]) : 3;
    auto writer = lumaro::jet::Writer::create(argv[1]);
    if (!writer) {
        std::fprintf(stderr, "make_snapshot: %s\n", writer.status().message().c_str());
        return 1;
    }
    for (const snap::Table& table : snap::tables()) {
        auto handle = writer.value()->createTable(snap::jetTableDef(table));
        if (!handle) {
            std::fprintf(stderr, "make_snapshot: %s\n", handle.status().message().c_str());
            return 1;
        }
        for (int r = 0; r < rows; ++r) {
            std::vector<Value> row;
            for (const snap::Column& column : table.columns)
                row.push_back(generated(column, r, idLocal));
            if (auto s = writer.value()->insert(handle.value(), row); !s) {
                std::fprintf(stderr, "make_snapshot: %s: %s\n", table.name, s.message().c_str());
                return 1;
            }
        }
    }
    if (auto s = writer.value()->commit(); !s) {
        std::fprintf(stderr, "make_snapshot: %s\n", s.message().c_str());
        return 1;
    }
    return 0;
}
