#pragma once
// JsonDocument and JsonNode: a JSON text parsed into a tree that answers path queries.
//
//     JsonDocument doc;
//     doc.parse(reply);                                  // code page 936 text
//     Text state = doc.getText("stock.StockStateName");  // "" when missing
//
// A JsonDocument owns its tree and all of its memory: closing or destroying it frees everything at
// once. A JsonNode is a cheap handle to one node of some document; it owns nothing and means something
// only while its node is part of a live document (a re-parse, replacement or removal ends that).
//
// Texts come in two forms: code page 936 (std::string_view, so Texts and literals pass without a copy)
// and UTF-16 (the operations ending in Wide). Inside a document every text is UTF-16.
//
// Paths are read relative to the designated node (the root for a JsonDocument):
// - "a.b" names member b of member a; "a[0].b" goes through element 0 of the array a; "[2]" is element 2
//   of the designated array itself; on an object an index counts members in member order.
// - A backslash before ".", "[", "]" or a backslash makes that character part of the name: "a\.b" is the
//   single name "a.b". Empty segments are skipped ("a..b" is "a.b"); the empty path is the node itself.
// - Reading never changes the tree. Writing operations (getNode, the setters, builders, removers, copies and
// merges) create what
//   is missing on the way: a name step makes the node an object and adds a null member, an index step
//   makes it an array and pads it with nulls. They may change the tree even when they then fail.
//
// Nothing here throws or faults on any input: failures give the documented missing results.
//
// A document and its handles are used by one thread at a time; different documents on different
// threads are independent.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/Text.h"

namespace jdsm {

namespace json_detail {
struct Node;
}

// The kind of a node; Missing is what kind queries answer for a path that names nothing.
enum class JsonValueKind : int32_t {
    Missing = -1,
    Null = 0,
    Real = 1,
    Integer = 2,
    Boolean = 3,
    String = 4,
    Array = 5,
    Object = 6,
};

// A caller's order for sortWith: negative, zero or positive as node a sorts before, with or after node b
// (nodes by their rawNode identity); `context` is the value given to sortWith.
using JsonCompare = int (*)(intptr_t a, intptr_t b, void* context);

// The operations are declared in the one fixed order both classes have always listed them in.
class JsonNode {
  public:
    JsonNode() = default;
    explicit JsonNode(json_detail::Node* node) : node_(node) {}
    JsonNode(const JsonNode&) = default;
    JsonNode& operator=(const JsonNode&) = default;
    virtual ~JsonNode() = default;

    // True when the handle designates a node (for a document: when a document exists).
    bool isValid() const { return node_ != nullptr; }
    // The designated node's identity as an integer, and designating another node by it. Neither moves
    // ownership: a document keeps owning its own tree whatever its handle designates.
    intptr_t rawNode() const { return reinterpret_cast<intptr_t>(node_); }
    void setRawNode(intptr_t node) { node_ = reinterpret_cast<json_detail::Node*>(node); }

    // JSON text of the node at path (empty when it does not resolve). `pretty` puts each member on a
    // line of its own (CR LF, tabs by depth; arrays stay on one line). `escape` puts a backslash before
    // backslashes, slashes and quotes and writes the controls 8, 9, 10, 12, 13 as \b \t \n \f \r;
    // nothing else is escaped. Numbers are written by their text form. The output buffer starts at
    // `initialCapacity` bytes (1024 when 0 or less).
    std::u16string toJsonWide(std::u16string_view path, bool pretty = false, bool escape = true,
                              int32_t initialCapacity = 1024) const;
    Text toJson(std::string_view path = {}, bool pretty = false, bool escape = true,
                int32_t initialCapacity = 1024) const;

    // --- every path is relative to the designated node ---------------------------------------------

    JsonValueKind getKind(std::string_view path = {}) const;
    JsonValueKind getKindWide(std::u16string_view path) const;
    // The parent of the node at path; nothing for the root or an unattached node.
    JsonNode getParent(std::string_view path = {}) const;
    JsonNode getParentWide(std::u16string_view path) const;
    // Members of an object, elements of an array, 0 for any other kind.
    int32_t getCount(std::string_view path = {}) const;
    int32_t getCountWide(std::u16string_view path) const;

    // Removal: the object (array) at path loses the member of that name (element at that index).
    bool removeMemberWide(std::u16string_view path, std::u16string_view name);
    bool removeMember(std::string_view path, std::string_view name);
    bool removeElement(std::string_view path, int32_t index);
    bool removeElementWide(std::u16string_view path, int32_t index);
    // Empties the node keeping its kind: no members or elements, no text, numbers 0 without text form.
    void clear(std::string_view path = {});
    void clearWide(std::u16string_view path);

    // A new unattached node of `kind` (0..6) in this node's document: null, real 0 ("0"), integer 0
    // ("0"), false, "", [] or {}. 0 for another kind or no document. The builders below take their
    // fresh nodes from here, so a subclass decides what they create.
    virtual intptr_t newNode(int32_t kind);

