#include "records/status_xml.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/text_encoding.h"
#include "platform/text_numbers.h"
#include "records/status_fields.h"
#include "records/status_file_io.h"

namespace {
// The parse: CDATA, the five predefined entities and character references, line ends
// normalised, whitespace-only text kept where it is an element's only content (a value of
// blanks), document type declarations recognised (so that they can be refused; nothing in them
// is ever expanded or fetched), and text outside the root kept (so that it can be refused).
// No entity other than the predefined ones is ever expanded: pugixml does not do it.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol |
                                   pugi::parse_wconv_attribute | pugi::parse_ws_pcdata_single | pugi::parse_doctype |
                                   pugi::parse_fragment;
// Control characters other than TAB, CR and LF cannot be in an XML 1.0 document at all, not
// even as character references: the writer leaves them out.
constexpr unsigned kSaveOptions = pugi::format_raw | pugi::format_no_declaration | pugi::format_skip_control_chars;

// The blanks around a field's text.
constexpr textnum::Blanks kFieldBlanks = textnum::Blanks::kSpaceTabCrLf;
bool IsBlank(char c) { return textnum::IsBlank(c, kFieldBlanks); }

std::string_view Trim(std::string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

// The text of an element: the value of its first child when that child is text.
std::optional<std::string_view> TextOf(pugi::xml_node element) {
  pugi::xml_node first = element.first_child();
  if (!first || (first.type() != pugi::node_pcdata && first.type() != pugi::node_cdata)) return std::nullopt;
  return std::string_view(first.value());
}

// The field element: the first Element under any Group of the unit, in document order.
pugi::xml_node FieldElement(pugi::xml_node unit, const char* group, const char* element) {
  for (pugi::xml_node g : unit.children(group))
    if (pugi::xml_node e = g.child(element)) return e;
  return {};
}

pugi::xml_node FieldElementOrCreate(pugi::xml_node unit, const char* group, const char* element) {
  if (pugi::xml_node e = FieldElement(unit, group, element)) return e;
  pugi::xml_node g = unit.child(group);
  if (!g) g = unit.append_child(group);
  return g.append_child(element);
}

// Replaces all content of the element by one text node (by nothing for an empty text).
void PutText(pugi::xml_node element, std::string_view text) {
  if (!element) return;
  pugi::xml_node first = element.first_child();
  if (!text.empty() && first && first.type() == pugi::node_pcdata && !first.next_sibling()) {
    first.set_value(text.data(), text.size());
    return;
  }
  while (pugi::xml_node child = element.first_child()) element.remove_child(child);
  if (!text.empty()) element.append_child(pugi::node_pcdata).set_value(text.data(), text.size());
}

// Collects the serialised document, writing each line break inside a value as a character
// reference: the file holds no line break at all and the value reads back exactly.
class RawWriter : public pugi::xml_writer {
 public:
  explicit RawWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    const char* end = p + size;
    while (p < end) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>((lf ? lf : end) - p)));
      const char* brk = cr ? cr : lf;
      if (!brk) {
        out_.append(p, end);
        return;
      }
      out_.append(p, brk);
      out_.append(*brk == '\r' ? "&#13;" : "&#10;");
      p = brk + 1;
    }
  }

 private:
  std::string& out_;
};

// Replaces every CDATA section by a text node with the same value, so that the writer's line
// break references apply to it too.
void CdataToText(pugi::xml_node root) {
  struct Collector : pugi::xml_tree_walker {
    std::vector<pugi::xml_node> found;
    bool for_each(pugi::xml_node& node) override {
      if (node.type() == pugi::node_cdata) found.push_back(node);
      return true;
    }
  } collector;
  root.traverse(collector);
  for (pugi::xml_node cdata : collector.found) {
    pugi::xml_node parent = cdata.parent();
    parent.insert_child_before(pugi::node_pcdata, cdata).set_value(cdata.value());
    parent.remove_child(cdata);
  }
}

