// The parser reads the text once, left to right, keeping a stack of open containers and attaching every
// value as soon as it is complete. Its leniencies (quotes of either kind, unquoted names, trailing
// commas, several top-level containers, loose numbers, ...) are part of what callers rely on, so the
// token rules below are kept exactly even where they look odd; see the tests for the catalogue.
//
// Two points the rules leave open are settled here:
// - A \u escape without four hexadecimal digits behind it stays as written, backslash included.
// - A top-level text that is a single quote character is no value (-6): a string needs both quotes.

#include "json/JsonParser.h"

#include <locale.h>

#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace jdsm::json_detail {

namespace {

enum State : int32_t { kExpectName = 1, kExpectValue = 2, kAfterValue = 3 };

struct Frame {
    Node* node;
    int32_t state;
};

// The stack of open containers; it lives on the call stack until the nesting gets deep.
class FrameStack {
  public:
    ~FrameStack() {
        if (data_ != inline_) std::free(data_);
    }
    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    Frame& top() { return data_[size_ - 1]; }
    Frame& at(size_t i) { return data_[i]; }
    void pop() { --size_; }
    bool push(Node* node, int32_t state) {
        if (size_ == cap_) {
            const size_t cap = cap_ * 2;
            auto* data = static_cast<Frame*>(std::malloc(cap * sizeof(Frame)));
            if (!data) return false;
            std::memcpy(data, data_, size_ * sizeof(Frame));
            if (data_ != inline_) std::free(data_);
            data_ = data;
            cap_ = cap;
        }
        data_[size_++] = Frame{node, state};
        return true;
    }

