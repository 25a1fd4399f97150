#pragma once
// An encoding of the wire documents, behind Codec: its entry points for
// values, calls, results and faults, and the registry that finds encodings
// by name. An encoding is a Format registered once: the built-in ones
// register themselves when this library loads (xml/xml_format.cc, json/json_format.cc);
// another one registers its instance the same way, or by calling
// RegisterFormat before its first codec is made.
#include <zamli/wire/codec.h>

#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Wire {

class ZAMLI_WIRE_EXPORT Format {
 public:
  virtual ~Format();

  // The name codecs ask for ("xml", "json"); one per format.
  virtual std::string_view Name() const = 0;

  // What Codec's members of the same names do, for `codec`'s version and
  // limits. Bad input raises faults as Codec describes.
  virtual std::string EncodeValue(const Codec& codec, const Any* value, const Type& declared) const = 0;
  virtual Haldun::Ref<Any> DecodeValue(const Codec& codec, std::string_view document, const Type& declared) const = 0;
  virtual std::string EncodeRequest(const Codec& codec, const MoRef& target, const ManagedMethod& method,
                                    const std::vector<Haldun::Ref<Any>>& args) const = 0;
  virtual Request DecodeRequest(const Codec& codec, std::string_view document) const = 0;
  virtual std::string EncodeResponse(const Codec& codec, const ManagedMethod& method, const Any* result) const = 0;
  virtual Haldun::Ref<Any> DecodeResponse(const Codec& codec, std::string_view document,
                                          const ManagedMethod& method) const = 0;
  virtual std::string EncodeFault(const Codec& codec, const MethodFault& fault) const = 0;
  virtual Haldun::Ref<MethodFault> DecodeFault(const Codec& codec, std::string_view document) const = 0;
};

// Makes `format` available by its name for as long as the process runs; it
// must live as long. A name already taken raises kettar.fault.InvalidArgument.
ZAMLI_WIRE_EXPORT void RegisterFormat(const Format& format);

// The format registered under `name`; an unknown name raises
// kettar.fault.InvalidArgument naming the known ones.
ZAMLI_WIRE_EXPORT const Format& FindFormat(std::string_view name);

// The names of the registered formats, sorted.
ZAMLI_WIRE_EXPORT std::vector<std::string> FormatNames();

// Registers a format when the library that defines it loads:
//   const FormatRegistration kRegistration(kMyFormat);
struct FormatRegistration {
  explicit FormatRegistration(const Format& format) { RegisterFormat(format); }
};

}  // namespace Zamli::Wire
