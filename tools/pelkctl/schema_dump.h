#pragma once
// Reads a registered namespace back out of the runtime: its versions and
// every type of its type list, from the type objects and the records they hold.
#include <zamli/types/registry.h>

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

namespace Pelkctl {

// "data", "fault", "enum" or "managed".
const char* KindName(Zamli::TypeKind kind);

nlohmann::ordered_json DumpType(const Zamli::Type& type, int slot);
nlohmann::ordered_json DumpNamespace(const Zamli::Namespace& ns);

// The human-readable view of one type, for `pelkctl describe`.
void Describe(const Zamli::Type& type, std::ostream& out);

// Finds a type by interface name, then by wire name; null when neither matches.
const Zamli::Type* FindType(const std::string& name);

}  // namespace Pelkctl