  private:
    Frame inline_[64];
    Frame* data_ = inline_;
    size_t size_ = 0;
    size_t cap_ = 64;
};

inline bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
inline bool isSpaceC(unsigned c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

const char16_t kTrueText[] = u"true";
const char16_t kFalseText[] = u"false";

locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

// --- shared readers ---------------------------------------------------------------------------------

int64_t readInt64(const char16_t* s, size_t n) {
    size_t k = 0;
    while (k < n && isSpaceC(s[k]))
        ++k;
    bool negative = false;
    if (k < n && (s[k] == u'+' || s[k] == u'-')) negative = s[k++] == u'-';
    uint64_t v = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    bool saturated = false;
    for (; k < n && isDigit(s[k]); ++k) {
        const unsigned d = s[k] - u'0';
        if (saturated || v > (limit - d) / 10) {
            saturated = true;
            continue;
        }
        v = v * 10 + d;
    }
    if (saturated) v = limit;
    return negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
}

double readReal(const char* s, size_t n) {
    size_t k = 0;
    while (k < n && isSpaceC(static_cast<unsigned char>(s[k])))
        ++k;
    bool negative = false;
    if (k < n && (s[k] == '+' || s[k] == '-')) negative = s[k++] == '-';
    // Decimal only: from_chars would also take "inf" and "nan", which are no decimal numbers.
    if (k >= n || !(std::isdigit(static_cast<unsigned char>(s[k])) || s[k] == '.')) return 0.0;
    double v = 0.0;
    const auto r = std::from_chars(s + k, s + n, v, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument) return 0.0;
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here; strtod_l gives the infinity or zero it rounds to.
        std::string copy(s + k, static_cast<size_t>(r.ptr - (s + k)));
        v = strtod_l(copy.c_str(), nullptr, cLocale());
    }
    return negative ? -v : v;
}

void markRealPending(Node* n) {
    std::memcpy(&n->value.real, &kPendingRealBits, sizeof kPendingRealBits);
}

double realValue(const Node* n) {
    uint64_t bits;
    std::memcpy(&bits, &n->value.real, sizeof bits);
    if (bits != kPendingRealBits) return n->value.real;
    // Only plain tokens (sign, digits, point, exponent; at most 64 units) are left pending.
    char narrow[64];
    size_t k = 0;
    for (const char16_t* t = n->textForm; t && *t && k < sizeof narrow; ++t)
        narrow[k++] = static_cast<char>(*t);
    return readReal(narrow, k);
}

size_t unescape(const char16_t* in, size_t n, char16_t* out, bool decodeUnicode) {
    size_t o = 0;
    size_t k = 0;
    while (k < n) {
        const char16_t c = in[k];
        if (c != u'\\' || k + 1 >= n) {
            out[o++] = c;
            ++k;
            continue;
        }
        switch (in[k + 1]) {
            case u'\\':
            case u'/':
            case u'"':
                out[o++] = in[k + 1];
                k += 2;
                break;
            case u'b':
                out[o++] = 8;
                k += 2;
                break;
            case u't':
                out[o++] = 9;
                k += 2;
                break;
            case u'r':
                out[o++] = 13;
                k += 2;
                break;
            case u'f':
                out[o++] = 12;
                k += 2;
                break;
            case u'n':
                // A line feed escape stands for a whole line break, unless a carriage return is already
                // there (an \r\n pair) or nothing precedes it.
                if (k == 0 || (o > 0 && out[o - 1] == 13)) {
                    out[o++] = 10;
                } else {
                    out[o++] = 13;
                    out[o++] = 10;
                }
                k += 2;
                break;
            case u'u': {
                int h[4] = {-1, -1, -1, -1};
                if (decodeUnicode && k + 5 < n) {
                    for (int j = 0; j < 4; ++j)
                        h[j] = hexValue(in[k + 2 + j]);
                }
                if (h[0] < 0 || h[1] < 0 || h[2] < 0 || h[3] < 0) {
                    out[o++] = u'\\';  // left as written; the "u" follows as an ordinary unit
                    ++k;
                    break;
                }
                const auto unit = static_cast<char16_t>((h[0] << 12) | (h[1] << 8) | (h[2] << 4) | h[3]);
                if (unit != 0) out[o++] = unit;
                k += 6;
                break;
            }
            default:
                out[o++] = u'\\';
                ++k;
                break;
        }
    }
    return o;
}

// --- the parser -------------------------------------------------------------------------------------

namespace {

// What a code unit means to the token scanners; everything at or above 0x80 is plain.
enum CharClass : uint8_t {
    kPlain,
    kBlank,
    kQuote,
    kBackslash,
    kOpen,
    kCloseBracket,
    kCloseBrace,
    kComma,
    kColon
};

constexpr auto kClasses = [] {
    std::array<uint8_t, 128> t{};
    t[' '] = t['\t'] = t['\n'] = t['\r'] = kBlank;
    t['"'] = t['\''] = kQuote;
    t['\\'] = kBackslash;
    t['{'] = t['['] = kOpen;
    t[']'] = kCloseBracket;
    t['}'] = kCloseBrace;
    t[','] = kComma;
    t[':'] = kColon;
    return t;
}();

constexpr auto kPlainInArray = [] {
    std::array<bool, 128> t{};
    for (int c = 0; c < 128; ++c) {
        const uint8_t k = kClasses[c];
        t[c] = k == kPlain || k == kColon || k == kCloseBrace;
    }
    return t;
}();

inline uint8_t classOf(char16_t c) {
    return c < 128 ? kClasses[c] : uint8_t{kPlain};
}

// Number characters: digits, the point, exponent marks and signs.
enum NumberClass : uint8_t { kNotNumber, kDigit, kPoint, kExponent, kSign, kSkipped };

constexpr auto kNumberClasses = [] {
    std::array<uint8_t, 128> t{};
    for (int c = 0; c <= 32; ++c)
        t[c] = kSkipped;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = kDigit;
    t['.'] = kPoint;
    t['e'] = t['E'] = kExponent;
    t['+'] = t['-'] = kSign;
    return t;
}();

// Small texts live in the same block as their node: one allocation instead of two. Only texts far below
// the large-block size do, so releasing such a text never mistakes it for a block of its own.
constexpr size_t kInlineTextUnits = 1024;

class Parser {
  public:
    Parser(Node* target, const char16_t* s, int64_t len, int32_t options)
        : target_(target), pool_(target->pool), s_(s), len_(len), options_(options) {}

    int32_t run();
    int64_t pos() const { return pos_; }

