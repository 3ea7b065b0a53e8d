#pragma once
// Structural consistency of a Jet 4.0 database (FORMAT-writing.md "Consistency"): every table's
// stored row count against a scan of its rows, its usage maps against the pages they list and
// the pages that claim the table, and the MSysObjects index entries against the catalog rows.
//
// What is found falls in two kinds. Damage loses or corrupts data when the user tables are read:
// a file cut short, a page that cannot be read, rows that do not decode, a user table whose
// scan finds fewer rows than its definition counts. Notes are what Access itself leaves in
// sound files and lose nothing on reading: stale row counts of its system tables, pages left
// in or out of usage maps, index entries of tables that are only read, a free-page map that
// does not match. A file this program writes has neither.

#include <string>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet {

struct CheckReport {
    std::vector<std::string> damage;  // one sentence each
    std::vector<std::string> notes;
    bool consistent() const { return damage.empty() && notes.empty(); }
};

// Checks the file at `path`: its damage and its notes, or the Status of a file that cannot be
// read at all.
Result<CheckReport> inspectDatabase(const std::string& path);

// The damage alone: empty when every user table of the file reads whole. What the import and
// the download go by.
Result<std::vector<std::string>> checkDatabase(const std::string& path);

}  // namespace lumaro::jet