// Whether the file refers to a character XML 1.0 forbids ("&#7;", "&#xFFFE;"), which the
// parser turns into that character; files of earlier versions wrote control bytes so.
bool RefersToNonXmlChars(std::string_view text) {
  for (size_t at = text.find("&#"); at != std::string_view::npos; at = text.find("&#", at + 2)) {
    size_t i = at + 2;
    const bool hex = i < text.size() && text[i] == 'x';
    if (hex) ++i;
    uint64_t value = 0;
    size_t digits = 0;
    for (; i < text.size() && digits < 12; ++i, ++digits) {
      const char c = text[i];
      int d = c >= '0' && c <= '9' ? c - '0' : -1;
      if (hex && d < 0 && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') d = (c | 0x20) - 'a' + 10;
      if (d < 0) break;
      value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    }
    if (digits == 0) continue;
    if ((value < 0x20 && value != '\t' && value != '\n' && value != '\r') || (value >= 0xD800 && value <= 0xDFFF) ||
        value == 0xFFFE || value == 0xFFFF || value > 0x10FFFF)
      return true;
  }
  return false;
}

// Drops from every text of the document what XML 1.0 cannot hold.
void KeepXmlCharsOnly(pugi::xml_node root) {
  struct Cleaner : pugi::xml_tree_walker {
    bool for_each(pugi::xml_node& node) override {
      if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        std::string_view v = node.value();
        if (text_encoding::HasNonXmlChars(v)) node.set_value(text_encoding::XmlCharsOnly(v).c_str());
      }
      return true;
    }
  } cleaner;
  root.traverse(cleaner);
}

// Decimal digits with an optional sign, blanks around them, clamped to [low, high].
std::optional<int64_t> ToClampedInteger(std::string_view text, int64_t low, int64_t high) {
  return textnum::WholeInt(Trim(text), low, high);
}

}  // namespace

