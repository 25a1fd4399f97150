#pragma once
// The decoder's view of a value read by simdjson's on-demand parser, for the
// fast path. The parser reads forward only: a node reads its object's
// members once, in order, and a "_typeName" is seen only as the first
// member, where the writer puts it. Whatever this view cannot read exactly as
// the checking reader (json_reader.h) would, it gives up on by throwing
// FastPathMiss; the caller then decodes the document with the checking
// decoder, which accepts it or says what is wrong.
#include <simdjson.h>
#include <zamli/wire/byte_scan.h>
#include <zamli/wire/errors.h>
#include <zamli/wire/node_traits.h>
#include <zamli/wire/scalars.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Zamli::Wire::Json {

struct FastPathMiss {};

[[noreturn]] inline void Miss() { throw FastPathMiss{}; }

template <class T>
T Take(simdjson::simdjson_result<T>&& result) {
  T value;
  if (std::move(result).get(value) != simdjson::SUCCESS) Miss();
  return value;
}

// True when `text` is a JSON number that the checking parser reads as one:
// it refuses integer parts and positive exponents too large for a double,
// so those (and anything close) are left to it.
inline bool IsPlainNumber(std::string_view t) {
  auto digits = [&](size_t& i) {
    const size_t start = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    return i - start;
  };
  size_t i = t.size() > 0 && t[0] == '-' ? 1 : 0;
  if (i < t.size() && t[i] == '0') {
    ++i;
  } else if (size_t n = digits(i); n == 0 || n > 300) {
    return false;
  }
  if (i < t.size() && t[i] == '.' && digits(++i) == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    const bool negative = ++i < t.size() && t[i] == '-';
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
    const size_t start = i;
    if (digits(i) == 0) return false;
    int exponent = 0;
    for (size_t k = start; k < i && exponent <= 308; ++k) exponent = exponent * 10 + (t[k] - '0');
    if (!negative && exponent > 308) return false;
  }
  return i == t.size();
}

