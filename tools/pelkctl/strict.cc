#include "strict.h"

#include <ostream>

#include "exit_code.h"

namespace Pelkctl {

using Zamli::Wire::Codec;
using Zamli::Wire::LeftOut;

std::vector<LeftOut> LeftOutOfDocument(std::string_view document, const DocumentShape& shape,
                                       const Zamli::Version& version, std::string_view from) {
  const Codec newest(from, NewestVersion());
  const Codec asked(from, version);
  try {
    switch (shape.kind) {
      case DocumentShape::kValue: {
        Haldun::Ref<Zamli::Any> value = newest.DecodeValue(document, *shape.type);
        return LeftOutOfValue(asked, value.Get(), *shape.type);
      }
      case DocumentShape::kRequest: {
        Zamli::Wire::Request call = newest.DecodeRequest(document);
        return LeftOutOfRequest(asked, *call.method, call.args);
      }
      case DocumentShape::kResponse: {
        Haldun::Ref<Zamli::Any> result = newest.DecodeResponse(document, *shape.method);
        return LeftOutOfResponse(asked, *shape.method, result.Get());
      }
      case DocumentShape::kFault: {
        Haldun::Ref<Zamli::MethodFault> fault = newest.DecodeFault(document);
        return LeftOutOfFault(asked, *fault);
      }
    }
  } catch (const Zamli::MethodFault::Exception&) {
    // Left to the reading at `version`, which refuses it too.
  }
  return {};
}

std::vector<LeftOut> LeftOutOfCall(const CallLine& line, const Zamli::Version& version) {
  try {
    Zamli::Wire::Request call = BuildCall(line, NewestVersion());
    return LeftOutOfRequest(Codec("json", version), *call.method, call.args);
  } catch (const UsageError&) {
  } catch (const Zamli::MethodFault::Exception&) {
    // Both left to building the call at `version`, which refuses them too.
  }
  return {};
}

int ReportLeftOut(const std::vector<LeftOut>& items, const Zamli::Version& version, std::ostream& err) {
  for (const LeftOut& item : items) err << "pelkctl: --strict: " << Describe(item, version) << "\n";
  return items.empty() ? ExitCode::kSuccess : ExitCode::kBadDocument;
}

}  // namespace Pelkctl
