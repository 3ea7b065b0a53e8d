#include "jet/LongValue.h"

#include <algorithm>
#include <unordered_set>

#include "jet/Coding.h"
#include "jet/DataPage.h"
#include "jet/JetFormat.h"
#include "jet/PageSource.h"

namespace lumaro::jet {

using namespace format;

Status readLongValue(const PageSource& source, const uint8_t* field, std::size_t size, Bytes& out) {
    out.clear();
    if (size < kLongValueHeaderSize) {
        return Status::corruption("long value header of " + std::to_string(size) +
                                  " bytes (12 needed)");
    }
    const uint32_t header = getU32(field);
    const uint32_t length = header & kLongValueLengthMask;
    const uint32_t pointer = getU32(field + 4);
    if (header & kLongValueInline) {
        if (length > size - kLongValueHeaderSize) {
            return Status::corruption("inline long value of " + std::to_string(length) +
                                      " bytes exceeds its field of " + std::to_string(size));
        }
        out.assign(field + kLongValueHeaderSize, field + kLongValueHeaderSize + length);
        return Status::ok();
    }
    // A value cannot be longer than the file that holds it: refuse before allocating.
    if (static_cast<uint64_t>(length) > static_cast<uint64_t>(source.pageCount()) * kPageSize) {
        return Status::corruption("long value length " + std::to_string(length) +
                                  " exceeds the file size");
    }
    if (header & kLongValueSinglePage) {
        Result<RowRef> ref = findRow(source, rowPointerPage(pointer), rowPointerRow(pointer));
        if (!ref) return Status::corruption("long value: " + ref.status().message());
        if (ref->slot.length() < length) {
            return Status::corruption("long value at " +
                                      where(rowPointerPage(pointer), rowPointerRow(pointer)) +
                                      "row of " + std::to_string(ref->slot.length()) +
                                      " bytes, value of " + std::to_string(length));
        }
        const uint8_t* data = ref->page.data() + ref->slot.start;
        out.assign(data, data + length);
        return Status::ok();
    }
    // Chain: every LVAL row starts with the pointer to the next one (0 ends the chain).
    out.reserve(std::min<std::size_t>(length, 1u << 20));  // grows with the data actually found
    std::unordered_set<uint32_t> seen;
    uint32_t next = pointer;
    while (out.size() < length) {
        if (next == 0) {
            return Status::corruption("long value chain ends after " + std::to_string(out.size()) +
                                      " of " + std::to_string(length) + " bytes");
        }
        if (!seen.insert(next).second) {
            return Status::corruption("long value chain loops back to " +
                                      where(rowPointerPage(next), rowPointerRow(next)).substr(0) +
                                      "(cycle)");
        }
        Result<RowRef> ref = findRow(source, rowPointerPage(next), rowPointerRow(next));
        if (!ref) return Status::corruption("long value chain: " + ref.status().message());
        if (ref->slot.length() < 4) {
            return Status::corruption(
                "long value chain: " + where(rowPointerPage(next), rowPointerRow(next)) +
                "row shorter than its next pointer");
        }
        const uint8_t* data = ref->page.data() + ref->slot.start;
        next = getU32(data);
        const std::size_t take =
            std::min<std::size_t>(ref->slot.length() - 4u, length - out.size());
        out.insert(out.end(), data + 4, data + 4 + take);
    }
    return Status::ok();
}

}  // namespace lumaro::jet
