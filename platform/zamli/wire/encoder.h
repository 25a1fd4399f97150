#pragma once
// The encoder, written once for both writers: it walks values through the
// type records and tells the writer what to write.
#include <haldun/exception.h>
#include <zamli/types/primitive_records.h>
#include <zamli/values/array.h>
#include <zamli/values/collection.h>
#include <zamli/values/data_array.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/mo_ref.h>
#include <zamli/values/primitive.h>
#include <zamli/values/property_value.h>
#include <zamli/wire/byte_scan.h>
#include <zamli/wire/encode_plan.h>
#include <zamli/wire/scalars.h>
#include <zamli/wire/value_model.h>
#include <zamli/wire/writer.h>

#include <string>
#include <tuple>
#include <typeinfo>

namespace Zamli::Wire {

template <class W>
class Encoder {
 public:
  Encoder(W& out, const VersionFilter& versions) : out_(out), versions_(versions), plans_(versions) {}

  Path& GetPath() { return path_; }

  // `value` under `name`, as `declared` says; null is left out, except as
  // an item of an array, where it is written as null. A value the version
  // has no class for is left out too, or refused when `required`.
  void Value(const WireName& name, const Any* value, const Declared& declared, ArrayStyle style, bool required) {
    path_.Push(name);
    Root(name, value, declared, style, required);
    path_.Pop();
  }

  // The same, for the value a document is made of: its name is no part of
  // the paths of its contents.
  void Root(const WireName& name, const Any* value, const Declared& declared, ArrayStyle style, bool required) {
    if (declared.array) {
      Array(name, value, declared, style, TypeTag{});
    } else if (value != nullptr) {
      const DynamicData* object = AsData(*value, declared);
      if (Travels(*value, declared, object)) {
        Single(name, *value, declared, object);
      } else if (required) {
        path_.Fail(Problem::kNotSupported, "required, but " + versions_.GetVersion().GetName() +
                                               " has no class for its value of " + value->_GetType()->GetName());
      } else {
        LeftOut(*value);
      }
    }
  }

  // A data object that names its class, whatever the declaration implies.
  void NamedObject(const WireName& name, const Any& value, const DataObjectType& declared) {
    path_.Push(name);
    Object(name, value, &declared, true);
    path_.Pop();
  }

  // Whether a declaration of this version can travel: for one the version
  // lacks, false when it may be left out, an error when it is required.
  // `element` says what is declared, for a writer that lists what is left out.
  bool Admits(const char* version, bool required, bool present, std::string_view element) {
    if (versions_.Includes(version)) return true;
    if (required && present) {
      path_.Fail(Problem::kNotSupported, "required, but not in " + versions_.GetVersion().GetName());
    }
    if (present) LeftOut(element, version);
    return false;
  }

 private:
  // A writer with a LeftOut member is told what the version leaves out
  // (left_out.cc); the encodings' writers are not, and pay nothing for it.
  static constexpr bool kListsLeftOut = requires(W & w, const Path& path, std::string_view text) {
    w.LeftOut(path, text, text);
  };

  void LeftOut(std::string_view element, std::string_view version) {
    if constexpr (kListsLeftOut) out_.LeftOut(path_, element, version);
  }

  // A value of a class the version lacks.
  void LeftOut(const Any& value) {
    if constexpr (kListsLeftOut) {
      const Type* type = value._GetType();
      if (auto* array = dynamic_cast<const ArrayType*>(type)) type = array->GetItemType();
      out_.LeftOut(path_, type->GetName(), type->GetVersionName());
    }
  }

  static bool MayLackClass(const Declared& d) {
    return d.kind == ValueKind::kData || d.kind == ValueKind::kAny || d.kind == ValueKind::kDynamicArray;
  }

  // The value as a data object, where the declaration may hold one: cast
  // once for both Travels and Object.
  const DynamicData* AsData(const Any& value, const Declared& d) {
    return MayLackClass(d) ? Cast<DynamicData>(value) : nullptr;
  }

