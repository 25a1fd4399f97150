#include <haldun/exception.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/wire/budget.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/value_model.h>

#include <new>

namespace Zamli::Wire {

Codec::Codec(Encoding encoding, const Version& version, Limits limits)
    : encoding_(encoding), version_(&version), limits_(limits) {}

namespace {
// The codecs raise faults; an error of the runtime that escapes them (a
// value the records cannot hold, say) becomes a fault too, so that callers
// handle one kind of error.
template <class F>
auto Guarded(F&& operation) -> decltype(operation()) {
  try {
    return operation();
  } catch (const MethodFault::Exception&) {
    throw;
  } catch (const Haldun::Exception& e) {
    Fail(Problem::kInvalidArgument, "", e.what());
  } catch (const BudgetExceeded&) {
    DecodeBudget::Current()->Fail();
  } catch (const std::bad_alloc&) {
    Fail(Problem::kSystemError, "", "out of memory");
  }
}
}  // namespace

// Each operation goes to the namespace of the codec's encoding; a decode
// runs on its budget.
#define ZAMLI_WIRE_DISPATCH(call) return Guarded([&] { return encoding_ == Encoding::kXml ? Xml::call : Json::call; })
#define ZAMLI_WIRE_DECODE(call)                \
  DecodeBudget budget(limits_.maxDecodeBytes); \
  ZAMLI_WIRE_DISPATCH(call)

std::string Codec::EncodeValue(const Any* value, const Type& declared) const {
  ZAMLI_WIRE_DISPATCH(EncodeValue(*this, value, declared));
}
Haldun::Ref<Any> Codec::DecodeValue(std::string_view document, const Type& declared) const {
  ZAMLI_WIRE_DECODE(DecodeValue(*this, document, declared));
}
std::string Codec::EncodeRequest(const MoRef& target, const ManagedMethod& method,
                                 const std::vector<Haldun::Ref<Any>>& args) const {
  ZAMLI_WIRE_DISPATCH(EncodeRequest(*this, target, method, args));
}
Request Codec::DecodeRequest(std::string_view document) const { ZAMLI_WIRE_DECODE(DecodeRequest(*this, document)); }
std::string Codec::EncodeResponse(const ManagedMethod& method, const Any* result) const {
  ZAMLI_WIRE_DISPATCH(EncodeResponse(*this, method, result));
}
Haldun::Ref<Any> Codec::DecodeResponse(std::string_view document, const ManagedMethod& method) const {
  ZAMLI_WIRE_DECODE(DecodeResponse(*this, document, method));
}
std::string Codec::EncodeFault(const MethodFault& fault) const { ZAMLI_WIRE_DISPATCH(EncodeFault(*this, fault)); }
Haldun::Ref<MethodFault> Codec::DecodeFault(std::string_view document) const {
  ZAMLI_WIRE_DECODE(DecodeFault(*this, document));
}

#undef ZAMLI_WIRE_DECODE
#undef ZAMLI_WIRE_DISPATCH

void CheckSize(const Codec& codec, std::string_view document) {
  if (document.size() > codec.GetLimits().maxDocumentBytes) {
    Fail(Problem::kInvalidArgument, "",
         "the document has " + std::to_string(document.size()) + " bytes, more than the limit of " +
             std::to_string(codec.GetLimits().maxDocumentBytes));
  }
}

std::string RootName(const Declared& d) {
  if (d.kind == ValueKind::kDynamicArray) return ArrayWireName(kAnyWireName);
  std::string item = ItemWireName(d);
  return d.array ? ArrayWireName(item) : item;
}

const MethodInfo& MethodOf(const ManagedMethod& method) {
  if (method.GetMethodInfo() == nullptr) {
    Fail(Problem::kInvalidArgument, "", std::string(method.GetName()) + " is a property reader, not a remote method");
  }
  return *method.GetMethodInfo();
}

const MethodInfo& CallableMethod(const Codec& codec, const ManagedMethod& method) {
  const MethodInfo& info = MethodOf(method);
  if (!VersionFilter(codec.GetVersion()).Includes(info.version)) {
    Fail(Problem::kNotSupported, "",
         method.GetOwner()->GetName() + "." + info.name + " is not in " + codec.GetVersion().GetName());
  }
  return info;
}

const DataObjectType& MethodFaultType() {
  static const auto* type =
      dynamic_cast<const DataObjectType*>(TypeRegistry::Instance().FindByTypeInfo(&gKettarMethodFaultTypeInfo));
  return *type;
}

const DataObjectType& FaultTypeFor(const VersionFilter& versions, const MethodFault& fault) {
  const DataObjectType* type = versions.Downlevel(fault._GetDataType());
  return type != nullptr ? *type : MethodFaultType();
}

}  // namespace Zamli::Wire
