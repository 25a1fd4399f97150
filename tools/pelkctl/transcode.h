#pragma once
// Wire documents from one encoding into the other, for `pelkctl encode` and
// `pelkctl decode`: a person reads a document in the encoding they find
// easier, or writes one by hand and has the codec produce the other.
#include <zamli/types/type.h>
#include <zamli/types/version.h>
#include <zamli/wire/codec.h>

#include <iosfwd>
#include <string>
#include <string_view>

namespace Pelkctl {

// A type for a value document: an interface or wire name (see FindType),
// with a trailing "[]" for the array type of it; null when none matches.
const Zamli::Type* FindValueType(const std::string& name);

// The newest version of the pelk namespace: what the commands use unless told.
const Zamli::Version& NewestVersion();

// Reads all of `in` as one value document of `type` in the encoding named
// `from`, and writes the value in the one named `to` to `out`, followed by a
// line feed. Both codecs are for `version`. Bad input, or an encoding no
// codec knows (see Zamli::Wire::FormatNames), raises the codec's fault (see
// Zamli::Wire::Describe); nothing is written then.
void Transcode(std::istream& in, std::ostream& out, const Zamli::Type& type, const Zamli::Version& version,
               std::string_view from, std::string_view to);

}  // namespace Pelkctl