  private:
    int32_t openContainer(int32_t kind);
    int32_t arrayStep();
    int32_t objectStep();
    int32_t outerStep();
    // Reads token t (n units) into a new node; kParseOk, kParseBadToken or kParseOutOfMemory.
    int32_t makeScalar(const char16_t* t, size_t n, bool escaped, Node** out);
    Node* newNode(size_t textUnits, char16_t** text);
    // A plain number token at pos_ ended by "," or `closer`, as a new node with pos_ on that character;
    // null (pos_ unchanged) for any other token.
    Node* plainNumber(char16_t closer);
    int32_t attachMember(Node* object, Node* child, bool nameEscaped);
    void skipEscape(int64_t& counter, bool& escaped) {
        int64_t step = (pos_ + 1 < len_ && s_[pos_ + 1] == u'u') ? 6 : 2;
        if (step > len_ - pos_) step = len_ - pos_;  // a truncated escape ends with the text
        pos_ += step;
        counter += step;
        escaped = true;
    }
    // Inside quotes only the quotes and the backslash matter: skip everything else at once.
    void skipQuoted(int64_t& counter) {
        const int64_t from = pos_;
        while (pos_ < len_) {
            const char16_t c = s_[pos_];
            if (c == u'"' || c == u'\'' || c == u'\\') break;
            ++pos_;
        }
        counter += pos_ - from;
    }

