#pragma once
// What the encodings share: checks and names common to their documents.
#include <zamli/wire/codec.h>
#include <zamli/wire/format.h>
#include <zamli/wire/value_model.h>

namespace Zamli::Wire {

using Args = std::vector<Haldun::Ref<Any>>;

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
