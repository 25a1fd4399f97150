#pragma once
// The decoder's view of a RapidJSON value.
#include <rapidjson/document.h>
#include <zamli/wire/errors.h>
#include <zamli/wire/scalars.h>

#include <string>
#include <string_view>

namespace Zamli::Wire {

class JsonNode {
 public:
  static constexpr bool kBlanksInBase64 = false;
  static constexpr bool kValidatesUtf8 = true;
  static constexpr bool kControlCharacters = true;
  explicit JsonNode(const rapidjson::Value* value) : value_(value) {}

  // A member is one value; an array member's items are its elements.
  class Group {
   public:
    explicit Group(const rapidjson::Value* value) : value_(value) {}
    int Count() const { return 1; }
    JsonNode First() const { return JsonNode(value_); }
    template <class F>
    void ForEach(Path& path, F&& f) const {
      JsonNode(value_).ForEachItem(path, {}, f);
    }

   private:
    const rapidjson::Value* value_;
  };

  bool IsNull() const { return value_->IsNull(); }

  std::string_view TypeName() const {
    if (!value_->IsObject()) return {};
    auto it = value_->FindMember("_typeName");
    if (it == value_->MemberEnd()) return {};
    // A name that is not a string names no type there is.
    return it->value.IsString() ? View(it->value) : std::string_view("?");
  }

  // JSON strings come whole: `scratch` is never needed.
  bool ReadString(std::string_view& text, std::string& /*scratch*/) const { return String(text); }
  bool ReadBool(bool& v) const {
    if (!value_->IsBool()) return false;
    v = value_->GetBool();
    return true;
  }
  bool ReadInteger(int64_t min, int64_t max, int64_t& v) const {
    if (!value_->IsInt64()) return false;
    v = value_->GetInt64();
    return v >= min && v <= max;
  }
  bool ReadFloat(float& v) const {
    if (value_->IsNumber()) return FloatFromDouble(value_->GetDouble(), v);
    std::string_view text;
    return String(text) && (text == "NaN" || text == "INF" || text == "-INF") && ParseFloat(text, v);
  }
  bool ReadReference(std::string_view& type, std::string_view& id) const {
    if (!value_->IsObject()) return false;
    bool haveType = false, haveId = false;
    for (auto it = value_->MemberBegin(); it != value_->MemberEnd(); ++it) {
      std::string_view name = View(it->name);
      if (name == "_typeName") {
        if (!it->value.IsString() || View(it->value) != "ManagedObjectReference") return false;
      } else if (name == "type" && it->value.IsString() && !haveType) {
        type = View(it->value);
        haveType = true;
      } else if (name == "value" && it->value.IsString() && !haveId) {
        id = View(it->value);
        haveId = true;
      } else {
        return false;
      }
    }
    return haveType && haveId;
  }

  std::string Excerpt() const {
    if (value_->IsString()) return Quote(View(*value_));
    if (value_->IsObject()) return "an object";
    if (value_->IsArray()) return "an array";
    if (value_->IsBool()) return value_->GetBool() ? "true" : "false";
    if (value_->IsNull()) return "null";
    return "a number";
  }

  JsonNode Boxed(Path& path) const {
    if (!value_->IsObject()) path.Fail(Problem::kInvalidArgument, "not a boxed value: " + Excerpt());
    const rapidjson::Value* inner = nullptr;
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

  static std::string_view View(const rapidjson::Value& v) { return {v.GetString(), v.GetStringLength()}; }

 private:
  bool String(std::string_view& text) const {
    if (!value_->IsString()) return false;
    text = View(*value_);
    return true;
  }

  const rapidjson::Value* value_;
};

}  // namespace Zamli::Wire