    // Builders: the node at path becomes an object (array) if it is not one, and gets a fresh node of
    // `kind` as member `name` (as element). A member of the same name is replaced in its position.
    JsonNode addMember(std::string_view path, std::string_view name, int32_t kind);
    JsonNode addMemberWide(std::u16string_view path, std::u16string_view name, int32_t kind);
    // As addMember, a new name going to `position` (0..count) of member order.
    JsonNode insertMemberWide(std::u16string_view path, int32_t position, std::u16string_view name,
                              int32_t kind);
    JsonNode insertMember(std::string_view path, int32_t position, std::string_view name, int32_t kind);
    // Attaches a deep copy of the node `source` designates (any document) as member `name`.
    bool addMemberCopy(std::string_view path, std::string_view name, const JsonNode& source);
    bool addMemberCopyWide(std::u16string_view path, std::u16string_view name, const JsonNode& source);

    // The member of exactly that name (no path syntax) of the object at path.
    JsonNode getMember(std::string_view path, std::string_view name) const;
    JsonNode getMemberWide(std::u16string_view path, std::u16string_view name) const;
    // The node's member name; empty for a node that is no object member.
    std::u16string getNameWide(std::u16string_view path) const;
    Text getName(std::string_view path = {}) const;

    JsonNode appendElement(std::string_view path, int32_t kind);
    JsonNode appendElementWide(std::u16string_view path, int32_t kind);
    // As appendElement, at `index` (0..count).
    JsonNode insertElement(std::string_view path, int32_t index, int32_t kind);
    JsonNode insertElementWide(std::u16string_view path, int32_t index, int32_t kind);

    // Element `index` (0-based) of the array at path, or the member at that position of the object.
    JsonNode getElement(std::string_view path, int32_t index) const;
    JsonNode getElementWide(std::u16string_view path, int32_t index) const;

    // Puts a deep copy of `source` at `index` of the array at path: replacing the element there, or
    // appended after null elements that fill the gap.
    bool setElementCopy(std::string_view path, int32_t index, const JsonNode& source);
    bool setElementCopyWide(std::u16string_view path, int32_t index, const JsonNode& source);

    // True when the path names a node; false for an empty path.
    bool existsWide(std::u16string_view path) const;
    bool exists(std::string_view path) const;
    // The node at path, resolved for writing: missing parts are created.
    JsonNode getNode(std::string_view path);
    JsonNode getNodeWide(std::u16string_view path);

    // Setters: the node at path (created if missing) takes the new value. An object (array) given to
    // setObject (setArray) keeps its members (elements). Reals get the text form "%.13g", integers
    // their decimal digits.
    bool setObject(std::string_view path);
    bool setObjectWide(std::u16string_view path);
    bool setArray(std::string_view path);
    bool setArrayWide(std::u16string_view path);
    bool setString(std::string_view path, std::string_view text);
    bool setStringWide(std::u16string_view path, std::u16string_view text);
    bool setNullWide(std::u16string_view path);
    bool setNull(std::string_view path);
    bool setBoolWide(std::u16string_view path, bool flag);
    bool setBool(std::string_view path, bool flag);
    bool setRealWide(std::u16string_view path, double value);
    bool setReal(std::string_view path, double value);
    bool setInt64Wide(std::u16string_view path, int64_t value);
    bool setInt64(std::string_view path, int64_t value);
    bool setIntWide(std::u16string_view path, int32_t value);
    bool setInt(std::string_view path, int32_t value);
    // Parses JSON text into the node at path (see JsonDocument::parseWide); true when it succeeds.
    bool setJson(std::string_view path, std::string_view json, int32_t options = 1);
    bool setJsonWide(std::u16string_view path, std::u16string_view json, int32_t options = 1);

    // The text form of a number or boolean exactly as parsed ("12.50" stays "12.50"); "" otherwise.
    Text getTextForm(std::string_view path = {}) const;
    std::u16string getTextFormWide(std::u16string_view path) const;
    // The value as text: a string's text, a number's or boolean's text form, "" for null, arrays,
    // objects and missing nodes. Characters code page 936 lacks become "?". The second parameter is
    // accepted for callers that pass one and ignored.
    Text getText(std::string_view path = {}, int32_t unused = 0) const;
    std::u16string getTextWide(std::u16string_view path) const;
    // Typed readers. Reals: true above 1e-7 in magnitude, truncated toward zero (saturating) for the
    // integer readers. Integers: true when the low 32 bits are not all zero. Booleans: 1 or 0. Strings:
    // false, and read as decimal numbers by the other readers. Everything else: false or 0.
    bool getBoolWide(std::u16string_view path) const;
    bool getBool(std::string_view path = {}) const;
    double getRealWide(std::u16string_view path) const;
    double getReal(std::string_view path = {}) const;
    int64_t getInt64Wide(std::u16string_view path) const;
    int64_t getInt64(std::string_view path = {}) const;
    int32_t getIntWide(std::u16string_view path) const;
    int32_t getInt(std::string_view path = {}) const;
    // The member names of the object at path, in member order; `names` is replaced. Returns their
    // number; 0 and `names` untouched for a missing node or one that is no object.
    int32_t getMemberNamesWide(std::u16string_view path, std::vector<std::u16string>& names) const;
    int32_t getMemberNames(std::string_view path, TextList& names) const;
    // One handle per member (member order) or element of the object or array at path; `nodes` is
    // replaced. Returns their number; 0 and `nodes` untouched when there are none.
    int32_t getChildrenWide(std::u16string_view path, std::vector<JsonNode>& nodes) const;
    int32_t getChildren(std::string_view path, std::vector<JsonNode>& nodes) const;

