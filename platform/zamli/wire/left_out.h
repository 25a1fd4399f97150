#pragma once
// What a codec's version leaves out of what it encodes. Encoding at an older
// version drops, without a word, what that version does not know and may go
// without: optional properties and parameters newer than it, or whose type
// is newer; a value of a newer class, which goes as its nearest base the
// version has (without the newer class's name and properties) or, when it
// has none, is left out like an array item of such a class. These functions
// walk a value the way the encoder does and list each of those instead, so
// that a caller can refuse to send less than it meant to.
//
// What the version cannot go without (a required property it lacks, a
// method it lacks) is no finding: encoding refuses it, and so do these,
// with the same fault as Codec raises.
#include <zamli/wire/codec.h>

#include <string>
#include <vector>

namespace Zamli::Wire {

struct LeftOut {
  std::string path;  // where in the value: "disks[1].compFullness"; empty for the value itself
  // "property", "parameter", or the class of a value the version lacks:
  // "T", or "T (goes as B)" when its base B goes instead.
  std::string element;
  std::string introducedIn;  // the version that introduced it
};

// The same arguments as the codec's Encode functions.
ZAMLI_WIRE_EXPORT std::vector<LeftOut> LeftOutOfValue(const Codec& codec, const Any* value, const Type& declared);
ZAMLI_WIRE_EXPORT std::vector<LeftOut> LeftOutOfRequest(const Codec& codec, const ManagedMethod& method,
                                                        const std::vector<Haldun::Ref<Any>>& args);
ZAMLI_WIRE_EXPORT std::vector<LeftOut> LeftOutOfResponse(const Codec& codec, const ManagedMethod& method,
                                                         const Any* result);
ZAMLI_WIRE_EXPORT std::vector<LeftOut> LeftOutOfFault(const Codec& codec, const MethodFault& fault);

// "disks[1].compFullness: property of pelk.version.version23, not in
// pelk.version.version20", for people.
ZAMLI_WIRE_EXPORT std::string Describe(const LeftOut& item, const Version& version);

}  // namespace Zamli::Wire
