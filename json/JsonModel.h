#pragma once
// The tree behind JsonDocument and JsonNode: node records, element lists and member tables, all held
// in the document's arena. Internal to the JSON library.
//
// All text inside a document is UTF-16 and zero-terminated. Nothing here recurses over the tree:
// documents may nest as deep as their text does (hundreds of thousands of levels), so releasing and
// clearing walk an explicit chain instead of the call stack.

#include <cstddef>
#include <cstdint>

#include "json/JsonArena.h"

namespace jdsm::json_detail {

enum Kind : int32_t {
    kMissing = -1,
    kNull = 0,
    kReal = 1,
    kInteger = 2,
    kBoolean = 3,
    kString = 4,
    kArray = 5,
    kObject = 6,
};

struct Node;

struct NodeList {
    Arena* pool;
    uint32_t count;
    Node** items;
    uint32_t capacity;
};

struct MemberMap {
    Arena* pool;
    Node** buckets;
    uint32_t bucketCount;
    uint32_t memberCount;
    uint32_t growThreshold;
    float loadFactor;
    NodeList order;
};

union Value {
    double real;
    int64_t integer;
    char16_t* string;
    NodeList* list;
    MemberMap* map;
};

// The node record. The two 32-bit fields sit together at the end so that a record takes 56 bytes, not
// 64: canada.json-like documents hold hundreds of thousands of them.
struct Node {
    Arena* pool;
    char16_t* name;  // the member name while the node is an object member, else null
    Value value;
    Node* nextInBucket;
    Node* parent;
    char16_t* textForm;  // numbers and booleans: their text (for parsed numbers, the token as written)
    uint32_t nameHash;
    int32_t kind;
};

constexpr uint32_t kInitialListCapacity = 8;
constexpr uint32_t kInitialBuckets = 11;
constexpr float kLoadFactor = 0.75f;

// --- texts ------------------------------------------------------------------------------------------

size_t textLength(const char16_t* s);
// A zero-terminated pool copy of n units, or null when out of memory.
char16_t* copyText(Arena* pool, const char16_t* s, size_t n);
void releaseText(Arena* pool, char16_t* s);

// The hash of a member name over the bytes of its UTF-16 units (little-endian): sum of b[k] * 31^k.
inline uint32_t hashName(const char16_t* s, size_t n) {
    uint32_t h = 0;
    for (size_t k = n; k-- > 0;) {
        const uint32_t u = s[k];
        h = h * 961u + (u >> 8) * 31u + (u & 0xFFu);
    }
    return h;
}

// --- lists ------------------------------------------------------------------------------------------

bool listInit(Arena* pool, NodeList* list);
bool listAppend(NodeList* list, Node* node);
bool listInsert(NodeList* list, uint32_t index, Node* node);  // index 0..count
Node* listRemove(NodeList* list, uint32_t index);             // index 0..count-1, else null
inline Node* listAt(const NodeList* list, int64_t index) {
    if (!list || index < 0 || index >= static_cast<int64_t>(list->count)) return nullptr;
    return list->items[index];
}

// --- member tables ----------------------------------------------------------------------------------

Node* mapFind(const MemberMap* map, const char16_t* name, size_t n, uint32_t hash);
inline Node* mapFind(const MemberMap* map, const char16_t* name, size_t n) {
    return mapFind(map, name, n, hashName(name, n));
}
// Attaches `node` under `name` (copied into the pool). A member already holding that name is replaced
// in its bucket and its place of member order, hands its name text to `node` and has its payload
// released; `replaced` then receives it. At `position` (0..count, or -1 for the end) a new name goes
// into member order. False when out of memory or `position` is out of range; the map is then unchanged.
bool mapInsert(Node* object, Node* node, const char16_t* name, size_t n, int64_t position = -1,
               Node** replaced = nullptr);
// Unlinks the member of that name and returns it (its name returned to the pool), or null.
Node* mapRemove(MemberMap* map, const char16_t* name, size_t n);

// --- nodes ------------------------------------------------------------------------------------------

// A new unattached node of `kind` (containers empty, numbers 0 without text form, booleans false), or
// null when out of memory or the kind is unknown.
Node* createNode(Arena* pool, int32_t kind);
// Gives `node` a fresh empty container of `kind` (kArray or kObject) after releasing its payload,
// unless it already is one. False when out of memory (the node then holds null, of its old kind).
bool makeContainer(Node* node, int32_t kind);

// Returns the payload (string, list or member table with names, text form) to the pool after releasing
// the payloads of all elements and members; the kind stays.
void releasePayload(Node* node);
// Empties the node keeping its kind: containers keep their (emptied) list or table, strings lose their
// text, numbers and booleans become 0 without text form.
void clearNode(Node* node);

// Appends `child` to an array or attaches it under a name to an object, setting its parent.
bool appendElement(Node* array, Node* child);

inline const NodeList* childList(const Node* n) {
    if (!n) return nullptr;
    if (n->kind == kArray) return n->value.list;
    if (n->kind == kObject) return n->value.map ? &n->value.map->order : nullptr;
    return nullptr;
}

}  // namespace jdsm::json_detail