// Whether the eight bytes at `p` are all digits, with their number in
// `value`: most integers the workload carries are longer than a few digits.
inline bool EightDigits(const char* p, uint64_t& value) {
  if constexpr (std::endian::native != std::endian::little) {
    return false;
  } else {
    uint64_t word = Bytes::Load(p);
    const uint64_t highs = 0xF0F0F0F0F0F0F0F0ULL;
    if (((word & highs) | (((word + 0x0606060606060606ULL) & highs) >> 4)) != 0x3333333333333333ULL) return false;
    // Pairs, then fours, then the eight: the first digit is the lowest byte.
    word -= 0x3030303030303030ULL;
    word = word * 10 + (word >> 8);
    value = (((word & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
             (((word >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
            32;
    return true;
  }
}

// Text the checking parser would take: an escape can make a lone surrogate
// (encoded as 0xED), which is not valid UTF-8.
inline bool GoodFastText(std::string_view text) {
  return std::memchr(text.data(), 0xed, text.size()) == nullptr || IsValidUtf8(text);
}

namespace od = simdjson::ondemand;

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// One value being read, shared by the copies of its node. An object is
// opened once; its `next` is at the member in `current` or the next unread
// one.
struct FastSlot {
  // The kind is read once here: the decoder asks for it more than once
  // (whether null, then whether of the kind it wants).
  explicit FastSlot(od::value v) : value(v), kind(Take(value.type())) {}

  enum class State { kFresh, kObject, kOther };

  // Starts reading an object and takes a leading "_typeName"; false for
  // a value that is not an object.
  bool Open() {
    if (state != State::kFresh) return state == State::kObject;
    if (kind != od::json_type::object) {
      state = State::kOther;
      return false;
    }
    od::object object = Take(value.get_object());
    members.emplace(Members{Take(object.begin()), Take(object.end()), {}, {}});
    state = State::kObject;
    if (members->next != members->end) {
      Load();
      if (members->key == "_typeName") {
        typeName = Take(members->current.get_string());
        named = true;
        ++members->next;
      } else {
        hasCurrent = true;
      }
    }
    return true;
  }

  // The name of the next member, its value in `current`; false at the end.
  bool NextMember(std::string_view& name) {
    if (!hasCurrent) {
      if (!(members->next != members->end)) return false;
      Load();
    }
    hasCurrent = false;
    name = NameAsWritten();
    // Anywhere but first, or twice, it is for the checking decoder.
    if (name == "_typeName") Miss();
    return true;
  }

  // The current member's name between its quotes, escapes and all, found
  // back from its value past the colon: not copied out. A name with an
  // escape never equals one the decoder looks for, so the decoder refuses
  // it and the checking decoder, which unescapes, decides.
  std::string_view NameAsWritten() {
    const char* start = members->key.raw();
    const char* end = members->current.raw_json_token().data();
    // Mostly written without blanks: "name":value.
    if (end - 2 >= start && end[-1] == ':' && end[-2] == '"') {
      return std::string_view(start, static_cast<size_t>(end - 2 - start));
    }
    do --end;
    while (end > start && IsBlank(*end));
    if (*end != ':') Miss();
    do --end;
    while (end > start && IsBlank(*end));
    if (end < start || *end != '"') Miss();
    return std::string_view(start, static_cast<size_t>(end - start));
  }

  // The member at `next`: its name's start and its value, taken apart
  // here rather than copied whole.
  void Load() {
    simdjson::simdjson_result<od::field> member = *members->next;
    if (member.error() != simdjson::SUCCESS) Miss();
    members->key = member.value_unsafe().key();
    members->current = std::move(member.value_unsafe()).value();
  }

  // After a box's value: nothing may follow it.
  void Finish() {
    if (state != State::kObject || done) return;
    if (boxed) boxed->Finish();
    if (hasCurrent) Miss();
    ++members->next;
    if (members->next != members->end) Miss();
    done = true;
  }

  od::value value;
  od::json_type kind;
  State state = State::kFresh;
  // An object's members as they are read: made when the object is opened,
  // so that the many slots of plain values make none of it.
  struct Members {
    od::object_iterator next, end;
    od::raw_json_string key;  // the current member's name
    od::value current;
  };
  std::optional<Members> members;
  bool hasCurrent = false;
  bool named = false;
  bool done = false;
  std::string_view typeName;
  std::unique_ptr<FastSlot> boxed;
};

// The node the decoder (decoder.h) reads, over a FastSlot.
class FastNode : public NodeTraits {
 public:
  static constexpr bool kMethodMember = true;
  // What this reader cannot read, the checking decoder reads again.
  static constexpr bool kReportsErrors = false;
  explicit FastNode(FastSlot* slot) : slot_(slot) {}

  class Group {
   public:
    explicit Group(FastSlot* slot) : slot_(slot) {}
    int Count() const { return 1; }
    FastNode First() const { return FastNode(slot_); }
    template <class F>
    void ForEach(Path& path, F&& f) const {
      FastNode(slot_).ForEachItem(path, {}, f);
    }

   private:
    FastSlot* slot_;
  };

  // The kind first: the parser's scalar readers must not see the root.
  bool IsNull() const {
    return slot_->state == FastSlot::State::kFresh && slot_->kind == od::json_type::null &&
           Take(slot_->value.is_null());
  }

  std::string_view TypeName() const { return slot_->Open() ? slot_->typeName : std::string_view(); }

  bool ReadString(std::string_view& text, std::string& /*scratch*/) const {
    return slot_->kind == od::json_type::string && StringText(slot_->value, text);
  }

  bool ReadBool(bool& v) const {
    if (!Is(od::json_type::boolean)) return false;
    v = Take(slot_->value.get_bool());
    return true;
  }

  bool ReadInteger(int64_t min, int64_t max, int64_t& v) const {
    if (!Is(od::json_type::number)) return false;
    if (ShortInteger(Token(), v)) return v >= min && v <= max;
    return ParseInteger(NumberText(), min, max, v);
  }

  bool ReadFloat(float& v) const {
    if (Is(od::json_type::number)) return ParseFloat(NumberText(), v);
    std::string_view text;
    return slot_->kind == od::json_type::string && StringText(slot_->value, text) &&
           (text == "NaN" || text == "INF" || text == "-INF") && ParseFloat(text, v);
  }

  bool ReadReference(std::string_view& type, std::string_view& id, std::string& /*scratch*/) const {
    FastSlot& s = *slot_;
    if (!s.Open() || s.done) return false;
    if (s.named && s.typeName != "ManagedObjectReference") return false;
    bool haveType = false, haveId = false;
    std::string_view name;
    while (s.NextMember(name)) {
      od::value& v = s.members->current;
      if (name == "type" && !haveType && Text(v, type)) {
        haveType = true;
      } else if (name == "value" && !haveId && Text(v, id)) {
        haveId = true;
      } else {
        return false;
      }
      ++s.members->next;
    }
    s.done = true;
    return haveType && haveId;
  }

  // Only ever wanted for an error message, which the checking decoder writes.
  std::string Excerpt() const { return {}; }

  FastNode Boxed(Path& /*path*/) const {
    FastSlot& s = *slot_;
    std::string_view name;
    if (!s.Open() || s.done || !s.NextMember(name) || name != "_value") Miss();
    s.boxed = std::make_unique<FastSlot>(s.members->current);
    return FastNode(s.boxed.get());
  }

  template <class F>
  void ForEachMember(Path& /*path*/, F&& f) const {
    FastSlot& s = *slot_;
    if (!s.Open() || s.done) Miss();
    std::string_view name;
    while (s.NextMember(name)) {
      FastSlot member(s.members->current);
      f(name, Group(&member));
      member.Finish();
      ++s.members->next;
    }
    s.done = true;
  }

  template <class F>
  void ForEachItem(Path& /*path*/, std::string_view /*items are unnamed*/, F&& f) const {
    if (slot_->state == FastSlot::State::kObject) Miss();
    od::array items = Take(slot_->value.get_array());
    for (auto item : items) {
      FastSlot slot(Take(std::move(item)));
      f(FastNode(&slot));
      slot.Finish();
    }
  }

 private:
  bool Is(od::json_type type) const { return slot_->kind == type; }

  static bool Text(od::value& v, std::string_view& text) {
    return Take(v.type()) == od::json_type::string && StringText(v, text);
  }

  // The text of a value known to be a string.
  static bool StringText(od::value& v, std::string_view& text) {
    // Most text has no escape and is read where it lies, not copied out:
    // the token runs from the opening quote to the closing one, and blanks.
    std::string_view raw = v.raw_json_token();
    while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
    if (raw.size() < 2 || raw.back() != '"') Miss();
    raw = raw.substr(1, raw.size() - 2);
    if (std::memchr(raw.data(), '\\', raw.size()) == nullptr) {
      Take(v.get_raw_json_string());
      text = raw;
      return true;
    }
    text = Take(v.get_string());
    return GoodFastText(text);
  }

  // The value's token as written, without the blanks after it.
  std::string_view Token() const {
    std::string_view raw = slot_->value.raw_json_token();
    while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
    return raw;
  }

  // The number as written, for the exact readers in scalars.h.
  std::string_view NumberText() const {
    std::string_view raw = Token();
    if (!IsPlainNumber(raw)) Miss();
    return raw;
  }

  // Most integers are a few digits, read here; a longer one, or one with a
  // fraction or an exponent, is for the exact reader. No leading zero, as
  // JSON has it: "0" alone.
  static bool ShortInteger(std::string_view t, int64_t& v) {
    const bool negative = !t.empty() && t[0] == '-';
    const size_t first = negative ? 1 : 0;
    const size_t digits = t.size() - first;
    if (digits == 0 || digits > 18 || (t[first] == '0' && digits > 1)) return false;
    int64_t n = 0;
    size_t i = first;
    for (uint64_t eight = 0; t.size() - i >= 8 && EightDigits(t.data() + i, eight); i += 8) {
      n = n * 100000000 + static_cast<int64_t>(eight);
    }
    for (; i < t.size(); ++i) {
      const unsigned d = static_cast<unsigned>(t[i] - '0');
      if (d > 9) return false;
      n = n * 10 + static_cast<int64_t>(d);
    }
    v = negative ? -n : n;
    return true;
  }

  FastSlot* slot_;
};

}  // namespace Zamli::Wire::Json
