#include "json/JsonPath.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "json/JsonParser.h"
#include "text/CodePage.h"

namespace jdsm::json_detail {

ParsedPath::ParsedPath(std::u16string_view path) {
    text_.resize(path.size());
    if (!path.empty()) std::memcpy(text_.data(), path.data(), path.size() * sizeof(char16_t));
    parse();
}

ParsedPath::ParsedPath(std::string_view path) {
    bool ascii = true;
    for (const char c : path)
        ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        text_.resize(path.size());
        for (size_t i = 0; i < path.size(); ++i)
            text_[i] = static_cast<char16_t>(path[i]);
    } else {
        const std::u16string wide = codepage::localToWide(path);
        text_.resize(wide.size());
        std::memcpy(text_.data(), wide.data(), wide.size() * sizeof(char16_t));
    }
    parse();
}

void ParsedPath::parse() {
    char16_t* buf = text_.data();
    const size_t n = text_.size();
    // Escapes are removed in place: w trails r, and every position below is one of the compacted text.
    size_t w = 0;
    size_t segmentStart = 0;
    size_t bracketStart = 0;
    bool bracketSeen = false;
    auto nameStep = [&] {
        if (w > segmentStart) steps_.push_back(PathStep{kNameStep, buf + segmentStart, w - segmentStart, 0});
    };
    for (size_t r = 0; r <= n;) {
        if (r == n) {
            nameStep();
            break;
        }
        const char16_t c = buf[r];
        if (c == u'\\' && r + 1 < n &&
            (buf[r + 1] == u'.' || buf[r + 1] == u'[' || buf[r + 1] == u']' || buf[r + 1] == u'\\')) {
            buf[w++] = buf[r + 1];
            r += 2;
            continue;
        }
        buf[w] = c;
        if (c == u'.') {
            nameStep();
            segmentStart = w + 1;
        } else if (c == u'[') {
            nameStep();
            segmentStart = bracketStart = w + 1;
            bracketSeen = true;
        } else if (c == u']') {
            if (bracketSeen) {
                const int64_t v = readInt64(buf + bracketStart, w - bracketStart);
                const int32_t index = static_cast<int32_t>(std::clamp<int64_t>(
                    v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
                steps_.push_back(PathStep{kIndexStep, nullptr, 0, index});
            }
            segmentStart = w + 1;
        }
        ++w;
        ++r;
    }
}

Node* resolveRead(Node* start, const ParsedPath& path) {
    Node* cur = start;
    for (size_t i = 0; cur && i < path.size(); ++i) {
        const PathStep& s = path[i];
        if (s.kind == kNameStep) {
            cur = cur->kind == kObject ? mapFind(cur->value.map, s.name, s.nameLength) : nullptr;
        } else {
            cur = listAt(childList(cur), s.index);
        }
    }
    return cur;
}

Node* resolveWrite(Node* start, const ParsedPath& path) {
    Node* cur = start;
    for (size_t i = 0; cur && i < path.size(); ++i) {
        const PathStep& s = path[i];
        if (s.kind == kNameStep) {
            if (!makeContainer(cur, kObject)) return nullptr;
            Node* m = mapFind(cur->value.map, s.name, s.nameLength);
            if (!m) {
                m = createNode(cur->pool, kNull);
                if (!m || !mapInsert(cur, m, s.name, s.nameLength)) return nullptr;
            }
            cur = m;
        } else {
            if (s.index < 0) return nullptr;
            if (!makeContainer(cur, kArray)) return nullptr;
            NodeList* list = cur->value.list;
            if (static_cast<int64_t>(s.index) - list->count >= kMaxPadding) return nullptr;
            while (list->count <= static_cast<uint32_t>(s.index)) {
                Node* pad = createNode(cur->pool, kNull);
                if (!pad || !appendElement(cur, pad)) return nullptr;
            }
            cur = list->items[s.index];
        }
    }
    return cur;
}

}  // namespace jdsm::json_detail
