#include "table/KeyedTable.h"

#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace jdsm {

namespace {

constexpr int32_t kDefaultBuckets = 11;
constexpr float kDefaultLoadFactor = 0.75f;
constexpr size_t kHeaderSize = 16;
constexpr size_t kSlotSize = 8;
constexpr uint8_t kMagic[4] = {'h', 'a', 's', 'h'};

bool isKnownKind(int32_t kind) {
    return kind == static_cast<int32_t>(ValueKind::Integer) ||
           kind == static_cast<int32_t>(ValueKind::Text) || kind == static_cast<int32_t>(ValueKind::Bytes);
}

// The variant alternative that holds items of a kind.
size_t alternativeOf(ValueKind kind) {
    switch (kind) {
        case ValueKind::Integer:
            return 0;
        case ValueKind::Text:
            return 1;
        case ValueKind::Bytes:
            return 2;
    }
    return std::variant_npos;
}

bool fits(ValueKind kind, const TableItem& item) {
    return item.index() == alternativeOf(kind);
}

std::string_view bytesView(const Bytes& b) {
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

uint32_t hashOf(const TableItem& item) {
    if (const auto* n = std::get_if<int32_t>(&item)) return static_cast<uint32_t>(*n);
    if (const auto* t = std::get_if<Text>(&item)) return KeyedTable::textHash(t->view());
    return KeyedTable::textHash(bytesView(std::get<Bytes>(item)));
}

// Multiplied in single precision, the load factor's own width (10 x 0.7f gives 7, not 6). The threshold is
// kept in 32 bits: a huge load factor, or infinity, must not overflow the conversion.
int32_t thresholdFor(int32_t buckets, float loadFactor) {
    const float t = std::trunc(static_cast<float>(buckets) * loadFactor);
    if (t >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(t);
}

void putU32(Bytes& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
    out[at + 2] = static_cast<uint8_t>(v >> 16);
    out[at + 3] = static_cast<uint8_t>(v >> 24);
}

uint32_t getU32(const Bytes& in, size_t at) {
    return static_cast<uint32_t>(in[at]) | static_cast<uint32_t>(in[at + 1]) << 8 |
           static_cast<uint32_t>(in[at + 2]) << 16 | static_cast<uint32_t>(in[at + 3]) << 24;
}

}  // namespace

// --- TypedValue ------------------------------------------------------------------------------------

double TypedValue::number() const {
    const auto low32 = static_cast<uint32_t>(payload);
    switch (code) {
        case TypeCode::Byte:
            return static_cast<uint8_t>(payload);
        case TypeCode::Short:
            return static_cast<int16_t>(payload);
        case TypeCode::Int:
            return static_cast<int32_t>(low32);
        case TypeCode::Long:
            return static_cast<double>(static_cast<int64_t>(payload));
        case TypeCode::Float:
            return std::bit_cast<float>(low32);
        case TypeCode::Double:
            return std::bit_cast<double>(payload);
        default:
            return 0;
    }
}

bool TypedValue::isZero() const {
    return std::fabs(number()) <= 1e-7;
}

// --- the store -------------------------------------------------------------------------------------

struct KeyedTable::Store {
    struct Entry {
        uint32_t hash;  // kept so that lookups compare keys only on equal hashes and growth never rehashes
        TableItem key;
        TableItem value;
        Entry* next;
    };

    std::atomic<int32_t> refs{1};
    std::unique_ptr<Entry*[]> buckets;
    int32_t bucketCount = 0;
    int32_t entryCount = 0;
    int32_t growThreshold = 0;
    float loadFactor = kDefaultLoadFactor;
    ValueKind keyKind = ValueKind::Integer;
    ValueKind valueKind = ValueKind::Integer;

    // Throws std::bad_alloc; the caller has checked the arguments.
    Store(ValueKind keys, ValueKind values, int32_t buckets_, float loadFactor_)
        : buckets(new Entry*[static_cast<size_t>(buckets_)]()),
          bucketCount(buckets_),
          growThreshold(thresholdFor(buckets_, loadFactor_)),
          loadFactor(loadFactor_),
          keyKind(keys),
          valueKind(values) {}

    ~Store() { freeEntries(); }

    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    int32_t addRef() { return refs.fetch_add(1, std::memory_order_relaxed) + 1; }

    int32_t release() {
        const int32_t left = refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

    size_t indexOf(uint32_t hash) const { return (hash & 0x7FFFFFFFu) % static_cast<uint32_t>(bucketCount); }

    // The entry holding `key`, with the link that points at it (the bucket head or the previous entry's
    // next), so that `remove` can unlink it.
    Entry** find(const TableItem& key, uint32_t hash) const {
        Entry** link = &buckets[indexOf(hash)];
        for (; *link; link = &(*link)->next) {
            if ((*link)->hash == hash && (*link)->key == key) return link;
        }
        return nullptr;
    }

    Entry** find(const TableItem& key) const { return fits(keyKind, key) ? find(key, hashOf(key)) : nullptr; }

    void grow() {
        if (bucketCount > (std::numeric_limits<int32_t>::max() - 1) / 2)
            return;  // no room left: longer chains
        const int32_t newCount = 2 * bucketCount + 1;
        std::unique_ptr<Entry*[]> fresh(new Entry*[static_cast<size_t>(newCount)]());
        for (int32_t b = 0; b < bucketCount; ++b) {
            for (Entry* e = buckets[b]; e;) {
                Entry* next = e->next;
                Entry*& head = fresh[(e->hash & 0x7FFFFFFFu) % static_cast<uint32_t>(newCount)];
                e->next = head;
                head = e;
                e = next;
            }
        }
        buckets = std::move(fresh);
        bucketCount = newCount;
        growThreshold = thresholdFor(newCount, loadFactor);
    }

    // Throws std::bad_alloc with the entries unchanged.
    int32_t set(const TableItem& key, const TableItem& value) {
        if (!fits(keyKind, key) || !fits(valueKind, value)) return -1;
        const uint32_t hash = hashOf(key);
        if (Entry** link = find(key, hash)) {
            TableItem copy = value;  // copied first: a throwing assignment could leave the variant empty
            (*link)->value = std::move(copy);
            return 1;
        }
        auto entry = std::make_unique<Entry>(Entry{hash, key, value, nullptr});
        if (entryCount >= growThreshold) grow();
        Entry*& head = buckets[indexOf(hash)];
        entry->next = head;
        head = entry.release();
        ++entryCount;
        return 0;
    }

    void freeEntries() {
        for (int32_t b = 0; b < bucketCount; ++b) {
            for (Entry* e = buckets[b]; e;) {
                Entry* next = e->next;
                delete e;
                e = next;
            }
            buckets[b] = nullptr;
        }
        entryCount = 0;
    }

    // Walks in enumeration order: buckets ascending, each chain from its head. `visit` returns false to stop.
    template <typename Visit>
    void walk(Visit&& visit) const {
        for (int32_t b = 0; b < bucketCount; ++b) {
            for (const Entry* e = buckets[b]; e; e = e->next) {
                if (!visit(*e)) return;
            }
        }
    }
};

// --- the handle ------------------------------------------------------------------------------------

KeyedTable::~KeyedTable() {
    destroy();
}

KeyedTable::KeyedTable(const KeyedTable& other) : store_(other.store_) {
    if (store_) store_->addRef();
}

KeyedTable& KeyedTable::operator=(const KeyedTable& other) {
    if (other.store_) other.store_->addRef();  // before letting go, so that self-assignment is harmless
    install(other.store_);
    return *this;
}

KeyedTable::KeyedTable(KeyedTable&& other) noexcept : store_(other.store_) {
    other.store_ = nullptr;
}

KeyedTable& KeyedTable::operator=(KeyedTable&& other) noexcept {
    if (this != &other) {
        install(other.store_);
        other.store_ = nullptr;
    }
    return *this;
}

void KeyedTable::install(Store* store) {
    Store* old = store_;
    store_ = store;
    if (old) old->release();
}

void KeyedTable::destroy() {
    install(nullptr);
}

bool KeyedTable::create(int32_t keyKind, int32_t valueKind, std::optional<int32_t> bucketCount,
                        std::optional<float> loadFactor) {
    const int32_t buckets = bucketCount.value_or(kDefaultBuckets);
    const float factor = loadFactor.value_or(kDefaultLoadFactor);
    // Written as a negation so that a NaN load factor is refused too.
    if (!isKnownKind(keyKind) || !isKnownKind(valueKind) || buckets < 0 || !(factor > 1e-7f)) return false;
    try {
        // A bucket index needs at least one bucket.
        install(new Store(static_cast<ValueKind>(keyKind), static_cast<ValueKind>(valueKind),
                          buckets ? buckets : 1, factor));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool KeyedTable::isCreated() const {
    return store_ != nullptr;
}

int32_t KeyedTable::count() const {
    return store_ ? store_->entryCount : 0;
}

int32_t KeyedTable::bucketCount() const {
    return store_ ? store_->bucketCount : 0;
}

uint32_t KeyedTable::textHash(std::string_view bytes) {
    uint32_t hash = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        hash = hash * 31u + static_cast<unsigned char>(bytes[i]);
    return hash;
}

int32_t KeyedTable::set(const TableItem& key, const TableItem& value) {
    if (!store_) return -1;
    try {
        return store_->set(key, value);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

TypedValue KeyedTable::get(const TableItem& key) const {
    TypedValue result;
    if (!store_) return result;
    switch (store_->valueKind) {
        case ValueKind::Integer:
            result.code = TypeCode::Int;
            break;
        case ValueKind::Text:
            result.code = TypeCode::Text;
            break;
        case ValueKind::Bytes:
            result.code = TypeCode::Bytes;
            break;
    }
    Store::Entry** link = store_->find(key);
    if (!link) return result;
    const TableItem& value = (*link)->value;
    try {
        if (const auto* n = std::get_if<int32_t>(&value)) {
            result.payload = static_cast<uint32_t>(*n);
        } else if (const auto* t = std::get_if<Text>(&value)) {
            result.text = *t;
        } else {
            result.bytes = std::get<Bytes>(value);
        }
    } catch (const std::bad_alloc&) {
        result.text.clear();
        result.bytes.clear();
    }
    return result;
}

bool KeyedTable::containsKey(const TableItem& key) const {
    return store_ && store_->find(key);
}

bool KeyedTable::containsValue(const TableItem& value) const {
    bool found = false;
    if (store_) {
        store_->walk([&](const Store::Entry& e) {
            found = e.value == value;
            return !found;
        });
    }
    return found;
}

bool KeyedTable::remove(const TableItem& key) {
    if (!store_) return false;
    Store::Entry** link = store_->find(key);
    if (!link) return false;
    Store::Entry* entry = *link;
    *link = entry->next;
    --store_->entryCount;
    delete entry;
    return true;
}

int32_t KeyedTable::keys(std::vector<TableItem>& out) const {
    if (!store_) return 0;
    try {
        std::vector<TableItem> list;
        list.reserve(static_cast<size_t>(store_->entryCount));
        store_->walk([&](const Store::Entry& e) {
            list.push_back(e.key);
            return true;
        });
        out = std::move(list);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return static_cast<int32_t>(out.size());
}

int32_t KeyedTable::keysOf(const TableItem& value, std::vector<TableItem>& out) const {
    if (!store_) return 0;
    try {
        std::vector<TableItem> list;
        store_->walk([&](const Store::Entry& e) {
            if (e.value == value) list.push_back(e.key);
            return true;
        });
        out = std::move(list);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return static_cast<int32_t>(out.size());
}

int32_t KeyedTable::values(std::vector<TableItem>& out) const {
    if (!store_) return 0;
    try {
        std::vector<TableItem> list;
        list.reserve(static_cast<size_t>(store_->entryCount));
        store_->walk([&](const Store::Entry& e) {
            list.push_back(e.value);
            return true;
        });
        out = std::move(list);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return static_cast<int32_t>(out.size());
}

void KeyedTable::clear() {
    if (store_) store_->freeEntries();
}

void KeyedTable::forEach(const EntryRoutine& routine, int32_t parameter) const {
    if (!store_ || !routine) return;
    store_->walk([&](const Store::Entry& e) { return routine(e.key, e.value, parameter) == 0; });
}

// --- serialised form -------------------------------------------------------------------------------
//
// "hash", key kind, value kind, entry count N, then N slot pairs (key, value) in enumeration order, then
// the payload area. Numbers are 32-bit little-endian. An Integer slot holds the number; a Text or Bytes
// slot holds the offset of its payload from the start (0 for an empty one, which has no payload). A text
// payload is its bytes and one zero byte; a byte-set payload is 32-bit 1, 32-bit length, the data.

namespace {

// Payload size of a non-empty item; 0 for Integers and empty items.
size_t payloadSize(const TableItem& item) {
    if (const auto* t = std::get_if<Text>(&item)) return t->empty() ? 0 : t->view().size() + 1;
    if (const auto* b = std::get_if<Bytes>(&item)) return b->empty() ? 0 : b->size() + 8;
    return 0;
}

// Writes the slot at `slot` and the payload at `payload`; returns the payload's size.
size_t writeItem(Bytes& out, size_t slot, size_t payload, const TableItem& item) {
    if (const auto* n = std::get_if<int32_t>(&item)) {
        putU32(out, slot, static_cast<uint32_t>(*n));
        return 0;
    }
    const size_t size = payloadSize(item);
    putU32(out, slot, size ? static_cast<uint32_t>(payload) : 0);
    if (const auto* t = std::get_if<Text>(&item); t && size) {
        std::memcpy(out.data() + payload, t->c_str(), t->view().size());  // the zero byte is there already
    } else if (const auto* b = std::get_if<Bytes>(&item); b && size) {
        putU32(out, payload, 1);
        putU32(out, payload + 4, static_cast<uint32_t>(b->size()));
        std::memcpy(out.data() + payload + 8, b->data(), b->size());
    }
    return size;
}

// Reads the item of one slot, checking that everything it points at lies in the payload area of `in`.
bool readItem(const Bytes& in, size_t payloadStart, ValueKind kind, uint32_t slot, TableItem& item) {
    if (kind == ValueKind::Integer) {
        item = static_cast<int32_t>(slot);
        return true;
    }
    if (slot == 0) {
        item = kind == ValueKind::Text ? TableItem(Text()) : TableItem(Bytes());
        return true;
    }
    const size_t at = slot;
    if (at < payloadStart || at >= in.size()) return false;
    if (kind == ValueKind::Text) {
        const void* end = std::memchr(in.data() + at, 0, in.size() - at);
        if (!end) return false;  // an unterminated text would run past the end
        const size_t length = static_cast<const uint8_t*>(end) - (in.data() + at);
        item = Text(std::string_view(reinterpret_cast<const char*>(in.data() + at), length));
        return true;
    }
    if (in.size() - at < 8 || getU32(in, at) != 1) return false;
    const size_t length = getU32(in, at + 4);
    if (in.size() - at - 8 < length) return false;
    item = Bytes(in.begin() + static_cast<std::ptrdiff_t>(at + 8),
                 in.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    return true;
}

}  // namespace

Bytes KeyedTable::toBytes() const {
    if (!store_) return {};
    try {
        const size_t n = static_cast<size_t>(store_->entryCount);
        size_t total = kHeaderSize + kSlotSize * n;
        store_->walk([&](const Store::Entry& e) {
            total += payloadSize(e.key) + payloadSize(e.value);
            return true;
        });
        // Offsets are 32-bit: a table too large to point into cannot be written.
        if (total > std::numeric_limits<uint32_t>::max()) return {};
        Bytes out(total, 0);
        std::memcpy(out.data(), kMagic, 4);
        putU32(out, 4, static_cast<uint32_t>(store_->keyKind));
        putU32(out, 8, static_cast<uint32_t>(store_->valueKind));
        putU32(out, 12, static_cast<uint32_t>(n));
        size_t slot = kHeaderSize;
        size_t payload = kHeaderSize + kSlotSize * n;
        store_->walk([&](const Store::Entry& e) {
            payload += writeItem(out, slot, payload, e.key);
            payload += writeItem(out, slot + 4, payload, e.value);
            slot += kSlotSize;
            return true;
        });
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// The bytes come from outside, so nothing in them is trusted. Refused: fewer than 16 bytes, another magic,
// an unknown kind, a negative count or one whose slots do not fit; an offset outside the payload area
// (the header and the slots are no payload); a text without its zero byte before the end; a byte-set
// whose count word is not 1 or whose length runs past the end. Bytes after the last payload are ignored.
bool KeyedTable::loadFromBytes(const Bytes& bytes) {
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, 4) != 0) return false;
    const auto keyKind = static_cast<int32_t>(getU32(bytes, 4));
    const auto valueKind = static_cast<int32_t>(getU32(bytes, 8));
    const auto n = static_cast<int32_t>(getU32(bytes, 12));
    if (!isKnownKind(keyKind) || !isKnownKind(valueKind)) return false;
    // The slots must lie inside the bytes, and the bucket count N + 11 must stay in 32 bits.
    if (n < 0 || n > std::numeric_limits<int32_t>::max() - kDefaultBuckets ||
        static_cast<size_t>(n) > (bytes.size() - kHeaderSize) / kSlotSize) {
        return false;
    }
    const size_t payloadStart = kHeaderSize + kSlotSize * static_cast<size_t>(n);
    try {
        std::unique_ptr<Store, void (*)(Store*)> store(
            new Store(static_cast<ValueKind>(keyKind), static_cast<ValueKind>(valueKind), n + kDefaultBuckets,
                      kDefaultLoadFactor),
            [](Store* s) { s->release(); });
        TableItem key, value;
        for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
            const size_t slot = kHeaderSize + kSlotSize * i;
            if (!readItem(bytes, payloadStart, store->keyKind, getU32(bytes, slot), key) ||
                !readItem(bytes, payloadStart, store->valueKind, getU32(bytes, slot + 4), value)) {
                return false;
            }
            store->set(key, value);  // a repeated key keeps the later value
        }
        install(store.release());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace jdsm
