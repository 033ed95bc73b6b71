#pragma once
// A hash table from keys to typed values. Each table is fixed at creation to one key kind and one value
// kind (Integer 3, Text 10, Bytes 11). A KeyedTable is a small handle: the entries live in a store with
// an atomic reference count that copies of the handle share. The table itself takes no lock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

#include "text/Text.h"

namespace jdsm {

enum class ValueKind : int32_t { Integer = 3, Text = 10, Bytes = 11 };

// Type codes of a TypedValue.
enum class TypeCode : uint32_t {
    Byte = 0x80000101,      // unsigned 8-bit number in the low byte
    Short = 0x80000201,     // signed 16-bit number in the low half-word
    Int = 0x80000301,       // signed 32-bit number in the low word
    Long = 0x80000401,      // signed 64-bit number
    Float = 0x80000501,     // 32-bit float in the low word
    Double = 0x80000601,    // 64-bit float
    Bool = 0x80000002,      // 0 or 1
    DateTime = 0x80000003,  // 64-bit date-time value
    Text = 0x80000004,      // a text the receiver owns
    Bytes = 0x80000005,     // a byte-set the receiver owns
    Routine = 0x80000006,   // address of a routine
};

// A key or a value handed to the table: an Integer, a Text or a byte-set.
using TableItem = std::variant<int32_t, Text, Bytes>;

// What `get` hands out: a 64-bit payload with its type code. Text and byte-set values come as owned
// copies in `text` / `bytes` (the payload is then 0).
struct TypedValue {
    uint64_t payload = 0;
    TypeCode code = TypeCode::Int;
    Text text;
    Bytes bytes;

    // The numeric reading by type code (byte, short, int, long, float, double); 0 for other codes.
    double number() const;
    // True when the numeric reading has a magnitude of at most 1e-7.
    bool isZero() const;
};

class KeyedTable {
public:
    KeyedTable() = default;
    ~KeyedTable();
    KeyedTable(const KeyedTable& other);             // shares the store
    KeyedTable& operator=(const KeyedTable& other);  // shares the store
    KeyedTable(KeyedTable&& other) noexcept;
    KeyedTable& operator=(KeyedTable&& other) noexcept;

    void destroy();
    bool create(int32_t keyKind, int32_t valueKind, std::optional<int32_t> bucketCount = std::nullopt,
                std::optional<float> loadFactor = std::nullopt);
    bool loadFromBytes(const Bytes& bytes);
    bool isCreated() const;
    int32_t count() const;
    int32_t set(const TableItem& key, const TableItem& value);  // 1 replaced, 0 added, -1 not created
    TypedValue get(const TableItem& key) const;
    bool containsValue(const TableItem& value) const;
    bool containsKey(const TableItem& key) const;
    bool remove(const TableItem& key);
    int32_t keys(std::vector<TableItem>& out) const;
    int32_t keysOf(const TableItem& value, std::vector<TableItem>& out) const;
    int32_t values(std::vector<TableItem>& out) const;
    void clear();
    Bytes toBytes() const;
    // Calls `routine(key, value, parameter)` per entry in enumeration order; a non-zero result stops.
    using EntryRoutine = std::function<int32_t(const TableItem& key, const TableItem& value, int32_t parameter)>;
    void forEach(const EntryRoutine& routine, int32_t parameter = 0) const;

    struct Store;  // defined in KeyedTable.cpp

private:
    Store* store_ = nullptr;
};

}  // namespace jdsm
