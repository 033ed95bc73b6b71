#include "json/JsonDocument.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "json/JsonModel.h"
#include "json/JsonParser.h"
#include "json/JsonPath.h"
#include "text/CodePage.h"

namespace jdsm {

using namespace json_detail;

namespace {

template <class P>
Node* readAt(Node* start, P path) {
    if (!start) return nullptr;
    return resolveRead(start, ParsedPath(path));
}

template <class P>
Node* writeAt(Node* start, P path) {
    if (!start) return nullptr;
    return resolveWrite(start, ParsedPath(path));
}

std::u16string_view textOf(const Node* n) {
    if (!n) return {};
    if (n->kind == kString)
        return n->value.string ? std::u16string_view(n->value.string) : std::u16string_view();
    if (n->kind == kReal || n->kind == kInteger || n->kind == kBoolean) {
        return n->textForm ? std::u16string_view(n->textForm) : std::u16string_view();
    }
    return {};
}

std::u16string_view textFormOf(const Node* n) {
    if (!n || !(n->kind == kReal || n->kind == kInteger || n->kind == kBoolean) || !n->textForm) return {};
    return n->textForm;
}

Text toLocal(std::u16string_view w) {
    std::string out;
    codepage::appendWideToLocal(w, out);
    return Text(std::move(out));
}

int64_t truncateReal(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

bool boolOf(const Node* n) {
    if (!n) return false;
    switch (n->kind) {
        case kReal:
            return std::fabs(realValue(n)) > 0.0000001;
        case kInteger:
            return static_cast<uint32_t>(n->value.integer) != 0;
        case kBoolean:
            return n->value.integer != 0;
        default:
            return false;
    }
}

double realOf(const Node* n) {
    if (!n) return 0.0;
    switch (n->kind) {
        case kReal:
            return realValue(n);
        case kInteger:
            return static_cast<double>(n->value.integer);
        case kBoolean:
            return n->value.integer ? 1.0 : 0.0;
        case kString: {
            if (!n->value.string) return 0.0;
            std::string local;
            codepage::appendWideToLocal(n->value.string, local);
            return readReal(local.data(), local.size());
        }
        default:
            return 0.0;
    }
}

int64_t int64Of(const Node* n) {
    if (!n) return 0;
    switch (n->kind) {
        case kReal:
            return truncateReal(realValue(n));
        case kInteger:
            return n->value.integer;
        case kBoolean:
            return n->value.integer ? 1 : 0;
        case kString:
            return n->value.string ? readInt64(n->value.string, textLength(n->value.string)) : 0;
        default:
            return 0;
    }
}

int32_t intOf(const Node* n) {
    if (n && n->kind == kString) {
        // Read as a 32-bit number in its own right: out-of-range text saturates at the 32-bit limits.
        const int64_t v = int64Of(n);
        return static_cast<int32_t>(
            std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    }
    return static_cast<int32_t>(static_cast<uint64_t>(int64Of(n)) & 0xFFFFFFFFu);  // the low 32 bits
}

int32_t countOf(const Node* n) {
    const NodeList* list = childList(n);
    return list ? static_cast<int32_t>(list->count) : 0;
}

JsonNode memberOf(Node* object, std::u16string_view name) {
    if (!object || object->kind != kObject) return JsonNode();
    return JsonNode(mapFind(object->value.map, name.data(), name.size()));
}

template <class Names, class Convert>
int32_t memberNamesOf(const Node* n, Names& names, Convert convert) {
    if (!n || n->kind != kObject || !n->value.map) return 0;
    const NodeList& order = n->value.map->order;
    names.clear();
    names.reserve(order.count);
    for (uint32_t i = 0; i < order.count; ++i) {
        const char16_t* name = order.items[i]->name;
        names.push_back(convert(name ? std::u16string_view(name) : std::u16string_view()));
    }
    return static_cast<int32_t>(order.count);
}

int32_t childrenOf(const Node* n, std::vector<JsonNode>& nodes) {
    const NodeList* list = childList(n);
    if (!list || list->count == 0) return 0;
    nodes.clear();
    nodes.reserve(list->count);
    for (uint32_t i = 0; i < list->count; ++i)
        nodes.emplace_back(list->items[i]);
    return static_cast<int32_t>(list->count);
}

std::u16string wideFromLocal(std::string_view s) {
    return codepage::localToWide(s);
}

}  // namespace

// --- JsonNode ---------------------------------------------------------------------------------------

JsonValueKind JsonNode::getKind(std::string_view path) const {
    const Node* n = readAt(node_, path);
    return static_cast<JsonValueKind>(n ? n->kind : kMissing);
}
JsonValueKind JsonNode::getKindWide(std::u16string_view path) const {
    const Node* n = readAt(node_, path);
    return static_cast<JsonValueKind>(n ? n->kind : kMissing);
}

JsonNode JsonNode::getParent(std::string_view path) const {
    const Node* n = readAt(node_, path);
    return JsonNode(n ? n->parent : nullptr);
}
JsonNode JsonNode::getParentWide(std::u16string_view path) const {
    const Node* n = readAt(node_, path);
    return JsonNode(n ? n->parent : nullptr);
}

int32_t JsonNode::getCount(std::string_view path) const {
    return countOf(readAt(node_, path));
}
int32_t JsonNode::getCountWide(std::u16string_view path) const {
    return countOf(readAt(node_, path));
}

JsonNode JsonNode::getMember(std::string_view path, std::string_view name) const {
    Node* n = readAt(node_, path);
    if (!n) return JsonNode();
    return memberOf(n, wideFromLocal(name));
}
JsonNode JsonNode::getMemberWide(std::u16string_view path, std::u16string_view name) const {
    return memberOf(readAt(node_, path), name);
}

std::u16string JsonNode::getNameWide(std::u16string_view path) const {
    const Node* n = readAt(node_, path);
    return n && n->name ? std::u16string(n->name) : std::u16string();
}
Text JsonNode::getName(std::string_view path) const {
    const Node* n = readAt(node_, path);
    return n && n->name ? toLocal(n->name) : Text();
}

JsonNode JsonNode::getElement(std::string_view path, int32_t index) const {
    return JsonNode(listAt(childList(readAt(node_, path)), index));
}
JsonNode JsonNode::getElementWide(std::u16string_view path, int32_t index) const {
    return JsonNode(listAt(childList(readAt(node_, path)), index));
}

bool JsonNode::existsWide(std::u16string_view path) const {
    return !path.empty() && readAt(node_, path);
}
bool JsonNode::exists(std::string_view path) const {
    return !path.empty() && readAt(node_, path);
}

JsonNode JsonNode::getNode(std::string_view path) {
    return JsonNode(writeAt(node_, path));
}
JsonNode JsonNode::getNodeWide(std::u16string_view path) {
    return JsonNode(writeAt(node_, path));
}

Text JsonNode::getTextForm(std::string_view path) const {
    return toLocal(textFormOf(readAt(node_, path)));
}
std::u16string JsonNode::getTextFormWide(std::u16string_view path) const {
    return std::u16string(textFormOf(readAt(node_, path)));
}

Text JsonNode::getText(std::string_view path, int32_t /*unused*/) const {
    return toLocal(textOf(readAt(node_, path)));
}
std::u16string JsonNode::getTextWide(std::u16string_view path) const {
    return std::u16string(textOf(readAt(node_, path)));
}

bool JsonNode::getBoolWide(std::u16string_view path) const {
    return boolOf(readAt(node_, path));
}
bool JsonNode::getBool(std::string_view path) const {
    return boolOf(readAt(node_, path));
}
double JsonNode::getRealWide(std::u16string_view path) const {
    return realOf(readAt(node_, path));
}
double JsonNode::getReal(std::string_view path) const {
    return realOf(readAt(node_, path));
}
int64_t JsonNode::getInt64Wide(std::u16string_view path) const {
    return int64Of(readAt(node_, path));
}
int64_t JsonNode::getInt64(std::string_view path) const {
    return int64Of(readAt(node_, path));
}
int32_t JsonNode::getIntWide(std::u16string_view path) const {
    return intOf(readAt(node_, path));
}
int32_t JsonNode::getInt(std::string_view path) const {
    return intOf(readAt(node_, path));
}

int32_t JsonNode::getMemberNamesWide(std::u16string_view path, std::vector<std::u16string>& names) const {
    return memberNamesOf(readAt(node_, path), names, [](std::u16string_view s) { return std::u16string(s); });
}
int32_t JsonNode::getMemberNames(std::string_view path, TextList& names) const {
    return memberNamesOf(readAt(node_, path), names, [](std::u16string_view s) { return toLocal(s); });
}

int32_t JsonNode::getChildrenWide(std::u16string_view path, std::vector<JsonNode>& nodes) const {
    return childrenOf(readAt(node_, path), nodes);
}
int32_t JsonNode::getChildren(std::string_view path, std::vector<JsonNode>& nodes) const {
    return childrenOf(readAt(node_, path), nodes);
}

// --- JsonDocument -----------------------------------------------------------------------------------

JsonDocument::JsonDocument(JsonDocument&& other) noexcept : JsonNode(other.node_), root_(other.root_) {
    other.node_ = nullptr;
    other.root_ = nullptr;
}

JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept {
    if (this != &other) {
        close();
        node_ = other.node_;
        root_ = other.root_;
        other.node_ = nullptr;
        other.root_ = nullptr;
    }
    return *this;
}

void JsonDocument::close() {
    if (root_) {
        // The arena holds every block of the tree, so the tree needs no walk of its own.
        Arena::destroy(root_->pool);
    }
    root_ = nullptr;
    node_ = nullptr;
}

bool JsonDocument::ensureDocument() {
    if (!root_) {
        Arena* pool = Arena::create();
        if (!pool) return false;
        root_ = createNode(pool, kObject);
        if (!root_) {
            Arena::destroy(pool);
            return false;
        }
    }
    node_ = root_;
    return true;
}

bool JsonDocument::parseWide(std::u16string_view text, int32_t options, int32_t* status,
                             int32_t* errorPosition) {
    int32_t s = kParseNoDocument;
    if (errorPosition) *errorPosition = 0;
    if (ensureDocument()) s = parseInto(root_, text, options, errorPosition);
    if (status) *status = s;
    return s == kParseOk;
}

namespace {
// Code page 936 text as UTF-16 with its terminator, which counts: the empty text is one unit and parses.
bool terminatedWide(std::string_view text, std::u16string& out) {
    try {
        // JSON replies are mostly ASCII, which widens unit for unit; the code page tables take over
        // from the first double-byte character on.
        out.resize(text.size() + 1);
        size_t i = 0;
        for (; i < text.size() && static_cast<unsigned char>(text[i]) < 0x80; ++i)
            out[i] = static_cast<char16_t>(text[i]);
        if (i < text.size()) {
            out.resize(i);
            codepage::appendLocalToWide(text.substr(i), out);
            out.push_back(u'\0');
        } else {
            out[i] = u'\0';
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
}  // namespace

bool JsonDocument::parse(std::string_view text, int32_t options, int32_t* status, int32_t* errorPosition) {
    std::u16string wide;
    if (!terminatedWide(text, wide)) {
        if (status) *status = kParseOutOfMemory;
        if (errorPosition) *errorPosition = 0;
        return false;
    }
    return parseWide(wide, options, status, errorPosition);
}

bool JsonDocument::createWide(std::optional<std::u16string_view> text, int32_t options, int32_t* status,
                              int32_t* errorPosition) {
    Arena* pool = Arena::create();
    Node* root = pool ? createNode(pool, kObject) : nullptr;
    if (!root) {
        Arena::destroy(pool);
        if (status) *status = kParseOutOfMemory;
        return false;
    }
    close();
    root_ = node_ = root;
    if (!text) return status ? *status == kParseOk : true;
    const int32_t s = parseInto(root_, *text, options, errorPosition);
    if (status) *status = s;
    return s == kParseOk;
}

bool JsonDocument::create(std::optional<std::string_view> text, int32_t options, int32_t* status,
                          int32_t* errorPosition) {
    if (!text) return createWide(std::nullopt, options, status, errorPosition);
    std::u16string wide;
    if (!terminatedWide(*text, wide)) {
        if (status) *status = kParseOutOfMemory;
        return false;
    }
    return createWide(std::u16string_view(wide), options, status, errorPosition);
}

}  // namespace jdsm
