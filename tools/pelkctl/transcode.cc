#include "transcode.h"

#include <zamli/types/registry.h>

#include <istream>
#include <iterator>
#include <ostream>
#include <stdexcept>

#include "schema_dump.h"

namespace Pelkctl {

const Zamli::Type* FindValueType(const std::string& name) {
  constexpr std::string_view kArray = "[]";
  if (name.size() > kArray.size() && name.ends_with(kArray)) {
    const Zamli::Type* item = FindType(name.substr(0, name.size() - kArray.size()));
    return item == nullptr ? nullptr : item->GetArrayType();
  }
  return FindType(name);
}

const Zamli::Version& NewestVersion() {
  const Zamli::Namespace* ns = Zamli::TypeRegistry::Instance().FindNamespace("pelk");
  if (ns == nullptr || ns->GetVersions().empty()) throw std::runtime_error("the pelk namespace is not registered");
  return *ns->GetVersions().front();  // newest first
}

void Transcode(std::istream& in, std::ostream& out, const Zamli::Type& type, const Zamli::Version& version,
               std::string_view from, std::string_view to) {
  const std::string document{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const Zamli::Wire::Codec reader(from, version);
  const Zamli::Wire::Codec writer(to, version);
  Haldun::Ref<Zamli::Any> value = reader.DecodeValue(document, type);
  out << writer.EncodeValue(value.Get(), type) << '\n';
}

}  // namespace Pelkctl