namespace status_text {
std::optional<int32_t> ToInteger(std::string_view text) {
  auto v = ToClampedInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
  if (!v) return std::nullopt;
  return static_cast<int32_t>(*v);
}

std::optional<uint32_t> ToUnsigned(std::string_view text) {
  auto v = ToClampedInteger(text, 0, std::numeric_limits<uint32_t>::max());
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(*v);
}

std::optional<uint8_t> ToByte(std::string_view text) {
  auto v = ToClampedInteger(text, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
  if (!v) return std::nullopt;
  return static_cast<uint8_t>(static_cast<uint16_t>(static_cast<int16_t>(*v)) & 0xFF);
}

std::optional<bool> ToFlag(std::string_view text) {
  std::string_view t = Trim(text);
  auto equalsNoCase = [&](std::string_view word) {
    return t.size() == word.size() &&
           std::equal(t.begin(), t.end(), word.begin(), [](char a, char b) { return (a | 0x20) == b; });
  };
  if (equalsNoCase("true")) return true;
  if (equalsNoCase("false")) return false;
  auto v = ToClampedInteger(t, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
  if (!v) return std::nullopt;
  return *v != 0;
}

std::optional<float> ToReal(std::string_view text) {
  std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty() || t.front() == '+') return std::nullopt;
  double value = 0.0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  if (end != t.data() + t.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Beyond a double: huge unless its exponent is negative.
    size_t e = t.find_first_of("eE");
    bool tiny = e != std::string_view::npos && e + 1 < t.size() && t[e + 1] == '-';
    bool negative = t.front() == '-';
    if (tiny) return negative ? -0.0f : 0.0f;
    return negative ? -FLT_MAX : FLT_MAX;
  }
  if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  return static_cast<float>(std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

std::string FromReal(float value) { return textnum::Fixed(value, 2); }

int32_t LeadingNumber(std::string_view text) { return textnum::LeadingInt(text, kFieldBlanks); }
}  // namespace status_text

namespace {
template <class T>
struct KindOf;
template <>
struct KindOf<int32_t> {
  static constexpr FieldKind value = FieldKind::Integer;
};
template <>
struct KindOf<uint32_t> {
  static constexpr FieldKind value = FieldKind::Unsigned;
};
template <>
struct KindOf<uint8_t> {
  static constexpr FieldKind value = FieldKind::Byte;
};
template <>
struct KindOf<float> {
  static constexpr FieldKind value = FieldKind::Real;
};
template <>
struct KindOf<DateTime> {
  static constexpr FieldKind value = FieldKind::DateTime;
};
template <class Int>
struct KindOf<FlagRef<Int>> {
  static constexpr FieldKind value = FieldKind::Flag;
};
template <size_t N>
struct KindOf<FixedText<N>> {
  static constexpr FieldKind value = FieldKind::Text;
  static constexpr size_t capacity = N;
};

template <class T>
constexpr size_t CapacityOf() {
  if constexpr (KindOf<T>::value == FieldKind::Text) return KindOf<T>::capacity;
  else return 0;
}

struct FieldTable {
  StatusFieldInfo rows[kStatusFieldCount];
  FieldTable() {
    StatusChecks c;
    UnitStatus s;
    int i = 0;
    ForEachStatusField(c, s, [&](const char* group, const char* element, auto&& member) {
      using T = std::remove_cv_t<std::remove_reference_t<decltype(member)>>;
      rows[i++] = {group, element, KindOf<T>::value, CapacityOf<T>()};
    });
  }
};

// Writes one member into its element by kind.
struct FieldWriter {
  pugi::xml_node unit;
  void Put(const char* group, const char* element, std::string_view text) const {
    PutText(FieldElementOrCreate(unit, group, element), text);
  }
  void Number(const char* group, const char* element, long long v) const {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    Put(group, element, std::string_view(buf, static_cast<size_t>(end - buf)));
  }
  void operator()(const char* g, const char* e, const int32_t& v) const { Number(g, e, v); }
  void operator()(const char* g, const char* e, const uint32_t& v) const { Number(g, e, v); }
  void operator()(const char* g, const char* e, const uint8_t& v) const { Number(g, e, v); }
  void operator()(const char* g, const char* e, FlagRef<const int32_t> v) const { Number(g, e, v.value != 0); }
  void operator()(const char* g, const char* e, const float& v) const { Put(g, e, status_text::FromReal(v)); }
  // A record's text is the unit's 8-bit text (code page 1252); the document holds UTF-8.
  template <size_t N>
  void operator()(const char* g, const char* e, const FixedText<N>& v) const {
    Put(g, e, text_encoding::Cp1252ToUtf8(v.view(), true));
  }
  void operator()(const char* g, const char* e, const DateTime& v) const {
    // The zero date stands for never: it is not written, so it cannot clear a time on file.
    if (v.valid && v.value > 0.0) Put(g, e, v.ToText());
    else FieldElementOrCreate(unit, g, e);
  }
};

// Reads one member from its element by kind; a missing or unconvertible value keeps the default.
struct FieldReader {
  pugi::xml_node unit;
  void operator()(const char* g, const char* e, int32_t& v) const { Take(g, e, v, status_text::ToInteger); }
  void operator()(const char* g, const char* e, uint32_t& v) const { Take(g, e, v, status_text::ToUnsigned); }
  void operator()(const char* g, const char* e, uint8_t& v) const { Take(g, e, v, status_text::ToByte); }
  void operator()(const char* g, const char* e, float& v) const { Take(g, e, v, status_text::ToReal); }
  void operator()(const char* g, const char* e, FlagRef<int32_t> v) const {
    if (auto text = TextOf(FieldElement(unit, g, e)))
      if (auto b = status_text::ToFlag(*text)) v.value = *b ? 1 : 0;
  }
  // Back to code page 1252, whole characters, then cut to the field.
  template <size_t N>
  void operator()(const char* g, const char* e, FixedText<N>& v) const {
    if (auto text = TextOf(FieldElement(unit, g, e))) v.Assign(text_encoding::Utf8ToCp1252(*text));
  }
  void operator()(const char* g, const char* e, DateTime& v) const {
    if (auto text = TextOf(FieldElement(unit, g, e)))
      if (auto d = DateTime::FromText(*text)) v = *d;
  }
  template <class T, class Convert>
  void Take(const char* g, const char* e, T& v, Convert convert) const {
    if (auto text = TextOf(FieldElement(unit, g, e)))
      if (auto converted = convert(*text)) v = *converted;
  }
};

// Every /Velmoors/Velmoor/General/<name> element, in document order.
std::vector<pugi::xml_node> GeneralColumn(pugi::xml_node root, const char* name) {
  std::vector<pugi::xml_node> column;
  if (!root) return column;
  for (pugi::xml_node unit : root.children("Velmoor"))
    for (pugi::xml_node general : unit.children("General"))
      for (pugi::xml_node e : general.children(name)) column.push_back(e);
  return column;
}
}  // namespace

const StatusFieldInfo* StatusFieldTable() {
  static const FieldTable table;
  return table.rows;
}

bool CStatusXml::LoadResult::Damaged() const {
  return outcome != LoadOutcome::Loaded && outcome != LoadOutcome::Unchanged && outcome != LoadOutcome::Missing;
}

CStatusXml::CStatusXml() { MakeEmpty(); }

CStatusXml::~CStatusXml() = default;

void CStatusXml::MakeEmpty() {
  doc_.reset();
  root_ = doc_.append_child("Velmoors");
  damaged_ = false;
  inSyncWith_.reset();
  index_.clear();
  indexBuilt_ = false;
}

void CStatusXml::MarkDamaged() {
  doc_.reset();
  root_ = pugi::xml_node();
  damaged_ = true;
  inSyncWith_.reset();
  index_.clear();
  indexBuilt_ = false;
}

CStatusXml::LoadResult CStatusXml::Load(const std::filesystem::path& path) {
  LoadResult result;
  FileContents file = ReadWholeFile(path, kMaxFileBytes);
  const FileStamp stamp = StampOf(file);
  loadedFrom_.reset();
  if (file.outcome == FileContents::Outcome::Read || file.outcome == FileContents::Outcome::Missing)
    loadedFrom_.emplace(path, stamp);
  switch (file.outcome) {
    case FileContents::Outcome::Missing:
      // The document keeps what it held; an emptied (damaged) one starts afresh, so the next
      // save makes a new file.
      if (damaged_ || !root_) MakeEmpty();
      result.outcome = LoadOutcome::Missing;
      return result;
    case FileContents::Outcome::Unreadable:
      MarkDamaged();
      result.outcome = LoadOutcome::Unreadable;
      result.reason = "cannot be read (" + file.error + ")";
      return result;
    case FileContents::Outcome::TooLarge:
      MarkDamaged();
      result.outcome = LoadOutcome::TooLarge;
      result.reason = file.error.empty() ? "is larger than " + std::to_string(kMaxFileBytes >> 20) +
                                               " MB, too large to be a status file"
                                         : "is too large to read (" + file.error + ")";
      return result;
    case FileContents::Outcome::Read: break;
  }
  const std::pair<uint64_t, size_t> digest{stamp.digest, stamp.size};
  if (!damaged_ && root_ && inSyncWith_ && *inSyncWith_ == digest) {
    result.outcome = LoadOutcome::Unchanged;
    return result;
  }
  result = Parse(file.bytes.release(), file.size);
  if (!result.Damaged()) inSyncWith_ = digest;
  else loadedFrom_.reset();
  return result;
}

namespace {
// Text in a 16- or 32-bit form: a byte-order mark of UTF-16 or UTF-32, or the pattern of one.
bool IsWideText(std::string_view text) {
  const std::string_view head = text.substr(0, 4);
  return head.substr(0, 2) == "\xFE\xFF" || head.substr(0, 2) == "\xFF\xFE" ||
         head.substr(0, 2) == std::string_view("\0<", 2) || head.substr(0, 2) == std::string_view("<\0", 2) ||
         head == std::string_view("\0\0\xFE\xFF", 4) || head == std::string_view("\0\0\0<", 4);
}

// What makes the text no status file before it is parsed, if anything.
std::optional<CStatusXml::LoadResult> ScreenText(std::string_view text, bool wide) {
  using Outcome = CStatusXml::LoadOutcome;
  std::string_view content = text;
  if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  if (Trim(content).empty()) return CStatusXml::LoadResult{Outcome::Empty, "is empty"};
  if (static_cast<uint64_t>(std::count(text.begin(), text.end(), '<')) > CStatusXml::kMaxTags)
    return CStatusXml::LoadResult{Outcome::TooLarge, "holds more than " + std::to_string(CStatusXml::kMaxTags) +
                                                         " tags, too many for a status file"};
  // Text in 8-bit form never holds a NUL byte; the parser would take one for the end of the
  // file and drop what follows.
  if (!wide && std::memchr(text.data(), 0, text.size()) != nullptr)
    return CStatusXml::LoadResult{Outcome::NotWellFormed, "is not a well-formed XML document (it holds NUL bytes)"};
  return std::nullopt;
}

// The 8-bit text with its bytes that are not UTF-8 read as code page 1252, in a new buffer
// (nullptr when there is no memory for it); the old buffer is freed either way.
char* RepairedUtf8(char* bytes, size_t& size) {
  const std::string repaired = text_encoding::RepairUtf8(std::string_view(bytes, size));
  std::free(bytes);
  size = repaired.size();
  char* copy = static_cast<char*>(std::malloc(size ? size : 1));
  if (copy) std::memcpy(copy, repaired.data(), size);
  return copy;
}
}  // namespace

CStatusXml::LoadResult CStatusXml::Damage(LoadOutcome outcome, std::string reason) {
  MarkDamaged();
  return LoadResult{outcome, std::move(reason)};
}

CStatusXml::LoadResult CStatusXml::FindRoot(pugi::xml_node& element) {
  // One element, Velmoors, and nothing else but blanks around it.
  int elements = 0;
  for (pugi::xml_node n : doc_.children()) {
    switch (n.type()) {
      case pugi::node_element:
        ++elements;
        element = n;
        break;
      case pugi::node_doctype:
        return Damage(LoadOutcome::NotStatusFile, "holds a document type declaration, which a status file never has");
      case pugi::node_pcdata:
      case pugi::node_cdata:
        if (!Trim(n.value()).empty())
          return Damage(LoadOutcome::NotWellFormed, "is not a well-formed XML document (text outside its root element)");
        break;
      default: break;
    }
  }
  if (elements == 0) return Damage(LoadOutcome::Empty, "holds no XML element");
  if (elements > 1)
    return Damage(LoadOutcome::NotWellFormed, "is not a well-formed XML document (more than one root element)");
  if (std::strcmp(element.name(), "Velmoors") != 0)
    return Damage(LoadOutcome::NotStatusFile, std::string("is not a status file (its root element is ") +
                                                  std::string(std::string_view(element.name()).substr(0, 40)) +
                                                  ", not Velmoors)");
  return LoadResult{LoadOutcome::Loaded, {}};
}

CStatusXml::LoadResult CStatusXml::Parse(char* bytes, size_t size) {
  std::string_view text(bytes, size);
  const bool wide = IsWideText(text);
  if (std::optional<LoadResult> refused = ScreenText(text, wide)) {
    std::free(bytes);
    MarkDamaged();
    return *refused;
  }
  const bool hasCdata = text.find("<![CDATA[") != std::string_view::npos;
  const bool nonXmlReferences = !wide && RefersToNonXmlChars(text);
  // A file written before the documents were UTF-8 holds the units' 8-bit text as it came:
  // its bytes that are not UTF-8 are code page 1252, and are read (and saved) as UTF-8.
  pugi::xml_encoding encoding = pugi::encoding_auto;
  if (!wide && !text_encoding::IsValidUtf8(text)) {
    bytes = RepairedUtf8(bytes, size);
    if (!bytes) return Damage(LoadOutcome::TooLarge, "is too large to read (not enough memory)");
    encoding = pugi::encoding_utf8;
  }

  index_.clear();
  indexBuilt_ = false;
  inSyncWith_.reset();
  root_ = pugi::xml_node();
  // The document takes the buffer over, whatever the outcome.
  pugi::xml_parse_result parsed = doc_.load_buffer_inplace_own(bytes, size, kParseOptions, encoding);
  if (!parsed && parsed.status == pugi::status_out_of_memory)
    return Damage(LoadOutcome::TooLarge, "is too large to read (not enough memory)");
  if (!parsed)
    return Damage(LoadOutcome::NotWellFormed, std::string("is not a well-formed XML document (") +
                                                  parsed.description() + " at byte " + std::to_string(parsed.offset) +
                                                  ")");
  pugi::xml_node element;
  const LoadResult found = FindRoot(element);
  if (found.outcome != LoadOutcome::Loaded) return found;
  if (hasCdata) CdataToText(element);
  if (nonXmlReferences) KeepXmlCharsOnly(element);
  root_ = element;
  damaged_ = false;
  return found;
}

CStatusXml::SaveResult CStatusXml::Save(const std::filesystem::path& path) { return Write(path, std::nullopt); }

CStatusXml::SaveResult CStatusXml::SaveIfUnchanged(const std::filesystem::path& path) {
  if (!damaged_ && root_ && (!loadedFrom_ || loadedFrom_->first != path)) {
    SaveResult result;
    result.changed = true;
    result.error = "the file was not read before the save";
    return result;
  }
  return Write(path, loadedFrom_ ? std::optional<FileStamp>(loadedFrom_->second) : std::nullopt);
}

CStatusXml::SaveResult CStatusXml::Write(const std::filesystem::path& path, const std::optional<FileStamp>& expected) {
  SaveResult result;
  if (damaged_ || !root_) {
    result.refused = true;
    return result;
  }
  loadedFrom_.reset();
  std::string out;
  out.reserve(inSyncWith_ ? inSyncWith_->second + 4096 : 1 << 16);
  RawWriter writer(out);
  doc_.save(writer, PUGIXML_TEXT(""), kSaveOptions, pugi::encoding_utf8);
  WriteOutcome written = WriteFileAtomically(path, out, expected);
  if (!written.ok) {
    inSyncWith_.reset();
    result.changed = written.changed;
    result.error = written.error;
    return result;
  }
  inSyncWith_ = std::make_pair(ContentDigest(out.data(), out.size()), out.size());
  result.saved = true;
  return result;
}

const std::unordered_map<std::string, pugi::xml_node>& CStatusXml::UnitIndex() {
  if (!indexBuilt_) {
    index_.clear();
    // In document order, so that a later unit of the same identity replaces an earlier one.
    for (pugi::xml_node idElement : GeneralColumn(root_, "UnitId"))
      if (auto text = TextOf(idElement)) index_[std::string(*text)] = idElement.parent().parent();
    indexBuilt_ = true;
  }
  return index_;
}

pugi::xml_node CStatusXml::FindUnit(std::string_view idText, bool create) {
  if (!root_) return {};
  const auto& index = UnitIndex();
  auto found = index.find(std::string(idText));
  if (found != index.end()) return found->second;
  return create ? CreateUnit(idText) : pugi::xml_node();
}

pugi::xml_node CStatusXml::CreateUnit(std::string_view idText) {
  if (!root_) return {};
  inSyncWith_.reset();
  pugi::xml_node unit = root_.append_child("Velmoor");
  const StatusFieldInfo* table = StatusFieldTable();
  pugi::xml_node group;
  for (int i = 0; i < kStatusFieldCount; ++i) {
    if (!group || std::strcmp(group.name(), table[i].group) != 0) group = unit.append_child(table[i].group);
    pugi::xml_node field = group.append_child(table[i].element);
    if (i == 0) PutText(field, idText);
  }
  if (indexBuilt_) index_[std::string(idText)] = unit;
  return unit;
}

void CStatusXml::WriteUnit(const StatusChecks& checks, const UnitStatus& status) {
  if (status.UnitId == -1) return;
  char id[16];
  std::snprintf(id, sizeof id, "%d", status.UnitId);
  pugi::xml_node unit = FindUnit(id, true);
  if (!unit) return;
  inSyncWith_.reset();
  ForEachStatusField(checks, status, FieldWriter{unit});
}

StatusEntry CStatusXml::ReadUnit(std::string_view idText) {
  pugi::xml_node unit = FindUnit(idText, false);
  return unit ? ReadUnit(unit) : StatusEntry{};
}

StatusEntry CStatusXml::ReadUnit(pugi::xml_node unit) {
  StatusEntry entry;
  if (unit) ForEachStatusField(entry.checks, entry.status, FieldReader{unit});
  return entry;
}

int CStatusXml::ListUnitIds(std::vector<std::string>& ids) const {
  ids.clear();
  for (pugi::xml_node idElement : GeneralColumn(root_, "UnitId"))
    if (auto text = TextOf(idElement)) ids.emplace_back(*text);
  return static_cast<int>(ids.size());
}

int CStatusXml::ListUnits(std::vector<std::string>& lines) const {
  lines.clear();
  if (!root_) return 0;
  std::vector<pugi::xml_node> ids = GeneralColumn(root_, "UnitId");
  std::vector<pugi::xml_node> addresses = GeneralColumn(root_, "Address");
  std::vector<pugi::xml_node> channels = GeneralColumn(root_, "Channel");
  if (ids.empty() || ids.size() != addresses.size() || ids.size() != channels.size()) return 0;
  for (size_t i = 0; i < ids.size(); ++i) {
    auto id = TextOf(ids[i]);
    auto address = TextOf(addresses[i]);
    auto channel = TextOf(channels[i]);
    if (!id || !address || !channel) continue;
    int64_t pair = int64_t{status_text::LeadingNumber(*address)} * 100 + status_text::LeadingNumber(*channel);
    pair = std::clamp<int64_t>(pair, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    char line[64];
    std::snprintf(line, sizeof line, "%06X  Address %4d", static_cast<unsigned>(status_text::LeadingNumber(*id)),
                  static_cast<int>(pair));
    lines.emplace_back(line);
  }
  return static_cast<int>(lines.size());
}

pugi::xml_node CStatusXml::FindOrCreatePath(pugi::xml_node unit, std::string_view path) {
  if (!unit) return {};
  size_t slash = path.find('/');
  size_t last = path.rfind('/');
  std::string element(path.substr(last == std::string_view::npos ? 0 : last + 1));
  if (slash == std::string_view::npos) {
    if (pugi::xml_node e = unit.child(element.c_str())) return e;
    inSyncWith_.reset();
    return unit.append_child(element.c_str());
  }
  std::string group(path.substr(0, slash));
  if (pugi::xml_node e = FieldElement(unit, group.c_str(), element.c_str())) return e;
  inSyncWith_.reset();
  return FieldElementOrCreate(unit, group.c_str(), element.c_str());
}

std::optional<std::string_view> CStatusXml::GetFieldValue(pugi::xml_node unit, std::string_view path) {
  if (!unit) return std::nullopt;
  size_t slash = path.find('/');
  if (slash == std::string_view::npos) return TextOf(unit.child(std::string(path).c_str()));
  std::string group(path.substr(0, slash));
  std::string element(path.substr(slash + 1));
  return TextOf(FieldElement(unit, group.c_str(), element.c_str()));
}
