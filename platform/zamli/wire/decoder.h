#pragma once
// The decoder, written once for both readers. A reader's node N offers:
//   bool IsNull() const;                   xsi:nil / JSON null
//   std::string_view TypeName() const;     xsi:type / "_typeName"; empty: none
//   bool ReadString(std::string_view&, std::string& scratch) const;  and
//   ReadBool, ReadInteger, ReadFloat: false when the node does not hold such
//   a value (text in pieces is joined in `scratch`)
//   bool ReadReference(std::string_view& type, std::string_view& id,
//                      std::string& scratch) const;
//   std::string Excerpt() const;           the bad input, for messages
//   N Boxed(Path&) const;                  the value inside an anyType box
//   void ForEachMember(Path&, F) const;    F(name, N::Group): an object's members
//   void ForEachItem(Path&, name, F) const;  F(N): the items of a wrapped
//                                          array, which XML names `name`
//   the constants of NodeTraits (node_traits.h), which it derives from
// and N::Group (a member: one node, or the items of a repeated array):
//   int Count() const; N First() const; void ForEach(Path&, F) const;
#include <haldun/exception.h>
#include <haldun/optional.h>
#include <zamli/types/registry.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/method_fault.h>
#include <zamli/values/mo_ref.h>
#include <zamli/values/primitive.h>
#include <zamli/wire/budget.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/decode_plan.h>
#include <zamli/wire/scalars.h>
#include <zamli/wire/value_model.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace Zamli::Wire {

template <class N>
class Decoder {
 public:
  // Made inside the decode's budget, which outlives it.
  Decoder(const VersionFilter& versions, const Limits& limits)
      : versions_(versions), limits_(limits), budget_(DecodeBudget::Current()), plans_(versions) {}

  Path& GetPath() { return path_; }
  const VersionFilter& GetVersions() const { return versions_; }

  // A value on its own: arrays are wrapped.
  Haldun::Ref<Any> Value(const N& node, const Declared& d) {
    if (d.array) return WrappedArray(node, d);
    return Single(node, d);
  }

  // A member: property, parameter or result; arrays repeat.
  Haldun::Ref<Any> Member(const typename N::Group& group, const Declared& d) {
    if (d.array) return RepeatedArray(group, d);
    if (group.Count() != 1) path_.Fail(Problem::kInvalidArgument, "given more than once");
    return Single(group.First(), d);
  }

  // A data object whose class is `declared` or named by the node.
  Haldun::Ref<Any> Object(const N& node, const DataObjectType* declared) {
    Enter();
    const DataObjectType* type = NamedType(node, declared);
    const DecodePlan& plan = plans_.For(*type);
    if (!plan.included) NotInVersion(type->GetName());
    DynamicData* created =
        type->GetDataTypeInfo()->createInstance != nullptr ? type->GetDataTypeInfo()->createInstance() : nullptr;
    if (created == nullptr) path_.Fail(Problem::kInvalidType, type->GetName() + " has no instances");
    Haldun::Ref<Any> result(created);
    const size_t count = plan.properties.size();
    Charge(kObjectBytes + count * kPropertyBytes);
    // Which properties were given, a bit each: one word here for most
    // types; for more than 64 properties, a frame on a stack all objects
    // share (found by its place, as nested objects may move the stack).
    const size_t words = plan.requiredBits.size();
    const size_t seen = seen_.size();
    uint64_t few = 0;
    if (words > 1) seen_.resize(seen + words, 0);
    size_t hint = 0;
    // Inlined by force: the walk of an object's members is where decoding
    // recurses, and the compiler would leave a call per member.
    const auto member = [&](std::string_view name, const typename N::Group& group) __attribute__((always_inline)) {
      size_t at = plan.Find(name, hint);
      PushName(name);
      if (at == count) path_.Fail(Problem::kInvalidArgument, "not a property of " + type->GetName());
      const uint64_t bit = uint64_t{1} << (at % 64);
      uint64_t& given = words > 1 ? seen_[seen + at / 64] : few;
      if (given & bit) path_.Fail(Problem::kInvalidArgument, "given more than once");
      given |= bit;
      hint = at + 1;
      const DecodedProperty& p = plan.properties[at];
      if (!p.included) NotInVersion("the property");
      Secret secret(*this, p.property.secret);
      SetProperty(*created, p.property, group);
      PopPath();
    };
    node.ForEachMember(path_, member);
    if (words == 1 && (few & plan.requiredBits[0]) != plan.requiredBits[0]) {
      seen_.push_back(few);
      MissingRequired(plan, seen);
    }
    if (words > 1) {
      for (size_t w = 0; w < words; ++w) {
        if ((seen_[seen + w] & plan.requiredBits[w]) != plan.requiredBits[w]) MissingRequired(plan, seen);
      }
      seen_.resize(seen);
    }
    Leave();
    return result;
  }