  // dynamic_cast, made once for a run of values of one class (the items of
  // an array mostly are, and arrays of a kind): a value of the class last
  // found to be a T is one. Classes are told apart by address, which can
  // only miss.
  template <class T>
  const T* Cast(const Any& value) {
    const std::type_info*& known = std::get<KnownClass<T>>(known_classes_).type;
    const std::type_info& type = typeid(value);
    if (&type == known) return static_cast<const T*>(&value);
    auto* cast = dynamic_cast<const T*>(&value);
    if (cast != nullptr) known = &type;
    return cast;
  }

  template <class T>
  struct KnownClass {
    const std::type_info* type = nullptr;
  };

  // False for a value the version has no class for: a data object whose
  // class and bases up to the declared one are all newer, or an enumeration
  // value of a newer enumeration. `object` is AsData(value, d).
  bool Travels(const Any& value, const Declared& d, const DynamicData* object) {
    if (!MayLackClass(d)) return true;
    if (object != nullptr) {
      const DataObjectType* type = object->_GetDataType();
      if (d.kind == ValueKind::kData && !type->IsA(static_cast<const DataObjectType*>(d.type))) return true;
      const DataObjectType* sent = plans_.For(*type).sent;
      return sent != nullptr && (d.kind != ValueKind::kData || sent->IsA(static_cast<const DataObjectType*>(d.type)));
    }
    const Type* type = value._GetType();
    if (auto* array = dynamic_cast<const ArrayType*>(type)) type = array->GetItemType();
    return type->GetKind() != kEnumKind || versions_.Includes(*type);
  }

  void Single(const WireName& name, const Any& value, const Declared& d, const DynamicData* object) {
    switch (d.kind) {
      case ValueKind::kData:
        Object(name, value, object, static_cast<const DataObjectType*>(d.type));
        return;
      case ValueKind::kAny:
        AnyValue(name, value);
        return;
      case ValueKind::kMoRef:
        Reference(name, value, false);
        return;
      case ValueKind::kDynamicArray:
        Array(name, &value, Declared{ValueKind::kAny, nullptr, true}, ArrayStyle::kWrapped, TypeTag{});
        return;
      case ValueKind::kEnum: {
        const auto* type = static_cast<const EnumType*>(d.type);
        out_.String(name, type->GetTag(type->GetFuncs().UnboxValue(&value)), TypeTag{});
        return;
      }
      default:
        Boxed(name, value, d.kind, TypeTag{});
    }
  }

  void Object(const WireName& name, const Any& value, const DataObjectType* declared, bool named = false) {
    Object(name, value, Cast<DynamicData>(value), declared, named);
  }

  // `object` is `value` as a data object, or null when it is none.
  void Object(const WireName& name, const Any& value, const DynamicData* object, const DataObjectType* declared,
              bool named = false) {
    if (object == nullptr) Mismatch(declared ? declared->GetName() : "a data object", value);
    const DataObjectType* type = object->_GetDataType();
    if (declared != nullptr && !type->IsA(declared)) Mismatch(declared->GetName(), value);
    const EncodePlan& plan = plans_.For(*type);
    const DataObjectType* sent = plan.sent;
    if (sent == nullptr || (declared != nullptr && sent != declared && !sent->IsA(declared))) {
      path_.Fail(Problem::kNotSupported, type->GetName() + " is not in " + versions_.GetVersion().GetName());
    }
    if constexpr (kListsLeftOut) {
      if (sent != type) {
        out_.LeftOut(path_, type->GetName() + " (goes as " + sent->GetName() + ")", type->GetVersionName());
      }
    }
    out_.BeginObject(name, sent == declared && !named ? TypeTag{} : TypeTag{sent->GetWsdlName()});
    auto* self = const_cast<DynamicData*>(object);
    for (const PlannedProperty& p : plan.properties) Property(*self, p);
    out_.EndObject(name);
  }

