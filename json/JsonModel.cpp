#include "json/JsonModel.h"

#include <cstring>

namespace jdsm::json_detail {

// --- texts ------------------------------------------------------------------------------------------

size_t textLength(const char16_t* s) {
    if (!s) return 0;
    const char16_t* p = s;
    while (*p)
        ++p;
    return static_cast<size_t>(p - s);
}

char16_t* copyText(Arena* pool, const char16_t* s, size_t n) {
    if (n + 1 == 0 || (n + 1) > SIZE_MAX / sizeof(char16_t)) return nullptr;
    auto* out = static_cast<char16_t*>(pool->allocate((n + 1) * sizeof(char16_t)));
    if (out && n) std::memcpy(out, s, n * sizeof(char16_t));
    return out;
}

void releaseText(Arena* pool, char16_t* s) {
    if (!s) return;
    // Only large blocks go back early; a text shorter than that is left alone without measuring it all.
    constexpr size_t kSmallUnits = Arena::kLargeBlock / sizeof(char16_t) - 1;
    size_t n = 0;
    while (n < kSmallUnits && s[n])
        ++n;
    if (n < kSmallUnits) return;
    n += textLength(s + n);
    pool->release(s, (n + 1) * sizeof(char16_t));
}

// --- lists ------------------------------------------------------------------------------------------

bool listInit(Arena* pool, NodeList* list) {
    list->pool = pool;
    list->count = 0;
    list->capacity = kInitialListCapacity;
    list->items = static_cast<Node**>(pool->allocate(kInitialListCapacity * sizeof(Node*)));
    if (!list->items) list->capacity = 0;
    return list->items != nullptr;
}

static bool listGrow(NodeList* list) {
    const uint64_t wanted = 2ull * list->capacity + 1;
    if (wanted > UINT32_MAX / 2) return false;
    auto* items = static_cast<Node**>(list->pool->allocate(wanted * sizeof(Node*)));
    if (!items) return false;
    if (list->count) std::memcpy(items, list->items, list->count * sizeof(Node*));
    list->pool->release(list->items, list->capacity * sizeof(Node*));
    list->items = items;
    list->capacity = static_cast<uint32_t>(wanted);
    return true;
}

bool listAppend(NodeList* list, Node* node) {
    if (list->count == list->capacity && !listGrow(list)) return false;
    list->items[list->count++] = node;
    return true;
}

bool listInsert(NodeList* list, uint32_t index, Node* node) {
    if (index > list->count) return false;
    if (list->count == list->capacity && !listGrow(list)) return false;
    std::memmove(list->items + index + 1, list->items + index, (list->count - index) * sizeof(Node*));
    list->items[index] = node;
    ++list->count;
    return true;
}

Node* listRemove(NodeList* list, uint32_t index) {
    if (index >= list->count) return nullptr;
    Node* n = list->items[index];
    std::memmove(list->items + index, list->items + index + 1, (list->count - index - 1) * sizeof(Node*));
    list->items[--list->count] = nullptr;
    return n;
}

static int64_t listIndexOf(const NodeList* list, const Node* node) {
    for (uint32_t i = 0; i < list->count; ++i) {
        if (list->items[i] == node) return i;
    }
    return -1;
}

// --- member tables ----------------------------------------------------------------------------------

static bool sameName(const char16_t* stored, const char16_t* name, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        if (stored[k] != name[k]) return false;  // also stops at the stored terminator
    }
    return stored[n] == 0;
}

Node* mapFind(const MemberMap* map, const char16_t* name, size_t n, uint32_t hash) {
    if (!map || !map->buckets) return nullptr;
    for (Node* m = map->buckets[(hash & 0x7FFFFFFFu) % map->bucketCount]; m; m = m->nextInBucket) {
        if (m->nameHash == hash && sameName(m->name, name, n)) return m;
    }
    return nullptr;
}

static MemberMap* mapCreate(Arena* pool) {
    auto* map = pool->make<MemberMap>();
    if (!map) return nullptr;
    map->pool = pool;
    map->buckets = static_cast<Node**>(pool->allocate(kInitialBuckets * sizeof(Node*)));
    if (!map->buckets || !listInit(pool, &map->order)) return nullptr;
    map->bucketCount = kInitialBuckets;
    map->loadFactor = kLoadFactor;
    map->growThreshold = static_cast<uint32_t>(kInitialBuckets * kLoadFactor);
    return map;
}