    Node* target_;
    Arena* pool_;
    const char16_t* s_;
    int64_t len_;
    int32_t options_;
    int64_t pos_ = 0;
    FrameStack stack_;
    int64_t pendingStart_ = -1;
    int64_t pendingLen_ = 0;
    // A top-level scalar always reads the whole text, so reading it again at every later character gives
    // the same value; it is read once until a top-level container intervenes.
    bool outerStored_ = false;
};

int32_t Parser::run() {
    for (pos_ = 0; pos_ <= len_; ++pos_) {
        // Indented texts are mostly blanks between tokens: pass them in one tight loop.
        while (pos_ < len_ && s_[pos_] <= u' ' && classOf(s_[pos_]) == kBlank)
            ++pos_;
        const char16_t ch = pos_ < len_ ? s_[pos_] : 0;
        int32_t r;
        switch (ch) {
            case 0:
            case u' ':
            case u'\t':
            case u'\n':
            case u'\r':
                continue;
            case u'{':
                r = openContainer(kObject);
                break;
            case u'[':
                r = openContainer(kArray);
                break;
            default:
                if (stack_.empty()) {
                    r = outerStep();
                } else {
                    r = stack_.top().node->kind == kArray ? arrayStep() : objectStep();
                }
                break;
        }
        if (r != kParseOk) return r;
    }
    return stack_.empty() ? kParseOk : kParseUnclosed;
}

int32_t Parser::openContainer(int32_t kind) {
    const int32_t state = kind == kObject ? kExpectName : kExpectValue;
    if (stack_.empty()) {
        // A top-level container fills the target itself; a second one of the same kind adds to it.
        if (!makeContainer(target_, kind)) return kParseOutOfMemory;
        outerStored_ = false;
        return stack_.push(target_, state) ? kParseOk : kParseOutOfMemory;
    }
    Frame& top = stack_.top();
    if (top.state != kExpectValue) return kParseStructure;
    Node* parent = top.node;
    if (parent->kind == kObject && (pendingStart_ < 0 || pendingLen_ == 0)) return kParseStructure;
    Node* child = createNode(pool_, kind);
    if (!child) return kParseOutOfMemory;
    if (parent->kind == kArray) {
        if (!appendElement(parent, child)) {
            releasePayload(child);
            return kParseOutOfMemory;
        }
    } else {
        bool escaped = false;
        for (int64_t k = pendingStart_; k < pendingStart_ + pendingLen_; ++k)
            escaped |= s_[k] == u'\\';
        const int32_t r = attachMember(parent, child, escaped);
        if (r != kParseOk) return r;
    }
    return stack_.push(child, state) ? kParseOk : kParseOutOfMemory;
}

int32_t Parser::outerStep() {
    if (options_ & kSkipOutsideContainers) return kParseOk;
    if (outerStored_) return kParseOk;
    bool escaped = false;
    for (int64_t k = 0; k < len_ && !escaped; ++k)
        escaped = s_[k] == u'\\';
    Node* tmp = nullptr;
    const int32_t r = makeScalar(s_, static_cast<size_t>(len_), escaped, &tmp);
    if (r != kParseOk) {
        pos_ = 0;
        return r;
    }
    // The target keeps its place in the tree (name, parent, bucket link) and takes the new payload.
    releasePayload(target_);
    target_->kind = tmp->kind;
    target_->value = tmp->value;
    target_->textForm = tmp->textForm;
    outerStored_ = true;
    // The value was the whole text: nothing in it is read again, or a "{" or "[" inside a top-level
    // string would open a container and refuse (or replace) a valid string.
    pos_ = len_;
    return kParseOk;
}

int32_t Parser::arrayStep() {
    Frame& f = stack_.top();
    if (f.state == kAfterValue) {
        f.state = kExpectValue;
        if (s_[pos_] == u',') return kParseOk;
    }
    if (f.state != kExpectValue) return kParseBadToken;
    Node* array = f.node;

    // Most elements of number-heavy texts are plain numbers ended by "," or "]": read those in one pass.
    const int64_t tokenStart = pos_;
    if (Node* number = plainNumber(u']')) {
        if (!appendElement(array, number)) {
            releasePayload(number);
            pos_ = tokenStart;
            return kParseOutOfMemory;
        }
        if (s_[pos_] == u']') {
            stack_.pop();
            if (!stack_.empty()) stack_.top().state = kAfterValue;
        }
        return kParseOk;
    }

    int64_t start = pos_;
    int64_t i = 0;
    char16_t quote = 0;
    bool escaped = false;
    while (pos_ < len_) {
        const char16_t c = s_[pos_];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else if (c == u'\\') {
                skipEscape(i, escaped);
                continue;
            } else if (c != u'"' && c != u'\'') {
                skipQuoted(i);
                continue;
            }
            ++pos_;
            ++i;
            continue;
        }
        uint8_t cls = classOf(c);
        if (cls == kPlain || cls == kColon || cls == kCloseBrace) {
            // The usual token (a number, a literal): run to its end in one tight loop.
            const int64_t from = pos_;
            do {
                ++pos_;
            } while (pos_ < len_ && (s_[pos_] >= 128 || kPlainInArray[s_[pos_]]));
            i += pos_ - from;
            continue;
        }
        if (cls == kBlank) {
            ++pos_;
            if (i == 0) start = pos_;
            continue;
        }
        if (cls == kQuote) {
            quote = c;
            ++pos_;
            ++i;
            continue;
        }
        if (cls == kBackslash) {
            skipEscape(i, escaped);
            continue;
        }
        if (cls == kOpen) {
            if (i == 0) return openContainer(c == u'{' ? kObject : kArray);
            pos_ = start;
            return kParseBadToken;
        }
        if (cls == kCloseBracket) {
            stack_.pop();
            if (!stack_.empty()) stack_.top().state = kAfterValue;
            if (i == 0) return kParseOk;
        }
        break;  // "]" after a token, or ","
    }
    if (quote != 0) {
        pos_ = start;
        return kParseOpenQuote;
    }
    if (i == 0) return kParseOk;

