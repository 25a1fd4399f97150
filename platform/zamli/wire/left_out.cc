#include <zamli/wire/encoder.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/left_out.h>

namespace Zamli::Wire {

namespace {

// A writer that writes nothing and lists what the encoder leaves out: the
// findings come from the encoder's own walk, so they follow its rules.
class LeftOutList {
 public:
  // Text checks that depend on the encoding are the encoding's own.
  static constexpr bool kControlCharacters = true;

  void LeftOut(const Path& path, std::string_view element, std::string_view introducedIn) {
    items.push_back({path.ToString(), std::string(element), std::string(introducedIn)});
  }

  static uint64_t NeedsEscape(uint64_t) { return 0; }
  void String(std::string_view, std::string_view, const TypeTag&) {}
  void PlainString(std::string_view, std::string_view, const TypeTag&) {}
  void Bool(std::string_view, bool, const TypeTag&) {}
  void Integer(std::string_view, int64_t, const TypeTag&) {}
  void Float(std::string_view, float, const TypeTag&) {}
  void Text(std::string_view, std::string_view, const TypeTag&) {}
  void Reference(std::string_view, std::string_view, std::string_view, bool) {}
  void Null(std::string_view) {}
  void BeginObject(std::string_view, const TypeTag&) {}
  void EndObject(std::string_view) {}
  void BeginArray(std::string_view, ArrayStyle, const TypeTag&) {}
  void EndArray(std::string_view, ArrayStyle, const TypeTag&) {}

  std::vector<Wire::LeftOut> items;
};

template <class Walk>
std::vector<LeftOut> Listed(const Codec& codec, Walk&& walk) {
  const VersionFilter versions(codec.GetVersion());
  LeftOutList list;
  Encoder<LeftOutList> encoder(list, versions);
  walk(encoder);
  return std::move(list.items);
}

}  // namespace

std::vector<LeftOut> LeftOutOfValue(const Codec& codec, const Any* value, const Type& declared) {
  const Declared d = DeclaredOf(declared);
  return Listed(codec, [&](Encoder<LeftOutList>& e) { e.Root("", value, d, ArrayStyle::kWrapped, true); });
}

std::vector<LeftOut> LeftOutOfRequest(const Codec& codec, const ManagedMethod& method,
                                      const std::vector<Haldun::Ref<Any>>& args) {
  const MethodInfo& info = CallableMethod(codec, method);
  return Listed(codec, [&](Encoder<LeftOutList>& e) { EncodeParameters(e, info, args); });
}

std::vector<LeftOut> LeftOutOfResponse(const Codec& codec, const ManagedMethod& method, const Any* result) {
  const MethodInfo& info = CallableMethod(codec, method);
  return Listed(codec, [&](Encoder<LeftOutList>& e) { EncodeResult(e, info, result); });
}

std::vector<LeftOut> LeftOutOfFault(const Codec& codec, const MethodFault& fault) {
  const DataObjectType& type = FaultTypeFor(VersionFilter(codec.GetVersion()), fault);
  return Listed(codec, [&](Encoder<LeftOutList>& e) { e.NamedObject("", fault, type); });
}

std::string Describe(const LeftOut& item, const Version& version) {
  return (item.path.empty() ? "" : item.path + ": ") + item.element + " introduced in " + item.introducedIn +
         ", not in " + version.GetName();
}

}  // namespace Zamli::Wire
