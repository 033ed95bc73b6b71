// Serialisation: a tree back to JSON text.

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "json/JsonDocument.h"
#include "json/JsonModel.h"
#include "json/JsonPath.h"
#include "text/CodePage.h"

namespace jdsm {

using namespace json_detail;

namespace {

// The growing output: when an append does not fit (with room for a terminator) the buffer grows to twice
// its capacity plus what the append needs, so callers that know the size can avoid regrowth. It lives on
// the heap, not in the document: writing a document out must not make it grow.
class Output {
  public:
    explicit Output(int32_t initialCapacityBytes) {
        const size_t bytes = initialCapacityBytes > 0 ? static_cast<size_t>(initialCapacityBytes) : 1024;
        text_.resize(std::max<size_t>(bytes / sizeof(char16_t), 1));
    }
    void put(char16_t c) {
        make(1);
        text_[length_++] = c;
    }
    void put(std::u16string_view s) {
        make(s.size());
        std::memcpy(text_.data() + length_, s.data(), s.size() * sizeof(char16_t));
        length_ += s.size();
    }
    void tabs(int32_t depth) {
        make(static_cast<size_t>(depth));
        for (int32_t i = 0; i < depth; ++i)
            text_[length_++] = u'\t';
    }
    std::u16string take() {
        text_.resize(length_);
        return std::move(text_);
    }

  private:
    void make(size_t units) {
        if (length_ + units + 1 > text_.size()) text_.resize(2 * text_.size() + units + 1);
    }
    std::u16string text_;  // its size is the capacity; length_ units are written
    size_t length_ = 0;
};

constexpr auto kEscaped = [] {
    std::array<bool, 128> t{};
    for (const char c : {'\\', '/', '"', '\b', '\t', '\n', '\f', '\r'})
        t[static_cast<unsigned char>(c)] = true;
    return t;
}();

void putString(Output& out, const char16_t* s, bool escape) {
    out.put(u'"');
    if (s) {
        const char16_t* run = s;
        for (const char16_t* p = s; *p; ++p) {
            char16_t e = 0;
            if (escape && *p < 128 && kEscaped[*p]) {
                switch (*p) {
                    case u'\\':
                    case u'/':
                    case u'"':
                        e = *p;
                        break;
                    case 8:
                        e = u'b';
                        break;
                    case 9:
                        e = u't';
                        break;
                    case 10:
                        e = u'n';
                        break;
                    case 12:
                        e = u'f';
                        break;
                    case 13:
                        e = u'r';
                        break;
                    default:
                        break;
                }
            }
            if (!e) continue;
            out.put(std::u16string_view(run, static_cast<size_t>(p - run)));
            out.put(u'\\');
            out.put(e);
            run = p + 1;
        }
        out.put(std::u16string_view(run));
    }
    out.put(u'"');
}

// Writes `root` with a stack of open containers of its own, so any depth writes.
void write(Output& out, const Node* root, bool pretty, bool escape) {
    struct Frame {
        const Node* node;
        uint32_t next;
    };
    std::vector<Frame> stack;
    stack.reserve(64);
    int32_t depth = 0;
    // Writes a value; a container is opened and left for the loop to fill.
    auto value = [&](const Node* n) {
        switch (n->kind) {
            case kNull:
                out.put(u"null");
                break;
            case kBoolean:
                out.put(n->value.integer ? u"true" : u"false");
                break;
            case kReal:
            case kInteger:
                if (n->textForm) out.put(std::u16string_view(n->textForm));
                break;
            case kString:
                putString(out, n->value.string, escape);
                break;
            case kArray:
                if (!n->value.list) break;  // a released container writes nothing
                out.put(u'[');
                ++depth;
                stack.push_back({n, 0});
                break;
            case kObject:
                if (!n->value.map) break;
                out.put(u'{');
                if (pretty) out.put(u"\r\n");
                ++depth;
                stack.push_back({n, 0});
                break;
            default:
                break;
        }
    };
    value(root);
    while (!stack.empty()) {
        Frame& f = stack.back();
        const Node* n = f.node;
        if (n->kind == kArray) {
            const NodeList* list = n->value.list;
            if (f.next < list->count) {
                if (f.next > 0) out.put(u',');
                value(list->items[f.next++]);  // may push: f is not used after this
                continue;
            }
            out.put(u']');
            --depth;
            stack.pop_back();
            continue;
        }
        const NodeList& order = n->value.map->order;
        if (f.next > 0) {  // the previous member's value is complete
            if (f.next < order.count) out.put(u',');
            if (pretty) out.put(u"\r\n");
        }
        if (f.next < order.count) {
            const Node* m = order.items[f.next++];
            if (pretty && depth > 0) out.tabs(depth);
            putString(out, m->name, escape);
            out.put(u':');
            value(m);
            continue;
        }
        --depth;
        if (pretty && depth > 0) out.tabs(depth);
        out.put(u'}');
        stack.pop_back();
    }
}

template <class P>
std::u16string toJsonAt(json_detail::Node* start, P path, bool pretty, bool escape, int32_t initialCapacity,
                        bool& found) {
    found = false;
    if (!start) return {};
    const Node* n = resolveRead(start, ParsedPath(path));
    if (!n) return {};
    found = true;
    try {
        Output out(initialCapacity);
        write(out, n, pretty, escape);
        return out.take();
    } catch (const std::bad_alloc&) {
        found = false;
        return {};
    }
}

}  // namespace

std::u16string JsonNode::toJsonWide(std::u16string_view path, bool pretty, bool escape,
                                    int32_t initialCapacity) const {
    bool found = false;
    return toJsonAt(node_, path, pretty, escape, initialCapacity, found);
}

Text JsonNode::toJson(std::string_view path, bool pretty, bool escape, int32_t initialCapacity) const {
    bool found = false;
    const std::u16string w = toJsonAt(node_, path, pretty, escape, initialCapacity, found);
    std::string local;
    codepage::appendWideToLocal(w, local);
    return Text(std::move(local));
}

}  // namespace jdsm