    Node* node = nullptr;
    int32_t r = makeScalar(s_ + start, static_cast<size_t>(i), escaped, &node);
    if (r == kParseOk && !appendElement(array, node)) {
        releasePayload(node);
        r = kParseOutOfMemory;
    }
    if (r != kParseOk) pos_ = start;
    return r;
}

int32_t Parser::objectStep() {
    const size_t depth = stack_.size();
    {
        Frame& f = stack_.top();
        if (f.state == kAfterValue) {
            f.state = kExpectName;
            if (s_[pos_] == u',') return kParseOk;
        }
        if (f.state != kExpectName) return kParseStructure;
    }
    Node* object = stack_.top().node;

    int64_t nameStart = pos_;
    int64_t nameLen = 0;
    int64_t valueStart = 0;
    int64_t i = 0;
    char16_t quote = 0;
    bool nameClosed = false;
    bool inValue = false;
    bool nameEscaped = false;
    bool valueEscaped = false;
    auto sync = [&] {
        pendingStart_ = nameStart;
        pendingLen_ = nameLen;
    };
    while (pos_ < len_) {
        const char16_t c = s_[pos_];
        int64_t& counter = inValue ? i : nameLen;
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
                ++pos_;
                if (inValue) {
                    ++i;
                } else {
                    nameClosed = true;
                }
            } else if (c == u'\\') {
                skipEscape(counter, inValue ? valueEscaped : nameEscaped);
            } else if (c == u'"' || c == u'\'') {
                ++pos_;
                ++counter;
            } else if (!inValue && nameClosed) {  // after a closed name, even inside new quotes
                sync();
                return kParseStructure;
            } else {
                skipQuoted(counter);
            }
            continue;
        }
        const uint8_t cls = classOf(c);
        switch (cls) {
            case kBlank:
                ++pos_;
                if (!inValue) {
                    if (nameLen == 0) nameStart = pos_;
                } else if (i == 0) {
                    valueStart = pos_;
                }
                continue;
            case kQuote:
                if (!inValue) {
                    if (nameLen > 0) {  // a quote opening after name characters
                        sync();
                        return kParseStructure;
                    }
                    quote = c;
                    ++pos_;
                    nameStart = pos_;
                } else {
                    quote = c;
                    ++pos_;
                    ++i;
                }
                continue;
            case kBackslash:
                skipEscape(counter, inValue ? valueEscaped : nameEscaped);
                continue;
            case kColon:
                if (inValue) break;  // an ordinary character of the value
                if (nameLen == 0) {  // empty names are refused
                    sync();
                    return kParseStructure;
                }
                ++pos_;
                valueStart = pos_;
                i = 0;
                stack_.top().state = kExpectValue;
                inValue = true;
                while (pos_ < len_ && s_[pos_] <= u' ' && classOf(s_[pos_]) == kBlank)
                    valueStart = ++pos_;
                if (Node* number = pos_ < len_ ? plainNumber(u'}') : nullptr) {
                    // A plain number ended by "," or "}": the common member, read in one pass.
                    sync();
                    if (s_[pos_] == u'}') {
                        stack_.pop();
                        if (!stack_.empty()) stack_.top().state = kAfterValue;
                    } else {
                        stack_.top().state = kExpectName;
                    }
                    const int32_t r = attachMember(object, number, nameEscaped);
                    if (r != kParseOk) pos_ = valueStart;
                    return r;
                }
                continue;
            case kOpen:
                sync();
                if (i == 0) return openContainer(c == u'{' ? kObject : kArray);
                pos_ = valueStart;
                return kParseBadToken;
            case kCloseBrace:
                stack_.pop();
                if (!stack_.empty()) stack_.top().state = kAfterValue;
                if (nameLen == 0) {
                    sync();
                    return kParseOk;  // the object is closed, as in {} or after a trailing ","
                }
                goto scanned;
            case kComma:
                goto scanned;
            default:
                break;
        }
        if (!inValue && nameClosed) {  // only blanks and ":" may follow a quoted name
            sync();
            return kParseStructure;
        }
        ++pos_;
        ++counter;
    }
scanned:
    sync();
    if (nameLen == 0 && i > 0) {
        pos_ = nameStart;
        return kParseStructure;
    }
    if (nameLen > 0 && i == 0) {
        pos_ = valueStart;
        return kParseBadToken;
    }
    if (quote != 0) {
        pos_ = nameStart >= 0 ? nameStart : valueStart;
        return kParseOpenQuote;
    }
    if (stack_.size() == depth) stack_.top().state = kExpectName;
    if (i == 0) return kParseBadToken;

    Node* node = nullptr;
    int32_t r = makeScalar(s_ + valueStart, static_cast<size_t>(i), valueEscaped, &node);
    if (r == kParseOk) r = attachMember(object, node, nameEscaped);
    if (r != kParseOk) pos_ = valueStart;
    return r;
}

int32_t Parser::attachMember(Node* object, Node* child, bool nameEscaped) {
    const char16_t* name = s_ + pendingStart_;
    size_t n = static_cast<size_t>(pendingLen_);
    char16_t small[128];
    std::u16string big;
    if (nameEscaped) {
        char16_t* buf = small;
        if (n > std::size(small)) {
            big.resize(n);
            buf = big.data();
        }
        n = unescape(name, n, buf, options_ & kDecodeUnicodeEscapes);
        name = buf;
    }
    pendingStart_ = -1;
    pendingLen_ = 0;
    if (!mapInsert(object, child, name, n)) {
        releasePayload(child);
        return kParseOutOfMemory;
    }
    return kParseOk;
}

