#pragma once
// A hash table from keys to typed values. Each table is fixed at creation to one key kind and one value
// kind (Integer 3, Text 10, Bytes 11). A KeyedTable is a small handle: the entries live in a store with
// an atomic reference count that copies of the handle share, so handles may be copied and dropped on any
// thread. Everything else takes no lock: a table used from several threads needs its callers to
// serialise every other call themselves.
//
// Rules that hold for every operation:
// - A key or value whose alternative does not match the table's kind (an int32_t handed to a Text table,
//   say) is never stored and equals nothing: `set` refuses it with -1, lookups do not find it.
// - Running out of memory fails an operation the way a table that is not created fails it, and leaves
//   the table as it was.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "text/Text.h"

namespace jdsm {

// GCC 12 reports scoped enumerators named like a namespace-level type as shadowing it; they cannot clash.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
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
#pragma GCC diagnostic pop

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

    // Drops this handle's reference; the handle reads as not created afterwards.
    void destroy();
    // Installs a new empty store. Refused (0, the previous store stays) for a kind other than 3, 10 or
    // 11, a negative bucket count or a load factor not above 1e-7. A bucket count of 0 is raised to 1.
    bool create(int32_t keyKind, int32_t valueKind, std::optional<int32_t> bucketCount = std::nullopt,
                std::optional<float> loadFactor = std::nullopt);
    // Installs a store rebuilt from `toBytes` output. The bytes are untrusted: anything malformed or
    // pointing outside them is refused with 0 and the previous store stays.
    bool loadFromBytes(const Bytes& bytes);
    bool isCreated() const;
    int32_t count() const;
    int32_t set(const TableItem& key, const TableItem& value);  // 1 replaced, 0 added, -1 not created/refused
    // The key's value; payload 0 with the value kind's code when absent, code Int when not created.
    TypedValue get(const TableItem& key) const;
    bool containsValue(const TableItem& value) const;
    bool containsKey(const TableItem& key) const;
    bool remove(const TableItem& key);
    // These three replace `out` with copies and return their number; not created: 0, `out` untouched.
    int32_t keys(std::vector<TableItem>& out) const;
    int32_t keysOf(const TableItem& value, std::vector<TableItem>& out) const;
    int32_t values(std::vector<TableItem>& out) const;
    // Removes every entry; the bucket count stays.
    void clear();
    Bytes toBytes() const;
    // Calls `routine(key, value, parameter)` per entry in enumeration order; a non-zero result stops.
    // The items passed are the table's own copies, valid during the call; the routine must not change
    // the table.
    using EntryRoutine =
        std::function<int32_t(const TableItem& key, const TableItem& value, int32_t parameter)>;
    void forEach(const EntryRoutine& routine, int32_t parameter = 0) const;

    // Number of chain heads; 0 when not created. Tells where growth stands.
    int32_t bucketCount() const;
    // The hash of a text or byte-set key: taken from the last byte to the first, hash * 31 + byte.
    static uint32_t textHash(std::string_view bytes);

  private:
    struct Store;  // the counted store with the chains, in KeyedTable.cpp

    void install(Store* store);

    Store* store_ = nullptr;
};

}  // namespace jdsm
