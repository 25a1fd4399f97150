#pragma once
// Reads a registered namespace back out of the runtime: its versions and
// every type of its type list, from the type objects and the records they hold.
#include <zamli/types/registry.h>

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

#include "lookup.h"

namespace Pelkctl {

// "data", "fault", "enum" or "managed".
const char* KindName(Zamli::TypeKind kind);

nlohmann::ordered_json DumpType(const Zamli::Type& type, int slot);
nlohmann::ordered_json DumpNamespace(const Zamli::Namespace& ns);

// The human-readable view of one type, for `pelkctl describe`.
void Describe(const Zamli::Type& type, std::ostream& out);

// One method's record as JSON, and for people (`describe TYPE.METHOD`).
nlohmann::ordered_json DumpMethod(const Zamli::MethodInfo& method);
void DescribeMethod(const Zamli::MethodInfo& method, std::ostream& out);

// The header that declares the type's class ("pelk/qor/cluster/X.h"); empty
// for the runtime's own types.
std::string HeaderOf(const Zamli::Type& type);

}  // namespace Pelkctl
