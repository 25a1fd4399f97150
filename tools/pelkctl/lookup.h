#pragma once
// Finding what a person names on the command line: types by interface or
// wire name (case-insensitively when that is unambiguous), methods as
// TYPE.METHOD, and the nearest names when nothing matches.
#include <zamli/types/type.h>

#include <string>
#include <string_view>
#include <vector>

namespace Pelkctl {

// By interface name, then by wire name, then either ignoring case when
// exactly one type matches; null when none does.
const Zamli::Type* FindType(const std::string& name);

// TYPE.METHOD (the method by interface or wire name, TYPE as for FindType);
// null when either part names nothing.
const Zamli::ManagedMethod* FindMethod(const std::string& name);

// Up to three of `candidates` closest to `name` (ignoring case), nearest
// first; none when nothing is close.
std::vector<std::string> NearestNames(std::string_view name, const std::vector<std::string>& candidates);

// Interface and wire names of every registered type.
std::vector<std::string> AllTypeNames();

// Why FindMethod found nothing, with the nearest type or method names.
std::string UnknownMethod(const std::string& name);

// "no type named "X"; did you mean A, B?" for an error message.
std::string UnknownName(std::string_view what, std::string_view name, const std::vector<std::string>& candidates);

}  // namespace Pelkctl
