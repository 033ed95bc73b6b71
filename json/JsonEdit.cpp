// Editing operations of JsonNode: removal, builders, setters, copies, merging and sorting.

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "json/JsonDocument.h"
#include "json/JsonModel.h"
#include "json/JsonParser.h"
#include "json/JsonPath.h"
#include "text/CodePage.h"

namespace jdsm {

using namespace json_detail;

namespace {

template <class P>
Node* writeAt(Node* start, P path) {
    if (!start) return nullptr;
    return resolveWrite(start, ParsedPath(path));
}

template <class P>
Node* readAt(Node* start, P path) {
    if (!start) return nullptr;
    return resolveRead(start, ParsedPath(path));
}

std::u16string wide(std::string_view local) {
    return codepage::localToWide(local);
}

const char16_t kTrue[] = u"true";
const char16_t kFalse[] = u"false";

// Text forms of numbers made here (setters, copies): "%.13g" for reals, decimal digits for integers.
// to_chars rather than printf: the program may run under a locale whose decimal point is a comma.
// An infinite value (a copy of a parsed 1e400, say) gets a number the reader reads back as that infinity:
// "%.13g" would give "inf", which no JSON reader takes, so the written document could not be read again.
char16_t* realText(Arena* pool, double v) {
    char buf[64];
    size_t n;
    if (std::isinf(v)) {
        const std::string_view huge = v > 0 ? "1e999" : "-1e999";
        n = huge.copy(buf, huge.size());
    } else {
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 13);
        n = static_cast<size_t>(r.ptr - buf);
    }
    auto* out = static_cast<char16_t*>(pool->allocate((n + 1) * sizeof(char16_t)));
    if (out) {
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<char16_t>(buf[i]);
    }
    return out;
}

char16_t* integerText(Arena* pool, int64_t v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    const size_t n = static_cast<size_t>(r.ptr - buf);
    auto* out = static_cast<char16_t*>(pool->allocate((n + 1) * sizeof(char16_t)));
    if (out) {
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<char16_t>(buf[i]);
    }
    return out;
}

// Gives `n` a new scalar payload after releasing the old one. False when out of memory (the node is then
// left of the new kind without value).
bool setScalar(Node* n, int32_t kind, Value value, const char16_t* string = nullptr, size_t length = 0) {
    releasePayload(n);
    n->kind = kind;
    n->value.integer = 0;
    n->textForm = nullptr;
    switch (kind) {
        case kBoolean:
            n->value.integer = value.integer ? 1 : 0;
            n->textForm = const_cast<char16_t*>(value.integer ? kTrue : kFalse);  // never written through
            return true;
        case kReal:
            // One NaN for every NaN a caller stores, so that none can pass for a pending parsed real.
            n->value.real = std::isnan(value.real) ? std::numeric_limits<double>::quiet_NaN() : value.real;
            n->textForm = realText(n->pool, value.real);
            return n->textForm != nullptr;
        case kInteger:
            n->value.integer = value.integer;
            n->textForm = integerText(n->pool, value.integer);
            return n->textForm != nullptr;
        case kString:
            if (length == 0) return true;  // the empty string holds no text
            n->value.string = copyText(n->pool, string, length);
            return n->value.string != nullptr;
        default:
            return true;
    }
}

// A node of `kind` with the values newNode promises.
Node* defaultNode(Arena* pool, int32_t kind) {
    Node* n = createNode(pool, kind);
    if (!n) return nullptr;
    if (kind == kReal || kind == kInteger) {
        n->textForm = copyText(pool, u"0", 1);
        if (!n->textForm) return nullptr;
    }
    return n;
}

// The shallow part of a copy: scalars whole, containers empty. Numbers get fresh text forms.
Node* copyOne(Arena* pool, const Node* src) {
    Node* n = createNode(pool, src->kind == kArray || src->kind == kObject ? src->kind : kNull);
    if (!n) return nullptr;
    Value v{};
    switch (src->kind) {
        case kReal:
            v.real = realValue(src);
            return setScalar(n, kReal, v) ? n : nullptr;
        case kInteger:
        case kBoolean:
            v = src->value;
            return setScalar(n, src->kind, v) ? n : nullptr;
        case kString: {
            const char16_t* s = src->value.string;
            return setScalar(n, kString, v, s, textLength(s)) ? n : nullptr;
        }
        default:
            return n;
    }
}

// A deep copy of `src` (any document) made in `pool`, unattached; null when out of memory. Walks with a
// stack of its own so that any depth copies.
Node* deepCopy(Arena* pool, const Node* src) {
    if (!src) return nullptr;
    Node* root = copyOne(pool, src);
    if (!root) return nullptr;
    struct Frame {
        const Node* from;
        Node* to;
        uint32_t next;
    };
    try {
        std::vector<Frame> stack;
        if (childList(src)) stack.push_back({src, root, 0});
        while (!stack.empty()) {
            Frame& f = stack.back();
            const NodeList* list = childList(f.from);
            if (!list || f.next >= list->count) {
                stack.pop_back();
                continue;
            }
            const Node* child = list->items[f.next++];
            Node* copy = copyOne(pool, child);
            bool attached = false;
            if (copy) {
                if (f.to->kind == kArray) {
                    attached = appendElement(f.to, copy);
                } else {
                    const char16_t* name = child->name ? child->name : u"";
                    attached = mapInsert(f.to, copy, name, textLength(name));
                }
            }
            if (!attached) {
                releasePayload(root);
                return nullptr;
            }
            if (childList(child)) stack.push_back({child, copy, 0});
        }
    } catch (const std::bad_alloc&) {
        releasePayload(root);
        return nullptr;
    }
    return root;
}

// A fresh node from the object's (possibly overridden) newNode, accepted only when it is an unattached
// node of `pool`: a subclass cannot smuggle in a node of another document or one already in the tree.
Node* freshFrom(JsonNode& self, Arena* pool, int32_t kind) {
    auto* n = reinterpret_cast<Node*>(self.newNode(kind));
    if (!n || n->pool != pool || n->parent || n->name) return nullptr;
    return n;
}

JsonNode buildMember(JsonNode& self, Node* target, std::u16string_view name, int32_t kind, int64_t position) {
    if (!target || !makeContainer(target, kObject)) return JsonNode();
    Node* fresh = freshFrom(self, target->pool, kind);
    if (!fresh) return JsonNode();
    if (position >= 0 && !mapFind(target->value.map, name.data(), name.size()) &&
        position > static_cast<int64_t>(target->value.map->order.count)) {
        releasePayload(fresh);
        return JsonNode();
    }
    if (!mapInsert(target, fresh, name.data(), name.size(), position)) {
        releasePayload(fresh);
        return JsonNode();
    }
    return JsonNode(fresh);
}

JsonNode buildElement(JsonNode& self, Node* target, int32_t kind, int64_t index) {
    if (!target || !makeContainer(target, kArray)) return JsonNode();
    NodeList* list = target->value.list;
    if (index > static_cast<int64_t>(list->count)) return JsonNode();
    Node* fresh = freshFrom(self, target->pool, kind);
    if (!fresh) return JsonNode();
    const bool placed =
        index < 0 ? listAppend(list, fresh) : listInsert(list, static_cast<uint32_t>(index), fresh);
    if (!placed) {
        releasePayload(fresh);
        return JsonNode();
    }
    fresh->parent = target;
    return JsonNode(fresh);
}

bool removeMemberOf(Node* target, std::u16string_view name) {
    if (!target || target->kind != kObject) return false;
    Node* m = mapRemove(target->value.map, name.data(), name.size());
    if (!m) return false;
    m->parent = nullptr;
    releasePayload(m);
    return true;
}

bool removeElementOf(Node* target, int32_t index) {
    if (!target || target->kind != kArray || !target->value.list || index < 0) return false;
    Node* e = listRemove(target->value.list, static_cast<uint32_t>(index));
    if (!e) return false;
    e->parent = nullptr;
    releasePayload(e);
    return true;
}

bool addCopyOf(Node* target, std::u16string_view name, const JsonNode& source) {
    auto* src = reinterpret_cast<const Node*>(source.rawNode());
    if (!target || !src || !makeContainer(target, kObject)) return false;
    Node* copy = deepCopy(target->pool, src);
    if (!copy) return false;
    if (!mapInsert(target, copy, name.data(), name.size())) {
        releasePayload(copy);
        return false;
    }
    return true;
}

bool setCopyAt(Node* target, int32_t index, const JsonNode& source) {
    auto* src = reinterpret_cast<const Node*>(source.rawNode());
    if (!target || !src || index < 0 || !makeContainer(target, kArray)) return false;
    NodeList* list = target->value.list;
    if (static_cast<int64_t>(index) - list->count >= kMaxPadding) return false;
    Node* copy = deepCopy(target->pool, src);
    if (!copy) return false;
    if (static_cast<uint32_t>(index) < list->count) {
        Node* old = list->items[index];
        list->items[index] = copy;
        copy->parent = target;
        old->parent = nullptr;
        releasePayload(old);
        return true;
    }
    while (list->count < static_cast<uint32_t>(index)) {
        Node* pad = createNode(target->pool, kNull);
        if (!pad || !appendElement(target, pad)) {
            releasePayload(copy);
            return false;
        }
    }
    if (!appendElement(target, copy)) {
        releasePayload(copy);
        return false;
    }
    return true;
}

bool setJsonInto(Node* target, std::u16string_view json, int32_t options) {
    return target && parseInto(target, json, options, nullptr) == kParseOk;
}

std::u16string terminated(std::string_view local) {
    std::u16string w = wide(local);
    w.push_back(u'\0');
    return w;
}

// --- merging ----------------------------------------------------------------------------------------

// Puts `source` where `target` stands in its object, under the target's name.
bool replaceMember(Node* target, Node* source) {
    Node* parent = target->parent;
    if (!target->name || !parent || parent->kind != kObject) {
        releasePayload(source);
        return false;
    }
    const char16_t* name = target->name;
    if (!mapInsert(parent, source, name, textLength(name))) {
        releasePayload(source);
        return false;
    }
    return true;
}

bool isObject(const Node* n) {
    return n && n->kind == kObject && n->value.map;
}

// Merges `source` (a parsed temporary of the target's document) into `target`. Members that reach the
// tree are copies, as the merge of each member works on a copy of it; the walk keeps its own stack, and
// a frame's result is that of its last member, false at the first failure.
bool mergeInto(Node* target, Node* source, bool addMissing) {
    if (!isObject(target) || !isObject(source)) return replaceMember(target, source);
    struct Frame {
        Node* to;
        const Node* from;
        uint32_t next;
        bool result;
    };
    std::vector<Frame> stack{{target, source, 0, false}};
    bool childResult = false;
    bool childDone = false;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (childDone) {
            childDone = false;
            f.result = childResult;
            if (!f.result) {  // stop at the first failure
                stack.pop_back();
                continue;
            }
        }
        const NodeList& order = f.from->value.map->order;
        if (f.next >= order.count) {
            childResult = f.result;
            childDone = true;
            stack.pop_back();
            continue;
        }
        const Node* member = order.items[f.next++];
        const char16_t* name = member->name ? member->name : u"";
        const size_t n = textLength(name);
        Node* existing = mapFind(f.to->value.map, name, n);
        if (existing) {
            if (isObject(existing) && isObject(member)) {
                stack.push_back({existing, member, 0, false});
                continue;
            }
            Node* copy = deepCopy(f.to->pool, member);
            childResult = copy && replaceMember(existing, copy);
            childDone = true;
        } else if (addMissing) {
            Node* copy = deepCopy(f.to->pool, member);
            childResult = copy && mapInsert(f.to, copy, name, n);
            if (copy && !childResult) releasePayload(copy);
            childDone = true;
        }
    }
    return childResult;
}

