#pragma once
// The system part of a database the writer makes (FORMAT-writing.md "The empty database"):
// the header page, the global free-page map, and the four system tables MSysObjects, MSysACEs,
// MSysQueries and MSysRelationships with their definitions, usage maps, index leaves and rows,
// laid out in the sixteen pages that the Jet engine itself uses for an empty database.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "jet/JetTypes.h"
#include "jet/PageBuilders.h"

namespace lumaro::jet {

// Pages 0..15 are the system pages; user tables start at page 16.
inline constexpr uint32_t kSystemPageCount = 16;

// A user table as the catalog registers it.
struct CatalogTable {
    std::string name;
    uint32_t tdefPage = 0;  // also the table's object id
    DateTime created;
    Bytes properties;  // LvProp blob, empty when the table has no properties
};

// Numbers a page appended at the end of the file and takes its bytes.
using PageAppender = std::function<uint32_t(const PageBytes&)>;
// One finished page at a known number.
using PagePlacer = std::function<void(uint32_t, const PageBytes&)>;

// Builds the header page and the system tables' pages 2..15 for `tables`, handing each to
// `place`. MSysObjects and MSysACEs rows beyond their first data page, and reference usage
// maps, go to pages taken from `append`. Fails with NotSupported when a catalog name cannot be
// keyed in the General sort order or an index outgrows its single leaf page.
Status buildSystemPages(DateTime created, const std::vector<CatalogTable>& tables,
                        const PagePlacer& place, const PageAppender& append);

// Fails with NotSupported when the catalog of these tables no longer fits the single leaf
// page of each system index (names of about 30 characters allow some 50 tables).
Status checkCatalogFits(const std::vector<CatalogTable>& tables);

// Builds page 1, the global free-page map, for a file of `pageCount` pages: an inline map
// while the file has at most 512 pages, a reference map beyond (its 0x05 pages appended with
// `append`, after which the file is complete).
void buildGlobalMap(uint32_t pageCount, const PagePlacer& place, const PageAppender& append);

// The header page (page 0) of a database created at `created`.
PageBytes headerPage(DateTime created);

// The LvProp blob that marks `requiredColumns` as Required (FORMAT-writing.md "Properties").
Bytes requiredProperties(const std::vector<std::string>& requiredColumns);

// Usage-map rows of one table as (owned, free) row contents, choosing inline or reference
// maps; reference maps take their 0x05 pages from `append`.
std::vector<uint8_t> usageMapRow(const std::vector<uint32_t>& pages, const PageAppender& append);

}  // namespace lumaro::jet
