#include "lookup.h"

#include <zamli/types/registry.h>

#include <algorithm>
#include <cctype>

namespace Pelkctl {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

// Edit distance between two short names.
size_t Distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> MethodNames(const Zamli::ManagedObjectType& type) {
  std::vector<std::string> names;
  for (int k = 0; k < type.GetMethodCount(); ++k) names.emplace_back(type.GetMember(k)->GetName());
  return names;
}

}  // namespace

const Zamli::Type* FindType(const std::string& name) {
  auto& registry = Zamli::TypeRegistry::Instance();
  if (const Zamli::Type* t = registry.FindByName(name)) return t;
  if (const Zamli::Type* t = registry.FindByWsdlName(name)) return t;
  const std::string wanted = Lower(name);
  const Zamli::Type* found = nullptr;
  for (const Zamli::Type* t : registry.GetAllTypes()) {
    if (Lower(t->GetName()) != wanted && Lower(t->GetWsdlName()) != wanted) continue;
    if (found != nullptr && found != t) return nullptr;  // ambiguous without its case
    found = t;
  }
  return found;
}

const Zamli::ManagedMethod* FindMethod(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return nullptr;
  auto* type = dynamic_cast<const Zamli::ManagedObjectType*>(FindType(name.substr(0, dot)));
  if (type == nullptr) return nullptr;
  const std::string method = name.substr(dot + 1);
  for (const Zamli::ManagedMethod* m : {type->FindMethod(method), type->FindMethodByWsdlName(method)}) {
    if (m != nullptr && !m->IsPropertyReader()) return m;
  }
  const Zamli::ManagedMethod* found = nullptr;
  for (int k = 0; k < type->GetMethodCount(); ++k) {
    if (Lower(type->GetMember(k)->GetName()) == Lower(method)) found = type->GetMember(k);
  }
  return found;
}

std::vector<std::string> NearestNames(std::string_view name, const std::vector<std::string>& candidates) {
  const std::string wanted = Lower(name);
  const size_t limit = std::max<size_t>(2, wanted.size() / 3);
  std::vector<std::pair<size_t, std::string>> near;
  for (const std::string& c : candidates) {
    const std::string lower = Lower(c);
    // A name that contains what was typed is as good as one typo away.
    const size_t d = wanted.size() >= 4 && lower.find(wanted) != std::string::npos ? 1 : Distance(wanted, lower);
    if (d <= limit) near.emplace_back(d, c);
  }
  std::sort(near.begin(), near.end());
  near.erase(std::unique(near.begin(), near.end(), [](auto& a, auto& b) { return a.second == b.second; }), near.end());
  std::vector<std::string> out;
  for (size_t i = 0; i < near.size() && out.size() < 3; ++i) {
    if (std::find(out.begin(), out.end(), near[i].second) == out.end()) out.push_back(near[i].second);
  }
  return out;
}

std::vector<std::string> AllTypeNames() {
  std::vector<std::string> names;
  for (const Zamli::Type* t : Zamli::TypeRegistry::Instance().GetAllTypes()) {
    names.emplace_back(t->GetName());
    if (t->GetWsdlName() != t->GetName()) names.emplace_back(t->GetWsdlName());
  }
  return names;
}

std::string UnknownMethod(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "\"" + name + "\" is not TYPE.METHOD";
  const std::string typeName = name.substr(0, dot);
  auto* type = dynamic_cast<const Zamli::ManagedObjectType*>(FindType(typeName));
  if (type == nullptr) return UnknownName("managed type", typeName, AllTypeNames());
  return UnknownName("method of " + type->GetName(), name.substr(dot + 1), MethodNames(*type));
}

std::string UnknownName(std::string_view what, std::string_view name, const std::vector<std::string>& candidates) {
  std::string text = "no " + std::string(what) + " named \"" + std::string(name) + "\"";
  const std::vector<std::string> near = NearestNames(name, candidates);
  for (size_t i = 0; i < near.size(); ++i) text += (i == 0 ? "; did you mean " : ", ") + near[i];
  if (!near.empty()) text += "?";
  return text;
}

}  // namespace Pelkctl
