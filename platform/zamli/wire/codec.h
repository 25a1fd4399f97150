#pragma once
// The wire encodings: SOAP 1.1 XML and JSON, for values, calls, results and
// faults. Everything is driven by the type records: properties are read and
// written through each data type's record functions, enumerations through
// their function sets, calls through the method records. See README.md in
// this folder for the documents themselves.
#include <haldun/ref.h>
#include <zamli/types/type.h>
#include <zamli/types/version.h>
#include <zamli/values/any.h>
#include <zamli/values/method_fault.h>
#include <zamli/values/mo_ref.h>
#include <zamli/wire/export.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Wire {

// The built-in encodings, for Codec's convenience; any registered encoding
// can be had by name (format.h).
enum class Encoding { kXml, kJson };

class Format;

// What a decoder accepts at most; larger or deeper documents are refused
// before or while they are read, never half-decoded.
struct Limits {
  size_t maxDocumentBytes = size_t{64} << 20;  // 64 MiB
  int maxDepth = 64;                           // values nested in values (objects, arrays, boxes)
  // Memory one decode may take: the parser's and the decoded values'. A
  // document of many tiny values needs many times its size; past this it is
  // refused (kettar.fault.InvalidArgument) instead of taking the process's.
  size_t maxDecodeBytes = size_t{512} << 20;  // 512 MiB: 8 times the document limit
};

// A call as a server receives it.
struct Request {
  Haldun::Ref<MoRef> target;
  const ManagedMethod* method = nullptr;
  std::vector<Haldun::Ref<Any>> args;  // in declared order; null for an absent optional
};

// Encodes and decodes for one version of an interface namespace: what the
// version does not include is left out when encoding (or refused, when it is
// required) and refused when decoding.
//
// Bad input raises a fault of the base interface as its own exception class
// (kettar.fault.InvalidArgument naming the path of the bad value,
// kettar.fault.InvalidType for a type name that is unknown or does not fit,
// kettar.fault.NotSupported for what the version does not include); the
// fault's first message says what was wrong (see Describe). Nothing decoded
// is handed on when an error is raised.
//
// A codec holds no state besides its settings: one may serve any number of
// threads at once.
class ZAMLI_WIRE_EXPORT Codec {
 public:
  Codec(const Format& format, const Version& version, Limits limits = {});
  // The encoding registered under that name ("xml", "json"); an unknown name
  // raises kettar.fault.InvalidArgument.
  Codec(std::string_view encoding, const Version& version, Limits limits = {});
  // A value outside the enumeration raises kettar.fault.InvalidArgument.
  Codec(Encoding encoding, const Version& version, Limits limits = {});

  const Format& GetFormat() const { return *format_; }
  const Version& GetVersion() const { return *version_; }
  const Limits& GetLimits() const { return limits_; }

  // One value of the declared type: a data object or fault type, an
  // enumeration, a primitive (string, boolean, int, long, float, dateTime,
  // binary, anyType), the managed object reference type, or an array type of
  // any of those (Type::GetArrayType). A null value encodes as an empty
  // document of the type (XML: an empty root element; JSON: null).
  std::string EncodeValue(const Any* value, const Type& declared) const;
  Haldun::Ref<Any> DecodeValue(std::string_view document, const Type& declared) const;

  // A call of `method` (not a property reader) on `target`, its arguments in
  // declared order (null for an absent optional).
  std::string EncodeRequest(const MoRef& target, const ManagedMethod& method,
                            const std::vector<Haldun::Ref<Any>>& args) const;
  // The method is found from the target's type (by wire name) and the
  // method's wire name.
  Request DecodeRequest(std::string_view document) const;

  // The answer to a call of `method`: its result, null for none.
  std::string EncodeResponse(const ManagedMethod& method, const Any* result) const;
  // The result of a response document; a fault document raises the fault as
  // its own exception class instead.
  Haldun::Ref<Any> DecodeResponse(std::string_view document, const ManagedMethod& method) const;

  // A fault as a server answers it.
  std::string EncodeFault(const MethodFault& fault) const;
  Haldun::Ref<MethodFault> DecodeFault(std::string_view document) const;

 private:
  const Format* format_;
  const Version* version_;
  Limits limits_;
};

// "kettar.fault.InvalidArgument: hosts[2].name: not a valid int: \"x\"": the
// fault's type and its first message, for people.
ZAMLI_WIRE_EXPORT std::string Describe(const MethodFault& fault);

// The version a codec is made for, by name; an unknown name raises
// kettar.fault.InvalidArgument.
ZAMLI_WIRE_EXPORT const Version& FindVersion(std::string_view name);

}  // namespace Zamli::Wire