    // A new unattached deep copy of the node at path, in the same document.
    JsonNode cloneWide(std::u16string_view path);
    JsonNode clone(std::string_view path = {});
    // Sorts the member order of the object at path by name with the C library's collation of the
    // current LC_COLLATE locale (wcscoll), case-insensitively (towlower first) when asked; descending
    // when the low bit of `descending` is set. Lookups by name are unaffected.
    bool sortMembersWide(std::u16string_view path, int32_t descending, bool ignoreCase);
    bool sortMembers(std::string_view path, int32_t descending, bool ignoreCase);
    // Sorts the members of the object or the elements of the array at path with the caller's order.
    void sortWithWide(std::u16string_view path, JsonCompare compare, void* context);
    void sortWith(std::string_view path, JsonCompare compare, void* context);
    // Parses the text and merges it into the node at path: objects merge member by member at every
    // level (members the target lacks are added only with `addMissing`); any other value replaces the
    // member it meets. False when nothing was merged, at the first failure, or when a non-object would
    // have to replace a node that is no object member.
    bool mergeJsonWide(std::u16string_view path, std::u16string_view json, int32_t options = 1,
                       bool addMissing = true);
    bool mergeJson(std::string_view path, std::string_view json, int32_t options = 1, bool addMissing = true);
    // Copies every member of the object `source` designates into the object at path.
    bool mergeObject(std::string_view path, const JsonNode& source);
    // Appends copies of the elements of the array `source` designates to the array at path.
    bool appendAll(std::string_view path, const JsonNode& source);

  protected:
    json_detail::Node* node_ = nullptr;
};

class JsonDocument : public JsonNode {
  public:
    // Option flags of parse and parseWide.
    static constexpr int32_t kDecodeUnicodeEscapes = 1;   // turn \uXXXX escapes into characters
    static constexpr int32_t kSkipOutsideContainers = 2;  // ignore text outside any object or array

    // No document until the first parse or create.
    JsonDocument() = default;
    ~JsonDocument() override { close(); }
    // A document owns its tree, so it is moved, never copied.
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;
    JsonDocument(JsonDocument&& other) noexcept;
    JsonDocument& operator=(JsonDocument&& other) noexcept;

    // Replaces the document by a new one with an empty root object and, when `text` is given, parses
    // it into the root (status set as by parse). When no new document can be made, status is -3 and
    // the old document stays. True exactly when status is 0 (without a text: the caller's status as it
    // was, or true when none is given).
    bool create(std::optional<std::string_view> text = std::nullopt, int32_t options = 1,
                int32_t* status = nullptr, int32_t* errorPosition = nullptr);
    bool createWide(std::optional<std::u16string_view> text = std::nullopt, int32_t options = 1,
                    int32_t* status = nullptr, int32_t* errorPosition = nullptr);
    // Frees the whole document; afterwards the object holds none.
    void close();
    // Parses UTF-16 text (it ends at its first zero unit) into the root, creating the document first if
    // there is none; a present document is re-used, its root cleared (keeping its kind) and refilled.
    // True exactly when `status` is 0:
    //    0  success                                   errorPosition 0
    //   -2  no document could be made, or no text     0
    //   -3  out of memory                             where the value began
    //   -4  structure: "{" or "[" where no value is due, a missing or empty name, a stray character
    //       after a quoted name, a value without a name                 the offending character
    //   -5  the text ended inside an object or array  text length + 1
    //   -6  no value (or "{" after part of a value, or a name without a value)
    //                                                 where the token began; 0 at the top level
    //   -7  a quote was never closed                  where the pending name, else the value, began
    // errorPosition counts UTF-16 units from 0. A failed parse leaves the document with a cleared root.
    bool parseWide(std::u16string_view text, int32_t options = kDecodeUnicodeEscapes,
                   int32_t* status = nullptr, int32_t* errorPosition = nullptr);
    // The same for code page 936 text (converted first, so the empty text parses into an empty root).
    bool parse(std::string_view text, int32_t options = kDecodeUnicodeEscapes, int32_t* status = nullptr,
               int32_t* errorPosition = nullptr);

  private:
    bool ensureDocument();
    // The root this object owns; what it designates (node_) is the root unless setRawNode moved it.
    json_detail::Node* root_ = nullptr;
};

}  // namespace jdsm