static bool mapGrow(MemberMap* map) {
    const uint64_t count = 2ull * map->bucketCount + 1;
    if (count > UINT32_MAX / 2) return false;
    auto* buckets = static_cast<Node**>(map->pool->allocate(count * sizeof(Node*)));
    if (!buckets) return false;
    for (uint32_t b = 0; b < map->bucketCount; ++b) {
        for (Node* m = map->buckets[b]; m;) {
            Node* next = m->nextInBucket;
            Node*& head = buckets[(m->nameHash & 0x7FFFFFFFu) % count];
            m->nextInBucket = head;
            head = m;
            m = next;
        }
    }
    map->pool->release(map->buckets, map->bucketCount * sizeof(Node*));
    map->buckets = buckets;
    map->bucketCount = static_cast<uint32_t>(count);
    map->growThreshold = static_cast<uint32_t>(static_cast<double>(count) * map->loadFactor);
    return true;
}

bool mapInsert(Node* object, Node* node, const char16_t* name, size_t n, int64_t position, Node** replaced) {
    MemberMap* map = object->value.map;
    if (!map) return false;
    const uint32_t hash = hashName(name, n);
    Node** link = &map->buckets[(hash & 0x7FFFFFFFu) % map->bucketCount];
    for (; *link; link = &(*link)->nextInBucket) {
        Node* old = *link;
        if (old->nameHash != hash || !sameName(old->name, name, n)) continue;
        // A repeated name: the newcomer takes the old member's place everywhere and keeps its name text.
        const int64_t at = listIndexOf(&map->order, old);
        if (at >= 0) map->order.items[at] = node;
        node->nextInBucket = old->nextInBucket;
        *link = node;
        node->nameHash = hash;
        node->name = old->name;
        node->parent = object;
        old->name = nullptr;
        old->nextInBucket = nullptr;
        old->parent = nullptr;
        releasePayload(old);
        if (replaced) *replaced = old;
        return true;
    }
    if (position > static_cast<int64_t>(map->order.count)) return false;
    if (map->memberCount >= map->growThreshold && !mapGrow(map)) return false;
    char16_t* copy = copyText(map->pool, name, n);
    if (!copy) return false;
    const bool placed = position < 0 ? listAppend(&map->order, node)
                                     : listInsert(&map->order, static_cast<uint32_t>(position), node);
    if (!placed) {
        releaseText(map->pool, copy);
        return false;
    }
    Node*& head = map->buckets[(hash & 0x7FFFFFFFu) % map->bucketCount];
    node->nextInBucket = head;
    head = node;
    node->nameHash = hash;
    node->name = copy;
    node->parent = object;
    ++map->memberCount;
    return true;
}

Node* mapRemove(MemberMap* map, const char16_t* name, size_t n) {
    if (!map) return nullptr;
    const uint32_t hash = hashName(name, n);
    for (Node** link = &map->buckets[(hash & 0x7FFFFFFFu) % map->bucketCount]; *link;
         link = &(*link)->nextInBucket) {
        Node* m = *link;
        if (m->nameHash != hash || !sameName(m->name, name, n)) continue;
        *link = m->nextInBucket;
        const int64_t at = listIndexOf(&map->order, m);
        if (at >= 0) listRemove(&map->order, static_cast<uint32_t>(at));
        --map->memberCount;
        releaseText(map->pool, m->name);
        m->name = nullptr;
        m->nextInBucket = nullptr;
        return m;
    }
    return nullptr;
}

// --- nodes ------------------------------------------------------------------------------------------

static const char16_t kFalse[] = u"false";

Node* createNode(Arena* pool, int32_t kind) {
    if (kind < kNull || kind > kObject) return nullptr;
    auto* n = pool->make<Node>();
    if (!n) return nullptr;
    n->pool = pool;
    n->kind = kind;
    if (kind == kBoolean) n->textForm = const_cast<char16_t*>(kFalse);  // never written through
    if (kind == kArray) {
        // The list and its first items share the node's block: one allocation per array, of which
        // number-heavy texts hold tens of thousands. All three stay small blocks, which are never
        // given back one by one, so the shared block is safe to release piecewise.
        auto* list =
            static_cast<NodeList*>(pool->allocate(sizeof(NodeList) + kInitialListCapacity * sizeof(Node*)));
        if (!list) return nullptr;
        list->pool = pool;
        list->capacity = kInitialListCapacity;
        list->items = reinterpret_cast<Node**>(list + 1);
        n->value.list = list;
    } else if (kind == kObject) {
        n->value.map = mapCreate(pool);
        if (!n->value.map) return nullptr;
    }
    return n;
}