  // While it lives, the value being read is a secret's: never quoted.
  class Secret {
   public:
    Secret(Decoder& d, bool secret) : d_(d), was_(d.secret_) {
      if constexpr (N::kReportsErrors) d.secret_ = was_ || secret;
    }
    ~Secret() { d_.secret_ = was_; }

   private:
    Decoder& d_;
    bool was_;
  };

  [[noreturn]] void NotInVersion(const std::string& what) {
    path_.Fail(Problem::kNotSupported, what + " is not in " + versions_.GetVersion().GetName());
  }

 private:
  // The class the node names, or `declared`; whether the version includes
  // it is the plan's to say.
  const DataObjectType* NamedType(const N& node, const DataObjectType* declared) {
    std::string_view name = node.TypeName();
    const DataObjectType* type = declared;
    if (!name.empty()) {
      type = dynamic_cast<const DataObjectType*>(FindWireType(name));
      if (type == nullptr) path_.Fail(Problem::kInvalidType, "unknown data type " + Quote(name));
      if (declared != nullptr && !type->IsA(declared)) {
        path_.Fail(Problem::kInvalidType, type->GetName() + " is not a " + declared->GetName());
      }
    } else if (type == nullptr) {
      path_.Fail(Problem::kInvalidType, "the value does not name its type");
    }
    return type;
  }

  void PushName(std::string_view name) {
    if constexpr (N::kReportsErrors) path_.Push(name);
  }
  void PopPath() {
    if constexpr (N::kReportsErrors) path_.Pop();
  }

  // The first required property the frame at `seen` does not have.
  [[noreturn]] void MissingRequired(const DecodePlan& plan, size_t seen) {
    for (size_t i : plan.required) {
      if (!(seen_[seen + i / 64] >> (i % 64) & 1)) {
        path_.Push(plan.properties[i].name);
        path_.Fail(Problem::kInvalidArgument, "required, but missing");
      }
    }
    path_.Fail(Problem::kSystemError, "a required property went missing");
  }

  void Enter() {
    if (++depth_ > limits_.maxDepth) {
      path_.Fail(Problem::kInvalidArgument,
                 "values nested deeper than the limit of " + std::to_string(limits_.maxDepth));
    }
  }
  void Leave() { --depth_; }

  // What decoded values hold, roughly, counted against the decode's budget
  // with the parsers' memory.
  static constexpr size_t kObjectBytes = 64;
  static constexpr size_t kPropertyBytes = 16;
  static constexpr size_t kValueBytes = 32;
  void Charge(size_t bytes) {
    if (budget_ != nullptr && !budget_->Take(bytes)) budget_->Fail();
  }