Node* Parser::plainNumber(char16_t closer) {
    // Anything unusual (blanks, a second point, a long token, the end of the text) is left to the
    // general scan, which then reads the token under the full rules.
    char narrow[64];
    size_t k = 0;
    int64_t p = pos_;
    bool dot = false, exponent = false, innerSign = false;
    while (p < len_ && k < sizeof narrow) {
        const char16_t c = s_[p];
        if (static_cast<char16_t>(c - u'0') > 9) {
            if (c == u'.') {
                if (dot) return nullptr;
                dot = true;
            } else if (c == u'e' || c == u'E') {
                if (k == 0 || exponent) return nullptr;
                exponent = true;
            } else if (c == u'+' || c == u'-') {
                if (k > 0) {
                    if (innerSign) return nullptr;
                    innerSign = true;
                }
            } else {
                break;
            }
        }
        narrow[k++] = static_cast<char>(c);
        ++p;
    }
    if (k == 0 || p >= len_ || (s_[p] != u',' && s_[p] != closer)) return nullptr;
    char16_t* text = nullptr;
    Node* node = newNode(k, &text);
    if (!node) return nullptr;
    node->pool = pool_;
    // Copied in 8-byte steps: an inline variable-length copy of a few units costs more than the copy.
    const char16_t* from = s_ + pos_;
    size_t j = 0;
    for (; j + 4 <= k; j += 4) {
        uint64_t chunk;
        std::memcpy(&chunk, from + j, sizeof chunk);
        std::memcpy(text + j, &chunk, sizeof chunk);
    }
    for (; j < k; ++j)
        text[j] = from[j];
    node->textForm = text;
    if (!dot && !exponent && !innerSign) {
        node->kind = kInteger;
        node->value.integer = readInt64(text, k);
    } else {
        node->kind = kReal;
        markRealPending(node);
    }
    pos_ = p;
    return node;
}

Node* Parser::newNode(size_t textUnits, char16_t** text) {
    if (textUnits == 0) return pool_->make<Node>();
    if (textUnits < kInlineTextUnits) {
        auto* node = static_cast<Node*>(pool_->allocate(sizeof(Node) + (textUnits + 1) * sizeof(char16_t)));
        if (node) *text = reinterpret_cast<char16_t*>(node + 1);
        return node;
    }
    auto* t = static_cast<char16_t*>(pool_->allocate((textUnits + 1) * sizeof(char16_t)));
    if (!t) return nullptr;
    *text = t;
    return pool_->make<Node>();
}