bool makeContainer(Node* node, int32_t kind) {
    if (node->kind == kind && node->value.list) return true;  // list and map share the payload slot
    releasePayload(node);
    node->value.integer = 0;
    node->kind = kind;
    if (kind == kArray) {
        auto* list = node->pool->make<NodeList>();
        if (!list || !listInit(node->pool, list)) return false;
        node->value.list = list;
    } else {
        node->value.map = mapCreate(node->pool);
        if (!node->value.map) return false;
    }
    return true;
}

// Releases what `node` itself holds. Nested containers are chained onto `pending` through their parent
// field (they leave the tree, so it is free) and released later by the caller's loop: no recursion.
static void releaseOwn(Node* node, Node*& pending) {
    Arena* pool = node->pool;
    auto dropChild = [&](Node* child) {
        if (!child) return;
        if ((child->kind == kArray || child->kind == kObject) && child->value.list) {
            child->parent = pending;
            pending = child;
        } else {
            if (child->kind == kString) releaseText(pool, child->value.string);
            child->value.string = nullptr;
            if (child->textForm != kFalse) releaseText(pool, child->textForm);
            child->textForm = nullptr;
        }
    };
    switch (node->kind) {
        case kString:
            releaseText(pool, node->value.string);
            node->value.string = nullptr;
            break;
        case kArray:
            if (NodeList* list = node->value.list) {
                for (uint32_t i = 0; i < list->count; ++i)
                    dropChild(list->items[i]);
                pool->release(list->items, list->capacity * sizeof(Node*));
                pool->release(list, sizeof(NodeList));
                node->value.list = nullptr;
            }
            break;
        case kObject:
            if (MemberMap* map = node->value.map) {
                for (uint32_t i = 0; i < map->order.count; ++i) {
                    Node* m = map->order.items[i];
                    releaseText(pool, m->name);
                    m->name = nullptr;
                    dropChild(m);
                }
                pool->release(map->buckets, map->bucketCount * sizeof(Node*));
                pool->release(map->order.items, map->order.capacity * sizeof(Node*));
                pool->release(map, sizeof(MemberMap));
                node->value.map = nullptr;
            }
            break;
        default:
            break;
    }
    if (node->textForm != kFalse) releaseText(pool, node->textForm);
    node->textForm = nullptr;
}

static void releaseChain(Node* pending) {
    while (pending) {
        Node* n = pending;
        pending = n->parent;
        n->parent = nullptr;
        releaseOwn(n, pending);
    }
}

void releasePayload(Node* node) {
    if (!node) return;
    Node* pending = nullptr;
    releaseOwn(node, pending);
    releaseChain(pending);
}

void clearNode(Node* node) {
    if (!node) return;
    Node* pending = nullptr;
    switch (node->kind) {
        case kString:
            releaseText(node->pool, node->value.string);
            node->value.string = nullptr;
            break;
        case kReal:
        case kInteger:
        case kBoolean:
            node->value.integer = 0;
            break;
        case kArray:
            if (NodeList* list = node->value.list) {
                for (uint32_t i = 0; i < list->count; ++i) {
                    Node* child = list->items[i];
                    releaseOwn(child, pending);
                    list->items[i] = nullptr;
                }
                list->count = 0;
            }
            break;
        case kObject:
            if (MemberMap* map = node->value.map) {
                for (uint32_t i = 0; i < map->order.count; ++i) {
                    Node* m = map->order.items[i];
                    releaseText(node->pool, m->name);
                    m->name = nullptr;
                    m->nextInBucket = nullptr;
                    releaseOwn(m, pending);
                    map->order.items[i] = nullptr;
                }
                map->order.count = 0;
                map->memberCount = 0;
                std::memset(map->buckets, 0, map->bucketCount * sizeof(Node*));
            }
            break;
        default:
            break;
    }
    if (node->textForm != kFalse) releaseText(node->pool, node->textForm);
    node->textForm = nullptr;
    releaseChain(pending);
}

bool appendElement(Node* array, Node* child) {
    if (!array->value.list || !listAppend(array->value.list, child)) return false;
    child->parent = array;
    return true;
}

}  // namespace jdsm::json_detail