  [[gnu::always_inline]] void SetProperty(DynamicData& object, const PropertyRef& p, const typename N::Group& group) {
    if (!p.IsInline()) {
      Haldun::Ref<Any> value = Member(group, DeclaredOf(p));
      if (p.offset >= 0 && FitsField(p, value.Get())) {
        // The field is its one pointer (as the field table has it): the
        // value's count moves there, and whatever was there goes with
        // `value`.
        static_assert(sizeof(Haldun::Ref<Any>) == sizeof(Any*));
        char* field = reinterpret_cast<char*>(&object) + p.offset;
        char held[sizeof(Any*)];
        std::memcpy(held, field, sizeof held);
        std::memcpy(field, static_cast<void*>(&value), sizeof held);
        std::memcpy(static_cast<void*>(&value), held, sizeof held);
        return;
      }
      Any* raw = value.Get();
      try {
        p.owner->GetDataTypeInfo()->setProperty(&object, p.index, &raw);
      } catch (const Haldun::TypeMismatchException& e) {
        path_.Fail(Problem::kInvalidType, e.what());
      }
      return;
    }
    if (group.Count() != 1) path_.Fail(Problem::kInvalidArgument, "given more than once");
    const N node = group.First();
    if (node.IsNull()) {
      if (!p.optional) path_.Fail(Problem::kInvalidArgument, "required, but null");
      return;
    }
    // Where the class gives its field's place, the value is written there
    // (as the field table's setter would, without its indirect call), so
    // that a string is copied once, from the document into the field.
    char* field = p.offset >= 0 ? reinterpret_cast<char*>(&object) + p.offset : nullptr;
    switch (p.kind) {
      case ValueKind::kString:
        if (field == nullptr) {
          // Read into a string kept for the next: the setter copies it.
          text_.assign(ReadString(node));
          p.owner->GetDataTypeInfo()->setProperty(&object, p.index, &text_);
        } else if (p.optional) {
          *reinterpret_cast<Haldun::Optional<std::string>*>(field) = std::string(ReadString(node));
        } else {
          *reinterpret_cast<std::string*>(field) = std::string(ReadString(node));
        }
        break;
      case ValueKind::kBool:
        Store(object, p, field, ReadBool(node));
        break;
      case ValueKind::kInt:
        Store(object, p, field, static_cast<int>(ReadInteger(node, INT_MIN, INT_MAX, "an int")));
        break;
      case ValueKind::kLong:
        Store(object, p, field, static_cast<long>(ReadInteger(node, LONG_MIN, LONG_MAX, "a long")));
        break;
      case ValueKind::kFloat:
        Store(object, p, field, ReadFloat(node));
        break;
      case ValueKind::kDateTime:
        Store(object, p, field, ReadDateTime(node));
        break;
      case ValueKind::kBinary:
        Store(object, p, field, ReadBinary(node));
        break;
      default:
        break;
    }
  }

  // Whether `value` is of the very class a field of the property holds, as
  // this decoder makes them: an object of the declared type, and arrays of
  // the declared items, made as the field's own class is. Others go through
  // the setter, which checks.
  static bool FitsField(const PropertyRef& p, Any* value) {
    if (value == nullptr) return true;
    if (p.array) {
      switch (p.kind) {
        case ValueKind::kData:
        case ValueKind::kString:
        case ValueKind::kInt:
        case ValueKind::kLong:
        case ValueKind::kMoRef:
          return true;
        default:
          return false;
      }
    }
    switch (p.kind) {
      case ValueKind::kAny:
      case ValueKind::kMoRef:
        return true;
      case ValueKind::kData:
        return static_cast<DynamicData*>(value)->_GetDataType() == p.type;
      default:
        return false;
    }
  }

  template <class T>
  static void Store(DynamicData& object, const PropertyRef& p, char* field, T value) {
    if (field == nullptr) {
      p.owner->GetDataTypeInfo()->setProperty(&object, p.index, &value);
    } else if (p.optional) {
      *reinterpret_cast<Haldun::Optional<T>*>(field) = std::move(value);
    } else {
      *reinterpret_cast<T*>(field) = std::move(value);
    }
  }

  Haldun::Ref<Any> Single(const N& node, const Declared& d) {
    if (node.IsNull()) return {};
    switch (d.kind) {
      case ValueKind::kData:
        return Object(node, static_cast<const DataObjectType*>(d.type));
      case ValueKind::kAny:
        return AnyValue(node);
      case ValueKind::kMoRef:
        return Reference(node);
      case ValueKind::kDynamicArray:
        return WrappedArray(node, Declared{ValueKind::kAny, nullptr, true});
      case ValueKind::kEnum:
        return EnumBox(node, static_cast<const EnumType*>(d.type));
      default:
        return Box(node, d.kind);
    }
  }

