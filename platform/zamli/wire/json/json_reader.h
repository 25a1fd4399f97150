#pragma once
// The decoder's view of a RapidJSON value.
#include <rapidjson/document.h>
#include <zamli/wire/budget.h>
#include <zamli/wire/errors.h>
#include <zamli/wire/node_traits.h>
#include <zamli/wire/scalars.h>

#include <string>
#include <string_view>

namespace Zamli::Wire {

// Documents whose memory counts against the decode's budget.
using JsonAllocator = rapidjson::MemoryPoolAllocator<CountingAllocator>;
using JsonValue = rapidjson::GenericValue<rapidjson::UTF8<>, JsonAllocator>;
using JsonDocument = rapidjson::GenericDocument<rapidjson::UTF8<>, JsonAllocator, CountingAllocator>;

// Numbers are kept as their text, read exactly when their type is known.
// They are stored as strings behind a byte that valid UTF-8, and so any JSON
// string, never holds.
inline constexpr char kNumberMark = '\xff';

class JsonNode : public NodeTraits {
 public:
  static constexpr bool kMethodMember = true;
  explicit JsonNode(const JsonValue* value) : value_(value) {}

  // A member is one value; an array member's items are its elements.
  class Group {
   public:
    explicit Group(const JsonValue* value) : value_(value) {}
    int Count() const { return 1; }
    JsonNode First() const { return JsonNode(value_); }
    template <class F>
    void ForEach(Path& path, F&& f) const {
      JsonNode(value_).ForEachItem(path, {}, f);
    }

   private:
    const JsonValue* value_;
  };

  bool IsNull() const { return value_->IsNull(); }

  std::string_view TypeName() const {
    if (!value_->IsObject()) return {};
    auto it = value_->FindMember("_typeName");
    if (it == value_->MemberEnd()) return {};
    // A name that is not a string names no type there is.
    return IsText(it->value) ? View(it->value) : std::string_view("?");
  }

  // JSON strings come whole: `scratch` is never needed.
  bool ReadString(std::string_view& text, std::string& /*scratch*/) const { return String(text); }
  bool ReadBool(bool& v) const {
    if (!value_->IsBool()) return false;
    v = value_->GetBool();
    return true;
  }
  bool ReadInteger(int64_t min, int64_t max, int64_t& v) const {
    return IsNumber(*value_) && ParseInteger(NumberText(*value_), min, max, v);
  }
  bool ReadFloat(float& v) const {
    if (IsNumber(*value_)) return ParseFloat(NumberText(*value_), v);
    std::string_view text;
    return String(text) && (text == "NaN" || text == "INF" || text == "-INF") && ParseFloat(text, v);
  }
  bool ReadReference(std::string_view& type, std::string_view& id, std::string& /*scratch*/) const {
    if (!value_->IsObject()) return false;
    bool haveType = false, haveId = false;
    for (auto it = value_->MemberBegin(); it != value_->MemberEnd(); ++it) {
      std::string_view name = View(it->name);
      if (name == "_typeName") {
        if (!IsText(it->value) || View(it->value) != "ManagedObjectReference") return false;
      } else if (name == "type" && IsText(it->value) && !haveType) {
        type = View(it->value);
        haveType = true;
      } else if (name == "value" && IsText(it->value) && !haveId) {
        id = View(it->value);
        haveId = true;
      } else {
        return false;
      }
    }
    return haveType && haveId;
  }

  std::string Excerpt() const {
    if (IsNumber(*value_)) return Printable(NumberText(*value_), 64);
    if (value_->IsString()) return Quote(View(*value_));
    if (value_->IsObject()) return "an object";
    if (value_->IsArray()) return "an array";
    if (value_->IsBool()) return value_->GetBool() ? "true" : "false";
    if (value_->IsNull()) return "null";
    return "a number";
  }

  JsonNode Boxed(Path& path) const {
    if (!value_->IsObject()) path.Fail(Problem::kInvalidArgument, "not a boxed value: " + Excerpt());
    const JsonValue* inner = nullptr;
    for (auto it = value_->MemberBegin(); it != value_->MemberEnd(); ++it) {
      std::string_view name = View(it->name);
      if (name == "_value" && inner == nullptr) {
        inner = &it->value;
      } else if (name != "_typeName") {
        path.Fail(Problem::kInvalidArgument, "a boxed value holds only _typeName and _value, not " + Quote(name));
      }
    }
    if (inner == nullptr) path.Fail(Problem::kInvalidArgument, "the boxed value has no _value");
    return JsonNode(inner);
  }

  template <class F>
  void ForEachMember(Path& path, F&& f) const {
    if (!value_->IsObject()) path.Fail(Problem::kInvalidArgument, "not an object: " + Excerpt());
    for (auto it = value_->MemberBegin(); it != value_->MemberEnd(); ++it) {
      std::string_view name = View(it->name);
      if (name == "_typeName") continue;
      f(name, Group(&it->value));
    }
  }

  template <class F>
  void ForEachItem(Path& path, std::string_view /*items are unnamed*/, F&& f) const {
    if (!value_->IsArray()) path.Fail(Problem::kInvalidArgument, "not an array: " + Excerpt());
    for (auto it = value_->Begin(); it != value_->End(); ++it) f(JsonNode(&*it));
  }

  static std::string_view View(const JsonValue& v) { return {v.GetString(), v.GetStringLength()}; }
  static bool IsNumber(const JsonValue& v) {
    return v.IsString() && v.GetStringLength() > 0 && v.GetString()[0] == kNumberMark;
  }
  static bool IsText(const JsonValue& v) { return v.IsString() && !IsNumber(v); }
  static std::string_view NumberText(const JsonValue& v) { return View(v).substr(1); }

 private:
  bool String(std::string_view& text) const {
    if (!IsText(*value_)) return false;
    text = View(*value_);
    return true;
  }

  const JsonValue* value_;
};

}  // namespace Zamli::Wire
