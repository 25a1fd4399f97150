#pragma once
// The two encodings behind Codec: the same operations, one namespace each.
#include <zamli/wire/codec.h>
#include <zamli/wire/value_model.h>

namespace Zamli::Wire {

using Args = std::vector<Haldun::Ref<Any>>;

#define ZAMLI_WIRE_FORMAT_OPERATIONS                                                                                 \
  std::string EncodeValue(const Codec& codec, const Any* value, const Type& declared);                               \
  Haldun::Ref<Any> DecodeValue(const Codec& codec, std::string_view document, const Type& declared);                 \
  std::string EncodeRequest(const Codec& codec, const MoRef& target, const ManagedMethod& method, const Args& args); \
  Request DecodeRequest(const Codec& codec, std::string_view document);                                              \
  std::string EncodeResponse(const Codec& codec, const ManagedMethod& method, const Any* result);                    \
  Haldun::Ref<Any> DecodeResponse(const Codec& codec, std::string_view document, const ManagedMethod& method);       \
  std::string EncodeFault(const Codec& codec, const MethodFault& fault);                                             \
  Haldun::Ref<MethodFault> DecodeFault(const Codec& codec, std::string_view document);

namespace Xml {
ZAMLI_WIRE_FORMAT_OPERATIONS
}
namespace Json {
ZAMLI_WIRE_FORMAT_OPERATIONS
}
#undef ZAMLI_WIRE_FORMAT_OPERATIONS

// What both encodings check before they read a document.
void CheckSize(const Codec& codec, std::string_view document);
// The name a value document's root goes by: the declared type's wire name.
std::string RootName(const Declared& declared);
// The method record of a call; property readers are not calls.
const MethodInfo& MethodOf(const ManagedMethod& method);
// The same, for a call: refused when the codec's version lacks the method.
const MethodInfo& CallableMethod(const Codec& codec, const ManagedMethod& method);
// The fault's class as the version sees it.
const DataObjectType& FaultTypeFor(const VersionFilter& versions, const MethodFault& fault);
const DataObjectType& MethodFaultType();

}  // namespace Zamli::Wire
