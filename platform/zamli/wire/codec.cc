#include <haldun/exception.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/wire/budget.h>
#include <zamli/wire/format.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/value_model.h>

#include <new>

namespace Zamli::Wire {

namespace {

const Format& BuiltIn(Encoding encoding) {
  switch (encoding) {
    case Encoding::kXml:
      return FindFormat("xml");
    case Encoding::kJson:
      return FindFormat("json");
  }
  Fail(Problem::kInvalidArgument, "", "no encoding numbered " + std::to_string(static_cast<int>(encoding)));
}

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

Codec::Codec(const Format& format, const Version& version, Limits limits)
    : format_(&format), version_(&version), limits_(limits) {}
Codec::Codec(std::string_view encoding, const Version& version, Limits limits)
    : Codec(FindFormat(encoding), version, limits) {}
Codec::Codec(Encoding encoding, const Version& version, Limits limits) : Codec(BuiltIn(encoding), version, limits) {}

std::string Codec::EncodeValue(const Any* value, const Type& declared) const {
  return Guarded([&] { return format_->EncodeValue(*this, value, declared); });
}
Haldun::Ref<Any> Codec::DecodeValue(std::string_view document, const Type& declared) const {
  DecodeBudget budget(limits_.maxDecodeBytes);
  return Guarded([&] { return format_->DecodeValue(*this, document, declared); });
}
std::string Codec::EncodeRequest(const MoRef& target, const ManagedMethod& method,
                                 const std::vector<Haldun::Ref<Any>>& args) const {
  return Guarded([&] { return format_->EncodeRequest(*this, target, method, args); });
}
Request Codec::DecodeRequest(std::string_view document) const {
  DecodeBudget budget(limits_.maxDecodeBytes);
  return Guarded([&] { return format_->DecodeRequest(*this, document); });
}
std::string Codec::EncodeResponse(const ManagedMethod& method, const Any* result) const {
  return Guarded([&] { return format_->EncodeResponse(*this, method, result); });
}
Haldun::Ref<Any> Codec::DecodeResponse(std::string_view document, const ManagedMethod& method) const {
  DecodeBudget budget(limits_.maxDecodeBytes);
  return Guarded([&] { return format_->DecodeResponse(*this, document, method); });
}
std::string Codec::EncodeFault(const MethodFault& fault) const {
  return Guarded([&] { return format_->EncodeFault(*this, fault); });
}
Haldun::Ref<MethodFault> Codec::DecodeFault(std::string_view document) const {
  DecodeBudget budget(limits_.maxDecodeBytes);
  return Guarded([&] { return format_->DecodeFault(*this, document); });
}

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