bool mergeJsonInto(Node* target, std::u16string_view json, int32_t options, bool addMissing) {
    if (!target) return false;
    Node* temp = createNode(target->pool, kObject);
    if (!temp) return false;
    if (parseInto(temp, json, options, nullptr) != kParseOk) {
        releasePayload(temp);
        return false;
    }
    try {
        const bool merged = mergeInto(target, temp, addMissing);
        if (isObject(target) && temp->kind == kObject && !temp->parent) releasePayload(temp);
        return merged;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool mergeObjectInto(Node* target, const JsonNode& source) {
    auto* src = reinterpret_cast<const Node*>(source.rawNode());
    if (!target || !isObject(src) || !makeContainer(target, kObject)) return false;
    // Counted first: the source may be the target itself, whose members are replaced as we go.
    const uint32_t count = src->value.map->order.count;
    for (uint32_t i = 0; i < count && i < src->value.map->order.count; ++i) {
        const Node* member = src->value.map->order.items[i];
        const char16_t* name = member->name ? member->name : u"";
        Node* copy = deepCopy(target->pool, member);
        if (!copy) return false;
        if (!mapInsert(target, copy, name, textLength(name))) {
            releasePayload(copy);
            return false;
        }
    }
    return true;
}

bool appendAllInto(Node* target, const JsonNode& source) {
    auto* src = reinterpret_cast<const Node*>(source.rawNode());
    if (!target || !src || src->kind != kArray || !src->value.list || !makeContainer(target, kArray))
        return false;
    const uint32_t count = src->value.list->count;  // the source may be the target: copy what was there
    for (uint32_t i = 0; i < count; ++i) {
        Node* copy = deepCopy(target->pool, src->value.list->items[i]);
        if (!copy) return false;
        if (!appendElement(target, copy)) {
            releasePayload(copy);
            return false;
        }
    }
    return true;
}

// --- sorting ----------------------------------------------------------------------------------------

// The in-place quicksort both sorts share: median of three moved to lo as the pivot, then a hole that
// walks in from both ends. The smaller side is sorted first by recursion and the larger one by the loop,
// so the stack stays logarithmic whatever the input.
template <class T, class Compare>
void quicksort(T* a, int64_t lo, int64_t hi, Compare& cmp) {
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (cmp(a[lo], a[hi]) > 0) std::swap(a[lo], a[hi]);
        if (cmp(a[mid], a[hi]) > 0) std::swap(a[mid], a[hi]);
        if (cmp(a[mid], a[lo]) > 0) std::swap(a[mid], a[lo]);
        T pivot = a[lo];
        int64_t i = lo;
        int64_t j = hi;
        while (i < j) {
            while (i < j && cmp(a[j], pivot) >= 0)
                --j;
            if (i < j) a[i++] = a[j];
            while (i < j && cmp(a[i], pivot) <= 0)
                ++i;
            if (i < j) a[j--] = a[i];
        }
        a[i] = pivot;
        if (i - lo < hi - i) {
            quicksort(a, lo, i - 1, cmp);
            lo = i + 1;
        } else {
            quicksort(a, i + 1, hi, cmp);
            hi = i - 1;
        }
    }
}

// sortMembers compares with the C library's wcscoll under the process's LC_COLLATE locale (the user's
// locale once the program has called setlocale, byte order of code points under "C"), and folds case
// with towlower under LC_CTYPE when asked to ignore it: the locale-aware comparison this platform has.
//
// A member name as wide characters for the C library's collation: surrogate pairs combined, lone halves
// kept as they are; case folded when asked.
std::wstring collationKey(const char16_t* name, bool ignoreCase) {
    std::wstring out;
    for (const char16_t* p = name ? name : u""; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        }
        wchar_t w = static_cast<wchar_t>(c);
        if (ignoreCase) w = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(w)));
        out.push_back(w);
    }
    return out;
}