  Haldun::Ref<Any> Box(const N& node, ValueKind kind) {
    Charge(kValueBytes);
    switch (kind) {
      case ValueKind::kString:
        return Zamli::Box(std::string(ReadString(node)));
      case ValueKind::kBool:
        return Zamli::Box(ReadBool(node));
      case ValueKind::kInt:
        return Zamli::Box(static_cast<int>(ReadInteger(node, INT_MIN, INT_MAX, "an int")));
      case ValueKind::kLong:
        return Zamli::Box(static_cast<long>(ReadInteger(node, LONG_MIN, LONG_MAX, "a long")));
      case ValueKind::kFloat:
        return Zamli::Box(ReadFloat(node));
      case ValueKind::kDateTime:
        return Zamli::Box(ReadDateTime(node));
      case ValueKind::kBinary:
        return Zamli::Box(ReadBinary(node));
      default:
        path_.Fail(Problem::kSystemError, "not a primitive kind");
    }
  }

  Haldun::Ref<Any> EnumBox(const N& node, const EnumType* type) {
    if (!versions_.Includes(*type)) NotInVersion(type->GetName());
    return Haldun::Ref<Any>(type->GetFuncs().BoxValue(TagValue(type, ReadString(node))));
  }

  int TagValue(const EnumType* type, std::string_view tag) {
    int value = type->FindValue(tag);
    if (value < 0) path_.Fail(Problem::kInvalidArgument, Quote(tag) + " is not a tag of " + type->GetName());
    return value;
  }

  Haldun::Ref<Any> Reference(const N& node) {
    std::string_view type, id;
    if (!node.ReadReference(type, id, scratch_)) {
      path_.Fail(Problem::kInvalidArgument, "not a managed object reference: " + node.Excerpt());
    }
    CheckText(type);
    CheckText(id);
    Charge(kObjectBytes + type.size() + id.size());
    return Haldun::Ref<Any>(new MoRef(std::string(ReferenceTypeName(type)), std::string(id)));
  }

  // A value of anyType, which names its class.
  Haldun::Ref<Any> AnyValue(const N& node) {
    std::string_view name = node.TypeName();
    if (name.empty()) path_.Fail(Problem::kInvalidType, "a value of anyType must name its type");
    if (name == kMoRefWireName) return Reference(node);
    ValueKind kind;
    if (PrimitiveByWireName(name, kind)) return BoxedValue(node, Declared{kind, nullptr, false});
    std::string_view item = ArrayItemName(name);
    if (!item.empty()) return BoxedValue(node, ArrayItems(item));
    const Type* type = FindWireType(name);
    if (type != nullptr && (type->GetKind() == kDataKind || type->GetKind() == kFaultKind)) {
      return Object(node, nullptr);
    }
    if (type != nullptr && type->GetKind() == kEnumKind) {
      return BoxedValue(node, Declared{ValueKind::kEnum, type, false});
    }
    path_.Fail(Problem::kInvalidType, "unknown type " + Quote(name));
  }

  Haldun::Ref<Any> BoxedValue(const N& node, const Declared& d) {
    Enter();
    N inner = node.Boxed(path_);
    Haldun::Ref<Any> value = d.array ? WrappedArray(inner, d) : Single(inner, d);
    Leave();
    if (!value) path_.Fail(Problem::kInvalidArgument, "a boxed value cannot be null");
    return value;
  }