  void Property(DynamicData& object, const PlannedProperty& p) {
    const void* addr = p.address(&object, p.property->index);
    if (addr == nullptr) return;  // unset optional, null reference, empty array
    if (!p.included) {
      if (p.required) {
        path_.Push(p.name);
        path_.Fail(Problem::kNotSupported, "required, but not in " + versions_.GetVersion().GetName());
      }
      if constexpr (kListsLeftOut) {
        const PropertyInfo& info = *p.property->info;
        path_.Push(p.name);
        if (ExcludedBy(versions_, info) == Exclusion::kOwnVersion) {
          LeftOut("property", info.version);
        } else {
          LeftOut(info.type->name, info.type->version);
        }
        path_.Pop();
      }
      return;
    }
    if (!p.stored_inline) {
      Value(WireName(p.name, p.json_member), static_cast<const Any*>(addr), DeclaredOf(*p.property),
            ArrayStyle::kRepeated, p.required);
      return;
    }
    path_.Push(p.name);
    Inline(WireName(p.name, p.json_member), *p.property, addr);
    path_.Pop();
  }

  // A property stored in place, at the address its record function gave.
  void Inline(const WireName& name, const PropertyRef& p, const void* addr) {
    VisitValue(p, addr, [&](const auto& v) {
      using V = std::remove_cvref_t<decltype(v)>;
      if constexpr (std::is_same_v<V, std::string>) {
        String(name, v, TypeTag{});
      } else if constexpr (std::is_same_v<V, bool>) {
        out_.Bool(name, v, TypeTag{});
      } else if constexpr (std::is_same_v<V, int> || std::is_same_v<V, long>) {
        out_.Integer(name, v, TypeTag{});
      } else if constexpr (std::is_same_v<V, float>) {
        out_.Float(name, v, TypeTag{});
      } else if constexpr (std::is_same_v<V, Haldun::System::DateTime>) {
        DateTime(name, v, TypeTag{});
      } else if constexpr (std::is_same_v<V, std::vector<unsigned char>>) {
        Binary(name, v, TypeTag{});
      }
    });
  }

  // A boxed primitive of the declared kind.
  void Boxed(const WireName& name, const Any& value, ValueKind kind, const TypeTag& tag) {
    switch (kind) {
      case ValueKind::kString:
        String(name, Unbox<std::string>(value), tag);
        return;
      case ValueKind::kBool:
        out_.Bool(name, Unbox<bool>(value), tag);
        return;
      case ValueKind::kInt:
        out_.Integer(name, Unbox<int>(value), tag);
        return;
      case ValueKind::kLong:
        out_.Integer(name, Unbox<long>(value), tag);
        return;
      case ValueKind::kFloat:
        out_.Float(name, Unbox<float>(value), tag);
        return;
      case ValueKind::kDateTime:
        DateTime(name, Unbox<Haldun::System::DateTime>(value), tag);
        return;
      case ValueKind::kBinary:
        Binary(name, Unbox<std::vector<unsigned char>>(value), tag);
        return;
      default:
        path_.Fail(Problem::kSystemError, "not a primitive kind");
    }
  }

  // The boxed value (booleans' boxes hand theirs out by value).
  template <class T>
  decltype(auto) Unbox(const Any& value) {
    auto* box = dynamic_cast<const Primitive<T>*>(&value);
    if (box == nullptr) Mismatch(PrimitiveName<T>(), value);
    return box->GetValue();
  }

  template <class T>
  static std::string PrimitiveName() {
    return GetNoType<T>()->GetName();
  }