bool sortMembersOf(Node* target, int32_t descending, bool ignoreCase) {
    if (!isObject(target)) return false;
    NodeList& order = target->value.map->order;
    if (order.count < 2) return true;
    try {
        struct Entry {
            Node* node;
            std::wstring key;
        };
        std::vector<Entry> entries;
        entries.reserve(order.count);
        for (uint32_t i = 0; i < order.count; ++i) {
            entries.push_back({order.items[i], collationKey(order.items[i]->name, ignoreCase)});
        }
        std::vector<Entry*> refs;
        for (auto& e : entries)
            refs.push_back(&e);
        const bool down = descending & 1;
        auto cmp = [down](const Entry* a, const Entry* b) {
            const int r = std::wcscoll(a->key.c_str(), b->key.c_str());
            return down ? -r : r;
        };
        quicksort(refs.data(), 0, static_cast<int64_t>(refs.size()) - 1, cmp);
        for (uint32_t i = 0; i < order.count; ++i)
            order.items[i] = refs[i]->node;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void sortWithOf(Node* target, JsonCompare compare, void* context) {
    NodeList* list = nullptr;
    if (target && target->kind == kArray) list = target->value.list;
    if (isObject(target)) list = &target->value.map->order;
    if (!list || !compare || list->count < 2) return;
    auto cmp = [compare, context](Node* a, Node* b) {
        return compare(reinterpret_cast<intptr_t>(a), reinterpret_cast<intptr_t>(b), context);
    };
    // Sorted in a copy: a caller's routine that edits the list meanwhile cannot pull it from under the
    // sort. The order is written back only when the list still has its entries.
    try {
        std::vector<Node*> items(list->items, list->items + list->count);
        quicksort(items.data(), 0, static_cast<int64_t>(items.size()) - 1, cmp);
        if (list->count == items.size()) std::copy(items.begin(), items.end(), list->items);
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace

// --- removal and clearing ---------------------------------------------------------------------------

bool JsonNode::removeMemberWide(std::u16string_view path, std::u16string_view name) {
    return removeMemberOf(writeAt(node_, path), name);
}
bool JsonNode::removeMember(std::string_view path, std::string_view name) {
    return removeMemberOf(writeAt(node_, path), wide(name));
}
bool JsonNode::removeElement(std::string_view path, int32_t index) {
    return removeElementOf(writeAt(node_, path), index);
}
bool JsonNode::removeElementWide(std::u16string_view path, int32_t index) {
    return removeElementOf(writeAt(node_, path), index);
}
void JsonNode::clear(std::string_view path) {
    clearNode(writeAt(node_, path));
}
void JsonNode::clearWide(std::u16string_view path) {
    clearNode(writeAt(node_, path));
}

// --- builders ---------------------------------------------------------------------------------------

intptr_t JsonNode::newNode(int32_t kind) {
    if (!node_) return 0;
    return reinterpret_cast<intptr_t>(defaultNode(node_->pool, kind));
}

JsonNode JsonNode::addMember(std::string_view path, std::string_view name, int32_t kind) {
    return buildMember(*this, writeAt(node_, path), wide(name), kind, -1);
}
JsonNode JsonNode::addMemberWide(std::u16string_view path, std::u16string_view name, int32_t kind) {
    return buildMember(*this, writeAt(node_, path), name, kind, -1);
}
JsonNode JsonNode::insertMemberWide(std::u16string_view path, int32_t position, std::u16string_view name,
                                    int32_t kind) {
    if (position < 0) return JsonNode();
    return buildMember(*this, writeAt(node_, path), name, kind, position);
}
JsonNode JsonNode::insertMember(std::string_view path, int32_t position, std::string_view name,
                                int32_t kind) {
    if (position < 0) return JsonNode();
    return buildMember(*this, writeAt(node_, path), wide(name), kind, position);
}
bool JsonNode::addMemberCopy(std::string_view path, std::string_view name, const JsonNode& source) {
    return addCopyOf(writeAt(node_, path), wide(name), source);
}
bool JsonNode::addMemberCopyWide(std::u16string_view path, std::u16string_view name, const JsonNode& source) {
    return addCopyOf(writeAt(node_, path), name, source);
}

JsonNode JsonNode::appendElement(std::string_view path, int32_t kind) {
    return buildElement(*this, writeAt(node_, path), kind, -1);
}
JsonNode JsonNode::appendElementWide(std::u16string_view path, int32_t kind) {
    return buildElement(*this, writeAt(node_, path), kind, -1);
}
JsonNode JsonNode::insertElement(std::string_view path, int32_t index, int32_t kind) {
    if (index < 0) return JsonNode();
    return buildElement(*this, writeAt(node_, path), kind, index);
}
JsonNode JsonNode::insertElementWide(std::u16string_view path, int32_t index, int32_t kind) {
    if (index < 0) return JsonNode();
    return buildElement(*this, writeAt(node_, path), kind, index);
}

bool JsonNode::setElementCopy(std::string_view path, int32_t index, const JsonNode& source) {
    return setCopyAt(writeAt(node_, path), index, source);
}
bool JsonNode::setElementCopyWide(std::u16string_view path, int32_t index, const JsonNode& source) {
    return setCopyAt(writeAt(node_, path), index, source);
}

// --- setters ----------------------------------------------------------------------------------------

bool JsonNode::setObject(std::string_view path) {
    Node* n = writeAt(node_, path);
    return n && makeContainer(n, kObject);
}
bool JsonNode::setObjectWide(std::u16string_view path) {
    Node* n = writeAt(node_, path);
    return n && makeContainer(n, kObject);
}
bool JsonNode::setArray(std::string_view path) {
    Node* n = writeAt(node_, path);
    return n && makeContainer(n, kArray);
}
bool JsonNode::setArrayWide(std::u16string_view path) {
    Node* n = writeAt(node_, path);
    return n && makeContainer(n, kArray);
}
bool JsonNode::setString(std::string_view path, std::string_view text) {
    Node* n = writeAt(node_, path);
    if (!n) return false;
    const std::u16string w = wide(Text(text).view());  // a text ends at its first zero byte
    return setScalar(n, kString, Value{}, w.data(), w.size());
}
bool JsonNode::setStringWide(std::u16string_view path, std::u16string_view text) {
    Node* n = writeAt(node_, path);
    if (!n) return false;
    const size_t zero = text.find(u'\0');  // document texts end at their first zero unit
    if (zero != std::u16string_view::npos) text = text.substr(0, zero);
    return setScalar(n, kString, Value{}, text.data(), text.size());
}
bool JsonNode::setNullWide(std::u16string_view path) {
    Node* n = writeAt(node_, path);
    return n && setScalar(n, kNull, Value{});
}
bool JsonNode::setNull(std::string_view path) {
    Node* n = writeAt(node_, path);
    return n && setScalar(n, kNull, Value{});
}
bool JsonNode::setBoolWide(std::u16string_view path, bool flag) {
    Node* n = writeAt(node_, path);
    Value v{};
    v.integer = flag;
    return n && setScalar(n, kBoolean, v);
}
bool JsonNode::setBool(std::string_view path, bool flag) {
    Node* n = writeAt(node_, path);
    Value v{};
    v.integer = flag;
    return n && setScalar(n, kBoolean, v);
}
bool JsonNode::setRealWide(std::u16string_view path, double value) {
    Node* n = writeAt(node_, path);
    Value v{};
    v.real = value;
    return n && setScalar(n, kReal, v);
}
bool JsonNode::setReal(std::string_view path, double value) {
    Node* n = writeAt(node_, path);
    Value v{};
    v.real = value;
    return n && setScalar(n, kReal, v);
}
bool JsonNode::setInt64Wide(std::u16string_view path, int64_t value) {
    Node* n = writeAt(node_, path);
    Value v{};
    v.integer = value;
    return n && setScalar(n, kInteger, v);
}
bool JsonNode::setInt64(std::string_view path, int64_t value) {
    return setInt64Wide(wide(path), value);
}
bool JsonNode::setIntWide(std::u16string_view path, int32_t value) {
    return setInt64Wide(path, value);
}
bool JsonNode::setInt(std::string_view path, int32_t value) {
    return setInt64Wide(wide(path), value);
}
bool JsonNode::setJson(std::string_view path, std::string_view json, int32_t options) {
    return setJsonInto(writeAt(node_, path), terminated(json), options);
}
bool JsonNode::setJsonWide(std::u16string_view path, std::u16string_view json, int32_t options) {
    return setJsonInto(writeAt(node_, path), json, options);
}

// --- copies, sorting, merging -----------------------------------------------------------------------

JsonNode JsonNode::cloneWide(std::u16string_view path) {
    Node* n = writeAt(node_, path);
    return JsonNode(n ? deepCopy(n->pool, n) : nullptr);
}
JsonNode JsonNode::clone(std::string_view path) {
    Node* n = writeAt(node_, path);
    return JsonNode(n ? deepCopy(n->pool, n) : nullptr);
}
bool JsonNode::sortMembersWide(std::u16string_view path, int32_t descending, bool ignoreCase) {
    return sortMembersOf(readAt(node_, path), descending, ignoreCase);
}
bool JsonNode::sortMembers(std::string_view path, int32_t descending, bool ignoreCase) {
    return sortMembersOf(readAt(node_, path), descending, ignoreCase);
}
void JsonNode::sortWithWide(std::u16string_view path, JsonCompare compare, void* context) {
    sortWithOf(readAt(node_, path), compare, context);
}
void JsonNode::sortWith(std::string_view path, JsonCompare compare, void* context) {
    sortWithOf(readAt(node_, path), compare, context);
}
bool JsonNode::mergeJsonWide(std::u16string_view path, std::u16string_view json, int32_t options,
                             bool addMissing) {
    return mergeJsonInto(writeAt(node_, path), json, options, addMissing);
}
bool JsonNode::mergeJson(std::string_view path, std::string_view json, int32_t options, bool addMissing) {
    return mergeJsonInto(writeAt(node_, path), terminated(json), options, addMissing);
}
bool JsonNode::mergeObject(std::string_view path, const JsonNode& source) {
    return mergeObjectInto(writeAt(node_, path), source);
}
bool JsonNode::appendAll(std::string_view path, const JsonNode& source) {
    return appendAllInto(writeAt(node_, path), source);
}

}  // namespace jdsm