  // The item declaration of an "ArrayOf..." type name.
  Declared ArrayItems(std::string_view item) {
    Declared d;
    d.array = true;
    if (item == "AnyType") {
      d.kind = ValueKind::kAny;
      return d;
    }
    if (item == kMoRefWireName) {
      d.kind = ValueKind::kMoRef;
      return d;
    }
    std::string lowered(item);
    lowered[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowered[0])));
    if (PrimitiveByWireName(lowered, d.kind)) return d;
    const Type* type = FindWireType(item);
    if (type == nullptr) type = FindWireType(lowered);
    if (type != nullptr && (type->GetKind() == kDataKind || type->GetKind() == kFaultKind)) {
      d.kind = ValueKind::kData;
    } else if (type != nullptr && type->GetKind() == kEnumKind) {
      d.kind = ValueKind::kEnum;
    } else {
      path_.Fail(Problem::kInvalidType, "unknown array item type " + Quote(item));
    }
    if (!versions_.Includes(*type)) NotInVersion(type->GetName());
    d.type = type;
    return d;
  }

  Haldun::Ref<Any> WrappedArray(const N& node, const Declared& d) {
    std::string itemName = ItemWireName(d);
    return Collect(d, [&](auto&& add) { node.ForEachItem(path_, itemName, add); });
  }

  Haldun::Ref<Any> RepeatedArray(const typename N::Group& group, const Declared& d) {
    return Collect(d, [&](auto&& add) { group.ForEach(path_, add); });
  }

  // The array of the items that `forEach` hands to the function it is given.
  template <class ForEach>
  Haldun::Ref<Any> Collect(const Declared& d, ForEach&& forEach) {
    Enter();
    Builder builder(*this, d);
    int index = 0;
    forEach([&](const N& item) {
      Charge(kValueBytes);
      if constexpr (N::kReportsErrors) path_.PushIndex(index++);
      builder.Add(item);
      PopPath();
    });
    Leave();
    return builder.Finish();
  }

  // Collects the items of an array into the array class of the declaration.
  class Builder {
   public:
    Builder(Decoder& decoder, const Declared& d) : decoder_(decoder), item_(d) {
      item_.array = false;
      switch (d.kind) {
        case ValueKind::kString:
        case ValueKind::kEnum:
          strings_ = new Array<std::string>();
          array_ = Haldun::Ref<Any>(strings_);
          break;
        case ValueKind::kInt:
          ints_ = new Array<int>();
          array_ = Haldun::Ref<Any>(ints_);
          break;
        case ValueKind::kLong:
          longs_ = new Array<long>();
          array_ = Haldun::Ref<Any>(longs_);
          break;
        case ValueKind::kData:
          objects_ = static_cast<const DataObjectType*>(d.type)->GetDataTypeInfo()->createArray();
          array_ = Haldun::Ref<Any>(objects_);
          break;
        case ValueKind::kMoRef:
          objects_ = new DataArray<MoRef>();
          array_ = Haldun::Ref<Any>(objects_);
          break;
        case ValueKind::kAny:
        case ValueKind::kDynamicArray:
          objects_ = new DynamicArray();
          array_ = Haldun::Ref<Any>(objects_);
          break;
        default:
          decoder.path_.Fail(Problem::kInvalidType,
                             std::string("arrays of ") + PrimitiveWireName(d.kind) + " do not travel");
      }
    }

    void Add(const N& node) {
      if (objects_ != nullptr) {
        Haldun::Ref<Any> element = decoder_.Single(node, item_);
        objects_->AppendAny(element.Get());
      } else if (node.IsNull()) {
        decoder_.path_.Fail(Problem::kInvalidArgument, "an item of this array cannot be null");
      } else if (strings_ != nullptr) {
        std::string_view text = decoder_.ReadString(node);
        if (item_.kind == ValueKind::kEnum) decoder_.TagValue(static_cast<const EnumType*>(item_.type), text);
        Room(strings_->GetValues()).emplace_back(text);
      } else if (ints_ != nullptr) {
        Room(ints_->GetValues()).push_back(static_cast<int>(decoder_.ReadInteger(node, INT_MIN, INT_MAX, "an int")));
      } else {
        Room(longs_->GetValues()).push_back(decoder_.ReadInteger(node, LONG_MIN, LONG_MAX, "a long"));
      }
    }

    // Arrays are mostly short: room for a few at the first item saves the
    // first regrowths, as object arrays have it.
    template <class V>
    static V& Room(V& values) {
      if (values.capacity() == 0) values.reserve(4);
      return values;
    }

    Haldun::Ref<Any> Finish() {
      if (item_.kind != ValueKind::kEnum) return array_;
      const auto* type = static_cast<const EnumType*>(item_.type);
      return Haldun::Ref<Any>(type->GetFuncs().ArrayFromTags(strings_, type));
    }

   private:
    Decoder& decoder_;
    Declared item_;
    Haldun::Ref<Any> array_;
    Array<std::string>* strings_ = nullptr;
    Array<int>* ints_ = nullptr;
    Array<long>* longs_ = nullptr;
    DataArrayBase* objects_ = nullptr;
  };

  // -- scalars ---------------------------------------------------------------
  std::string_view ReadString(const N& node) {
    std::string_view text;
    if (!node.ReadString(text, scratch_)) Bad("a string", node);
    CheckText(text);
    Charge(kValueBytes + text.size());
    return text;
  }

  void CheckText(std::string_view text) {
    if constexpr (!N::kValidatesUtf8 || !N::kControlCharacters) {
      switch (FindTextFault(text, !N::kControlCharacters)) {
        case TextFault::kNone:
          return;
        case TextFault::kNotUtf8:
          path_.Fail(Problem::kInvalidArgument, "not valid UTF-8");
        case TextFault::kControl:
          path_.Fail(Problem::kInvalidArgument, "XML cannot carry control characters other than tab and line breaks");
      }
    }
  }

  bool ReadBool(const N& node) {
    bool v = false;
    if (!node.ReadBool(v)) Bad("a boolean", node);
    return v;
  }

  int64_t ReadInteger(const N& node, int64_t min, int64_t max, const char* what) {
    int64_t v = 0;
    if (!node.ReadInteger(min, max, v)) Bad(std::string(what) + " (or out of its range)", node);
    return v;
  }

  float ReadFloat(const N& node) {
    float v = 0;
    if (!node.ReadFloat(v)) Bad("a float (or out of its range)", node);
    return v;
  }

  Haldun::System::DateTime ReadDateTime(const N& node) {
    std::string_view text;
    Haldun::System::DateTime v;
    if (!node.ReadString(text, scratch_) || !ParseDateTime(text, v)) Bad("an ISO 8601 date-time", node);
    return v;
  }

  std::vector<unsigned char> ReadBinary(const N& node) {
    std::string_view text;
    std::vector<unsigned char> v;
    if (!node.ReadString(text, scratch_)) Bad("base64", node);
    Charge(kValueBytes + text.size() / 4 * 3);
    if (!ParseBase64(text, N::kBlanksInBase64, v)) Bad("base64", node);
    return v;
  }

  [[noreturn]] void Bad(const std::string& expected, const N& node) {
    path_.Fail(Problem::kInvalidArgument, "not " + expected + ": " + (secret_ ? "(a secret value)" : node.Excerpt()));
  }

  const VersionFilter& versions_;
  const Limits& limits_;
  Path path_;
  int depth_ = 0;
  bool secret_ = false;
  DecodeBudget* budget_;
  DecodePlans plans_;
  std::string scratch_;
  std::string text_;
  std::vector<uint64_t> seen_;
};

}  // namespace Zamli::Wire

