#pragma once
// Layout constants of Jet 4.0 (.mdb) files as this engine reads and writes them. Every number
// here is described, with its source, in FORMAT.md; the section is named beside each group.

#include <cstddef>
#include <cstdint>

namespace lumaro::jet::format {

// FORMAT.md "Pages"
inline constexpr std::size_t kPageSize = 4096;
inline constexpr uint32_t kMaxPages = 0x00FFFFFF;  // page numbers are 3 bytes in row pointers

enum PageType : uint8_t {
    kPageHeader = 0x00,
    kPageData = 0x01,
    kPageTableDef = 0x02,
    kPageIndexNode = 0x03,
    kPageIndexLeaf = 0x04,
    kPageUsageMap = 0x05,
};

// FORMAT.md "Page 0: the database header"
inline constexpr std::size_t kHeaderMagicOffset = 0x04;
inline constexpr char kHeaderMagic[] = "Standard Jet DB";  // 15 characters and a zero
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr uint8_t kVersionJet3 = 0x00;
inline constexpr uint8_t kVersionJet4 = 0x01;
inline constexpr std::size_t kHeaderMaskStart = 0x18;  // RC4-masked region
inline constexpr std::size_t kHeaderMaskLength = 128;
inline constexpr uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr std::size_t kHeaderCodePageOffset = 0x3C;  // after unmasking
inline constexpr std::size_t kHeaderDbKeyOffset = 0x3E;
inline constexpr std::size_t kHeaderPasswordOffset = 0x42;
inline constexpr std::size_t kHeaderPasswordLength = 40;
inline constexpr std::size_t kHeaderSortOrderOffset = 0x6E;
inline constexpr std::size_t kHeaderSortVersionOffset = 0x71;
inline constexpr std::size_t kHeaderCreationDateOffset = 0x72;
inline constexpr uint16_t kCodePage1252 = 1252;
inline constexpr uint16_t kSortGeneral = 1033;

// FORMAT.md "Data pages"
inline constexpr std::size_t kDataFreeSpaceOffset = 2;
inline constexpr std::size_t kDataOwnerOffset = 4;  // u32 TDEF page of the owning table
inline constexpr std::size_t kDataRowCountOffset = 12;
inline constexpr std::size_t kDataRowTableOffset = 14;  // u16 per row
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr uint16_t kRowDeletedFlag = 0x8000;   // also set on a moved row's new home
inline constexpr uint16_t kRowOverflowFlag = 0x4000;  // the row holds a 4-byte pointer
inline constexpr std::size_t kMaxRowsPerPage = 255;
inline constexpr std::size_t kMaxRowSize = 4060;
inline constexpr uint32_t kLvalOwner = 0x4C41564C;  // "LVAL" in the owner field of LVAL pages

// FORMAT.md "Table definition (TDEF)"
inline constexpr std::size_t kTdefNextPageOffset = 4;
inline constexpr std::size_t kTdefLengthOffset = 8;
inline constexpr std::size_t kTdefContinuationHeader = 8;  // bytes skipped on later pages
inline constexpr std::size_t kTdefRowCountOffset = 16;
inline constexpr std::size_t kTdefAutoNumberOffset = 20;
inline constexpr std::size_t kTdefTableTypeOffset = 40;
inline constexpr std::size_t kTdefMaxColumnsOffset = 41;
inline constexpr std::size_t kTdefVarColumnsOffset = 43;
inline constexpr std::size_t kTdefColumnCountOffset = 45;
inline constexpr std::size_t kTdefLogicalIndexCountOffset = 47;
inline constexpr std::size_t kTdefRealIndexCountOffset = 51;
inline constexpr std::size_t kTdefOwnedPagesOffset = 55;
inline constexpr std::size_t kTdefFreePagesOffset = 59;
inline constexpr std::size_t kTdefIndexCountsOffset = 63;
inline constexpr std::size_t kTdefIndexCountSize = 12;
inline constexpr std::size_t kTdefColumnSize = 25;
inline constexpr std::size_t kTdefRealIndexSize = 52;
inline constexpr std::size_t kTdefLogicalIndexSize = 28;
inline constexpr uint8_t kTableTypeUser = 0x4E;
inline constexpr uint8_t kTableTypeSystem = 0x53;
inline constexpr uint32_t kTdefMagic = 1625;

// FORMAT.md "Column descriptors" (offsets inside one 25-byte descriptor)
inline constexpr std::size_t kColType = 0;
inline constexpr std::size_t kColNumber = 5;
inline constexpr std::size_t kColVarIndex = 7;
inline constexpr std::size_t kColNumberAgain = 9;
inline constexpr std::size_t kColPrecision = 11;
inline constexpr std::size_t kColScale = 12;
inline constexpr std::size_t kColFlags = 15;
inline constexpr std::size_t kColExtFlags = 16;
inline constexpr std::size_t kColFixedOffset = 21;
inline constexpr std::size_t kColLength = 23;
inline constexpr uint8_t kColFlagFixed = 0x01;
inline constexpr uint8_t kColFlagUpdatable = 0x02;
inline constexpr uint8_t kColFlagAutoNumber = 0x04;
inline constexpr uint8_t kColExtCompressedUnicode = 0x01;

// FORMAT.md "Usage maps"
inline constexpr uint8_t kMapInline = 0x00;
inline constexpr uint8_t kMapReference = 0x01;
inline constexpr std::size_t kMapInlineStartOffset = 1;  // u32 first page covered
inline constexpr std::size_t kMapInlineBitsOffset = 5;
inline constexpr std::size_t kMapInlineRowSize = 69;  // as Jet writes it: 64 bitmap bytes
inline constexpr std::size_t kMapPageBitsOffset = 4;  // bitmap start on a 0x05 page
inline constexpr uint32_t kMapPagePagesCovered = (kPageSize - kMapPageBitsOffset) * 8;
inline constexpr uint32_t kGlobalMapPage = 1;

// FORMAT.md "Long values (Memo and OLE)"
inline constexpr std::size_t kLongValueHeaderSize = 12;
inline constexpr uint32_t kLongValueInline = 0x80000000;
inline constexpr uint32_t kLongValueSinglePage = 0x40000000;
inline constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;
inline constexpr std::size_t kMaxInlineLongValue = 64;

// FORMAT.md "Text"
inline constexpr uint8_t kCompressedMarker0 = 0xFF;
inline constexpr uint8_t kCompressedMarker1 = 0xFE;

// FORMAT.md "Catalog (MSysObjects)"
inline constexpr uint32_t kCatalogTdefPage = 2;
inline constexpr int kObjectTypeTable = 1;
inline constexpr uint32_t kObjectFlagsSystem = 0x80000002;
inline constexpr uint32_t kObjectIdPageMask = 0x00FFFFFF;

// FORMAT.md "Properties (LvProp)"
inline constexpr char kPropertyMagic[] = "MR2";  // followed by a zero byte
inline constexpr uint16_t kPropertyNames = 0x80;
inline constexpr uint16_t kPropertyDefaultValues = 0x00;
inline constexpr uint16_t kPropertyValues = 0x01;

}  // namespace lumaro::jet::format