  // A value of anyType: it names its class.
  void AnyValue(const WireName& name, const Any& value) {
    const Type* type = value._GetType();
    if (auto* arrayType = dynamic_cast<const ArrayType*>(type)) {
      Declared items = DeclaredOf(*arrayType->GetItemType());
      std::string wire =
          ArrayWireName(items.kind == ValueKind::kMoRef ? kMoRefWireName : arrayType->GetItemType()->GetWsdlName());
      items.array = true;
      if (items.type != nullptr) RequireIncluded(*items.type);
      Array(name, &value, items, ArrayStyle::kWrapped, TypeTag{wire});
      return;
    }
    if (type->GetTypeInfo() == &gKettarDynamicArrayTypeInfo) {
      Array(name, &value, Declared{ValueKind::kAny, nullptr, true}, ArrayStyle::kWrapped,
            TypeTag{ArrayWireName(kAnyWireName)});
      return;
    }
    switch (type->GetKind()) {
      case kDataKind:
      case kFaultKind:
        Object(name, value, nullptr);
        return;
      case kManagedKind:
        Reference(name, value, true);
        return;
      case kEnumKind: {
        const auto* enumType = static_cast<const EnumType*>(type);
        RequireIncluded(*enumType);
        String(name, enumType->GetTag(enumType->GetFuncs().UnboxValue(&value)), TypeTag{enumType->GetWsdlName()});
        return;
      }
      default: {
        ValueKind kind;
        if (!PrimitiveKindOf(type->GetTypeInfo(), kind)) {
          path_.Fail(Problem::kInvalidType, type->GetName() + " cannot travel as anyType");
        }
        Boxed(name, value, kind, TypeTag{PrimitiveWireName(kind), true});
      }
    }
  }

  void RequireIncluded(const Type& type) {
    if (!versions_.Includes(type)) {
      path_.Fail(Problem::kNotSupported, type.GetName() + " is not in " + versions_.GetVersion().GetName());
    }
  }

  void Reference(const WireName& name, const Any& value, bool typed) {
    auto* ref = dynamic_cast<const MoRef*>(&value);
    if (ref == nullptr) Mismatch("a managed object reference", value);
    CheckText(ref->GetTypeName());
    CheckText(ref->GetId());
    out_.Reference(name, ReferenceWireName(ref->GetTypeName()), ref->GetId(), typed);
  }

  // An array value: property arrays repeat, anyType and documents wrap.
  void Array(const WireName& name, const Any* value, const Declared& d, ArrayStyle style, const TypeTag& tag) {
    if (value == nullptr) return;
    // Repeated items go under the array's own name; wrapped ones are named
    // by their type.
    std::string wrapped = style == ArrayStyle::kWrapped ? ItemWireName(d) : std::string();
    out_.BeginArray(name, style, tag);
    Items(style == ArrayStyle::kRepeated ? name : WireName(wrapped), *value, d);
    out_.EndArray(name, style, tag);
  }

  void Items(const WireName& itemName, const Any& value, const Declared& d) {
    Declared item = d;
    item.array = false;
    if (d.kind == ValueKind::kEnum) {
      const auto* type = static_cast<const EnumType*>(d.type);
      Haldun::Ref<Zamli::Array<std::string>> tags;
      type->GetFuncs().ArrayToTags(&value, type, tags);
      if (tags) StringItems(itemName, tags->GetValues());
      return;
    }
    switch (d.kind) {
      case ValueKind::kString:
        StringItems(itemName, Typed<Zamli::Array<std::string>>(value).GetValues());
        return;
      case ValueKind::kInt:
        for (int v : Typed<Zamli::Array<int>>(value).GetValues()) out_.Integer(itemName, v, TypeTag{});
        return;
      case ValueKind::kLong:
        for (long v : Typed<Zamli::Array<long>>(value).GetValues()) out_.Integer(itemName, v, TypeTag{});
        return;
      case ValueKind::kData:
      case ValueKind::kMoRef:
      case ValueKind::kAny:
      case ValueKind::kDynamicArray: {
        const auto& elements = Typed<DataArrayBase>(value).GetElements();
        int index = 0;
        for (const Haldun::Ref<Any>& e : elements) {
          path_.PushIndex(index++);
          if (e) {
            // An item the version has no class for is left out.
            const DynamicData* object = AsData(*e, item);
            if (Travels(*e, item, object)) {
              Single(itemName, *e, item, object);
            } else {
              LeftOut(*e);
            }
          } else {
            out_.Null(itemName);
          }
          path_.Pop();
        }
        return;
      }
      default:
        path_.Fail(Problem::kInvalidType, std::string("arrays of ") + PrimitiveWireName(d.kind) + " do not travel");
    }
  }