namespace Zamli::Wire {

// The method a call names: the target's type by wire name, then the
// method's wire name on it.
template <class N>
const ManagedMethod& ResolveMethod(Decoder<N>& d, const MoRef& target, std::string_view wireName) {
  // Decoded references carry the interface name of a type they name.
  auto* type = dynamic_cast<const ManagedObjectType*>(TypeRegistry::Instance().FindByName(target.GetTypeName()));
  if (type == nullptr) {
    d.GetPath().Push("_this");
    d.GetPath().Fail(Problem::kInvalidType, "unknown managed type " + Quote(target.GetTypeName()));
  }
  const ManagedMethod* method = type->FindMethodByWsdlName(wireName);
  if (method == nullptr) {
    d.GetPath().Fail(Problem::kInvalidArgument, Quote(wireName) + " is not a method of " + type->GetName());
  }
  if (!d.GetVersions().Includes(*type)) d.NotInVersion(type->GetName());
  if (!d.GetVersions().Includes(method->GetMethodInfo()->version))
    d.NotInVersion(type->GetName() + "." + method->GetName());
  return *method;
}

// The arguments of a call: members named by the parameters, and the
// target, once.
template <class N>
void DecodeArguments(Decoder<N>& d, const N& call, const MethodInfo& method, std::vector<Haldun::Ref<Any>>& args) {
  std::vector<const PropertyInfo*> params;
  for (const PropertyInfo* p = method.params; p != nullptr && p->type != nullptr; ++p) params.push_back(p);
  args.assign(params.size(), {});
  std::string seen(params.size(), '\0');
  Path& path = d.GetPath();
  int targets = 0;
  call.ForEachMember(path, [&](std::string_view name, const typename N::Group& group) {
    if (name == "_this") {
      if (++targets > 1 || group.Count() != 1) Fail(Problem::kInvalidArgument, "_this", "given more than once");
      return;
    }
    if (N::kMethodMember && name == "_method") return;
    size_t at = 0;
    while (at < params.size() && name != params[at]->name) ++at;
    path.Push(name);
    if (at == params.size()) path.Fail(Problem::kInvalidArgument, std::string("not a parameter of ") + method.name);
    if (seen[at]) path.Fail(Problem::kInvalidArgument, "given more than once");
    seen[at] = 1;
    const PropertyInfo& p = *params[at];
    if (!d.GetVersions().Includes(p.version)) d.NotInVersion("the parameter");
    typename Decoder<N>::Secret secret(d, (p.flags & kSecretFlag) != 0);
    args[at] = d.Member(group, DeclaredOf(p.type, p.flags & kArrayFlag));
    path.Pop();
  });
  for (size_t i = 0; i < params.size(); ++i) {
    const PropertyInfo& p = *params[i];
    if (!args[i] && IsRequiredValue(p) && d.GetVersions().Includes(p.version)) {
      path.Push(p.name);
      path.Fail(Problem::kInvalidArgument, "required, but missing");
    }
  }
}

// The result of a response: its only member is "returnval", or none.
template <class N>
Haldun::Ref<Any> DecodeResult(Decoder<N>& d, const N& response, const MethodInfo& method) {
  Path& path = d.GetPath();
  std::optional<typename N::Group> returnval;
  response.ForEachMember(path, [&](std::string_view name, const typename N::Group& group) {
    if (name != "returnval") Fail(Problem::kInvalidArgument, std::string(name), "not part of a response");
    if (returnval) Fail(Problem::kInvalidArgument, "returnval", "given more than once");
    returnval = group;
  });
  path.Push("returnval");
  Haldun::Ref<Any> result;
  if (returnval) {
    if (method.result.type == nullptr) path.Fail(Problem::kInvalidArgument, "the method returns nothing");
    result = d.Member(*returnval, DeclaredOf(method.result.type, method.result.flags & kArrayFlag));
  }
  if (!result && method.result.type != nullptr && IsRequiredValue(method.result)) {
    path.Fail(Problem::kInvalidArgument, "required, but missing");
  }
  path.Pop();
  return result;
}

// A call: its target (`self`, null when the document has none), the method
// that the target's type and `wireName` name, and the arguments.
template <class N>
Request DecodeCall(Decoder<N>& d, const N& call, const N* self, std::string_view wireName) {
  Path& path = d.GetPath();
  path.Push("_this");
  Request request;
  if (self != nullptr)
    request.target = Haldun::Ref<MoRef>(static_cast<MoRef*>(d.Value(*self, Declared{ValueKind::kMoRef}).Get()));
  if (!request.target) path.Fail(Problem::kInvalidArgument, "the call names no target");
  path.Pop();
  request.method = &ResolveMethod(d, *request.target, wireName);
  DecodeArguments(d, call, *request.method->GetMethodInfo(), request.args);
  return request;
}

}  // namespace Zamli::Wire