int32_t Parser::makeScalar(const char16_t* t, size_t n, bool escaped, Node** out) {
    const char16_t first = t[0];
    if (first == u'"' || first == u'\'') {
        if (n < 2 || t[n - 1] != first) return kParseBadToken;
        char16_t* text = nullptr;
        Node* node = newNode(n - 2, &text);
        if (!node) return kParseOutOfMemory;
        node->pool = pool_;
        node->kind = kString;
        if (n == 2) {
            // the empty string holds no text
        } else if (!escaped) {
            std::memcpy(text, t + 1, (n - 2) * sizeof(char16_t));
            node->value.string = text;
        } else {
            // Escapes are resolved over the whole token, quotes included, and the quotes dropped
            // afterwards, so an escape may reach into the closing quote exactly as in the written text.
            // The result is never longer than the token, so it fits the text block once the quotes go.
            char16_t small[256];
            std::u16string big;
            char16_t* buf = small;
            if (n > std::size(small)) {
                big.resize(n);
                buf = big.data();
            }
            size_t m = unescape(t, n, buf, options_ & kDecodeUnicodeEscapes);
            m = m >= 2 ? m - 2 : 0;
            if (m > 0) {
                std::memcpy(text, buf + 1, m * sizeof(char16_t));
                node->value.string = text;
            }
        }
        *out = node;
        return kParseOk;
    }
    if (n == 4 && t[0] == u'n' && t[1] == u'u' && t[2] == u'l' && t[3] == u'l') {
        Node* node = pool_->make<Node>();
        if (!node) return kParseOutOfMemory;
        node->pool = pool_;
        node->kind = kNull;
        *out = node;
        return kParseOk;
    }
    const bool isTrue = n == 4 && t[0] == u't' && t[1] == u'r' && t[2] == u'u' && t[3] == u'e';
    const bool isFalse =
        n == 5 && t[0] == u'f' && t[1] == u'a' && t[2] == u'l' && t[3] == u's' && t[4] == u'e';
    if (isTrue || isFalse) {
        Node* node = pool_->make<Node>();
        if (!node) return kParseOutOfMemory;
        node->pool = pool_;
        node->kind = kBoolean;
        node->value.integer = isTrue ? 1 : 0;
        node->textForm = const_cast<char16_t*>(isTrue ? kTrueText : kFalseText);  // never written through
        *out = node;
        return kParseOk;
    }

    // The number test: loose on purpose (5e, 1-2, a lone sign or point pass), strict on the characters.
    // The token is narrowed to bytes on the way for the real conversion.
    char small[64];
    std::string big;
    char* narrow = small;
    if (n > sizeof small) {
        big.resize(n);
        narrow = big.data();
    }
    bool dot = false, exponent = false, innerSign = false, any = false;
    for (size_t k = 0; k < n; ++k) {
        const char16_t c = t[k];
        narrow[k] = static_cast<char>(c);
        if (static_cast<char16_t>(c - u'0') <= 9) {
            any = true;
            continue;
        }
        const uint8_t cls = c < 128 ? kNumberClasses[c] : uint8_t{kNotNumber};
        switch (cls) {
            case kSkipped:
                continue;
            case kDigit:
                break;
            case kPoint:
                if (dot) return kParseBadToken;
                dot = true;
                break;
            case kExponent:
                if (k == 0 || exponent) return kParseBadToken;
                exponent = true;
                break;
            case kSign:
                if (k == 0) break;
                if (innerSign) return kParseBadToken;
                innerSign = true;
                break;
            default:
                return kParseBadToken;
        }
        any = true;
    }
    if (!any) return kParseBadToken;
    char16_t* text = nullptr;
    Node* node = newNode(n, &text);
    if (!node) return kParseOutOfMemory;
    node->pool = pool_;
    std::memcpy(text, t, n * sizeof(char16_t));
    node->textForm = text;
    if (!dot && !exponent && !innerSign) {
        node->kind = kInteger;
        node->value.integer = readInt64(t, n);
    } else {
        node->kind = kReal;
        node->value.real = readReal(narrow, n);
    }
    *out = node;
    return kParseOk;
}

}  // namespace

// The text ends at its first zero unit. Four units are tested at a time: a plain loop over a large text
// costs as much as a fifth of the whole parse.
static size_t unitsBeforeZero(std::u16string_view text) {
    const char16_t* p = text.data();
    const size_t n = text.size();
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t v;
        std::memcpy(&v, p + i, sizeof v);
        if ((v - 0x0001000100010001ull) & ~v & 0x8000800080008000ull) break;
    }
    while (i < n && p[i] != 0)
        ++i;
    return i;
}

int32_t parseInto(Node* node, std::u16string_view text, int32_t options, int32_t* errorPosition) {
    if (errorPosition) *errorPosition = 0;
    if (!node || text.empty()) return kParseNoDocument;
    const size_t len = unitsBeforeZero(text);
    // Positions are reported in 32 bits; a longer text is more than a document can hold anyway.
    if (len > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 2) return kParseOutOfMemory;

    clearNode(node);
    int32_t status;
    int64_t pos = 0;
    try {
        Parser p(node, text.data(), static_cast<int64_t>(len), options);
        status = p.run();
        pos = p.pos();
    } catch (const std::bad_alloc&) {
        status = kParseOutOfMemory;
    }
    if (status != kParseOk) {
        clearNode(node);
        if (errorPosition) *errorPosition = static_cast<int32_t>(pos);
    }
    return status;
}

}  // namespace jdsm::json_detail