  void StringItems(const WireName& itemName, const std::vector<std::string>& values) {
    int index = 0;
    for (const std::string& v : values) {
      path_.PushIndex(index++);
      String(itemName, v, TypeTag{});
      path_.Pop();
    }
  }

  template <class A>
  const A& Typed(const Any& value) {
    auto* array = Cast<A>(value);
    if (array == nullptr) Mismatch(Haldun::Demangle(typeid(A)), value);
    return *array;
  }

  void String(const WireName& name, std::string_view value, const TypeTag& tag) {
    // Plain ASCII that needs no escapes is valid text: one scan checks both.
    auto plain = [](uint64_t word) { return Bytes::AnyHigh(word) | W::NeedsEscape(word); };
    if constexpr (requires { out_.PlainString(name, value, tag, plain); }) {
      // The writer checks as it copies.
      if (out_.PlainString(name, value, tag, plain)) return;
    } else if (Bytes::NoneFlagged(value, plain)) {
      out_.PlainString(name, value, tag);
      return;
    }
    CheckText(value);
    out_.String(name, value, tag);
  }

  void CheckText(std::string_view value) {
    switch (FindTextFault(value, !W::kControlCharacters)) {
      case TextFault::kNone:
        return;
      case TextFault::kNotUtf8:
        path_.Fail(Problem::kInvalidArgument, "not valid UTF-8: " + Quote(value));
      case TextFault::kControl:
        path_.Fail(Problem::kInvalidArgument, "XML cannot carry control characters other than tab and line breaks");
    }
  }

  void DateTime(const WireName& name, const Haldun::System::DateTime& value, const TypeTag& tag) {
    text_.clear();
    if (!FormatDateTime(value, text_)) {
      path_.Fail(Problem::kInvalidArgument, "the instant is outside the years 0001 to 9999");
    }
    out_.Text(name, text_, tag);
  }

  void Binary(const WireName& name, const std::vector<unsigned char>& value, const TypeTag& tag) {
    text_.clear();
    AppendBase64(text_, value);
    out_.Text(name, text_, tag);
  }

  [[noreturn]] void Mismatch(const std::string& expected, const Any& value) {
    const Type* actual = value._GetType();
    path_.Fail(Problem::kInvalidType,
               "expected " + expected + ", got " + (actual ? actual->GetName() : Haldun::Demangle(typeid(value))));
  }

  W& out_;
  const VersionFilter& versions_;
  Path path_;
  EncodePlans plans_;
  std::string text_;
  std::tuple<KnownClass<DynamicData>, KnownClass<DataArrayBase>, KnownClass<Zamli::Array<std::string>>,
             KnownClass<Zamli::Array<int>>, KnownClass<Zamli::Array<long>>>
      known_classes_;
};

// The result of a call, as "returnval".
template <class W>
void EncodeResult(Encoder<W>& e, const MethodInfo& method, const Any* result) {
  if (method.result.type == nullptr) return;
  e.Value("returnval", result, DeclaredOf(method.result.type, method.result.flags & kArrayFlag), ArrayStyle::kRepeated,
          !(method.result.flags & kOptionalFlag));
}

// The parameters of a call, in declared order.
template <class W>
void EncodeParameters(Encoder<W>& e, const MethodInfo& method, const std::vector<Haldun::Ref<Any>>& args) {
  size_t i = 0;
  for (const PropertyInfo* p = method.params; p != nullptr && p->type != nullptr; ++p, ++i) {
    const Any* value = i < args.size() ? args[i].Get() : nullptr;
    bool present = value != nullptr && !IsEmptyCollection(value);
    e.GetPath().Push(p->name);
    bool admitted = e.Admits(p->version, !(p->flags & kOptionalFlag), present, "parameter");
    e.GetPath().Pop();
    if (admitted) {
      e.Value(p->name, value, DeclaredOf(p->type, p->flags & kArrayFlag), ArrayStyle::kRepeated,
              !(p->flags & kOptionalFlag));
    }
  }
}

}  // namespace Zamli::Wire
