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

// What a document holds: a value of `type`, a call (its method is named in
// the document), the response to `method`, or a fault.
struct DocumentShape {
  enum Kind { kValue, kRequest, kResponse, kFault };
  Kind kind = kValue;
  const Zamli::Type* type = nullptr;             // kValue
  const Zamli::ManagedMethod* method = nullptr;  // kResponse
};

// Decodes `document` as `shape` in the encoding named `from` and writes it
// in the one named `to` to `out`, followed by a line feed; `pretty` indents
// it. Both codecs are for `version`. Bad input, or an encoding no codec
// knows (see Zamli::Wire::FormatNames), raises the codec's fault (see
// Zamli::Wire::Describe); nothing is written then.
void Transcode(std::string_view document, std::ostream& out, const DocumentShape& shape, const Zamli::Version& version,
               std::string_view from, std::string_view to, bool pretty = false);

// A value document read from all of `in`.
void Transcode(std::istream& in, std::ostream& out, const Zamli::Type& type, const Zamli::Version& version,
               std::string_view from, std::string_view to);

// The whole of a file, or of standard input for "" or "-"; a file that
// cannot be read raises std::runtime_error naming it.
std::string ReadDocument(const std::string& path);

// A codec's message with "at byte N" of `document` given as line and column
// too, for people.
std::string WithLineAndColumn(const std::string& message, std::string_view document);

}  // namespace Pelkctl
