#pragma once
// Public value types of the Jet 4.0 engine: column definitions, values and the result type.
// The engine depends on nothing but the standard library.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace lumaro::jet {

// Column types as stored in a table definition (FORMAT.md, "Column descriptors").
enum class ColumnType : uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Numeric = 0x10,
};

// Bytes a value of a fixed-size type takes in a row; 0 for the variable-length types and for
// Yes/No, whose value lives in the row's null mask.
constexpr std::size_t fixedSizeOf(ColumnType type) {
    switch (type) {
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Numeric:
            return 17;
        default:
            return 0;
    }
}

struct ColumnDef {
    std::string name;  // UTF-8
    ColumnType type = ColumnType::Long;
    int size = 4;  // Text: characters (1..255); other types: their stored size
    bool required = false;
};

struct TableDef {
    std::string name;  // UTF-8
    std::vector<ColumnDef> columns;
};

// A Date/Time value: days since 1899-12-30 as Jet stores it (the fraction is the time of day;
// before 1899-12-30 the whole part is negative and the fraction still counts forward).
struct DateTime {
    double days = 0;
    static DateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0);
    // Splits into calendar parts, rounded to whole seconds.
    void toParts(int& year, int& month, int& day, int& hour, int& minute, int& second) const;
    // "yyyy/mm/dd hh:mm:ss"
    std::string toString() const;
    bool operator==(const DateTime&) const = default;
};

// One field. Integers of every width come as int64_t, Single and Double as double, Currency
// as int64_t ten-thousandths (Currency), Numeric as its decimal text, Text and Memo as UTF-8,
// Binary, OLE and GUID as bytes.
struct Currency {
    int64_t tenThousandths = 0;
    // Four decimals: "3.5000", "-0.0100".
    std::string toString() const;
    bool operator==(const Currency&) const = default;
};
using Bytes = std::vector<uint8_t>;

// A GUID column value as text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (the first three groups
// are stored little-endian). Empty when `guid` is not 16 bytes.
std::string guidToString(const Bytes& guid);
using Value =
    std::variant<std::monostate, bool, int64_t, double, Currency, DateTime, std::string, Bytes>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// Where a row lives: data page number and row number on that page.
struct RowId {
    uint32_t page = 0;
    uint16_t row = 0;
    bool operator==(const RowId&) const = default;
};

// The outcome of a fallible operation: ok, or a code and a message that says what is wrong
// and where ("page 14, row 3: variable offset 5000 beyond row end 212").
class Status {
public:
    enum class Code { Ok, NotFound, Corruption, NotSupported, InvalidArgument, IoError };
    Status() = default;
    static Status ok() { return Status(); }
    static Status notFound(std::string msg) { return Status(Code::NotFound, std::move(msg)); }
    static Status corruption(std::string msg) { return Status(Code::Corruption, std::move(msg)); }
    static Status notSupported(std::string msg) {
        return Status(Code::NotSupported, std::move(msg));
    }
    static Status invalidArgument(std::string msg) {
        return Status(Code::InvalidArgument, std::move(msg));
    }
    static Status ioError(std::string msg) { return Status(Code::IoError, std::move(msg)); }

    bool isOk() const { return m_code == Code::Ok; }
    explicit operator bool() const { return isOk(); }
    Code code() const { return m_code; }
    const std::string& message() const { return m_message; }

private:
    Status(Code code, std::string msg) : m_code(code), m_message(std::move(msg)) {}
    Code m_code = Code::Ok;
    std::string m_message;
};

// A value or the Status that says why there is none.
template <typename T>
class Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status status) : m_status(std::move(status)) {}
    bool isOk() const { return m_status.isOk() && m_value.has_value(); }
    explicit operator bool() const { return isOk(); }
    const Status& status() const { return m_status; }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }

private:
    std::optional<T> m_value;
    Status m_status;
};

}  // namespace lumaro::jet
