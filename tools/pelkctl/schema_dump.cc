#include "schema_dump.h"

#include <ostream>

namespace Pelkctl {
namespace {

using Json = nlohmann::ordered_json;

Json NullableString(const char* s) { return s == nullptr ? Json(nullptr) : Json(s); }

Json DumpProperty(const Zamli::PropertyInfo& p) {
  Json j;
  j["name"] = p.name;
  j["type"] = p.type->name;
  j["flags"] = p.flags;
  j["privilege"] = NullableString(p.privilege);
  j["version"] = p.version;
  return j;
}

Json DumpTable(const Zamli::PropertyInfo* table) {
  Json list = Json::array();
  for (int i = 0; table != nullptr && table[i].type != nullptr; ++i) list.push_back(DumpProperty(table[i]));
  return list;
}

}  // namespace

Json DumpMethod(const Zamli::MethodInfo& m) {
  Json j;
  j["name"] = m.name;
  j["wsdlName"] = m.wsdlName;
  j["privilege"] = m.privilege;
  j["version"] = m.version;
  j["isTask"] = m.isTask;
  j["auxFlag"] = m.auxFlag;
  j["result"] = {{"type", m.result.type ? Json(m.result.type->name) : Json(nullptr)},
                 {"flags", m.result.flags},
                 {"version", m.result.version}};
  j["params"] = DumpTable(m.params);
  Json faults = Json::array();
  for (const Zamli::TypeInfo* const* f = m.faults; f != nullptr && *f != nullptr; ++f) faults.push_back((*f)->name);
  j["faults"] = std::move(faults);
  return j;
}

namespace {

std::string TypeText(const Zamli::PropertyInfo& p) {
  std::string text = p.type == nullptr ? "none" : p.type->name;
  if (p.type != nullptr && p.type->kind == Zamli::kManagedKind) text = "ref " + text;
  if (p.flags & Zamli::kArrayFlag) text += "[]";
  return text;
}

std::string FlagText(const Zamli::PropertyInfo& p) {
  std::string text;
  if (p.flags & Zamli::kOptionalFlag) text += " optional";
  if (p.flags & Zamli::kSecretFlag) text += " secret";
  return text;
}

}  // namespace

const char* KindName(Zamli::TypeKind kind) {
  switch (kind) {
    case Zamli::kDataKind:
      return "data";
    case Zamli::kFaultKind:
      return "fault";
    case Zamli::kEnumKind:
      return "enum";
    case Zamli::kManagedKind:
      return "managed";
    case Zamli::kPrimitiveKind:
      return "primitive";
  }
  return "unknown";
}

Json DumpType(const Zamli::Type& type, int slot) {
  Json j;
  j["slot"] = slot;
  j["kind"] = KindName(type.GetKind());
  j["name"] = type.GetName();
  j["wsdlName"] = type.GetWsdlName();
  j["version"] = type.GetVersionName();
  j["class"] = type.GetClassName();
  if (auto* data = dynamic_cast<const Zamli::DataObjectType*>(&type)) {
    j["base"] = data->GetBase() ? Json(data->GetBase()->GetName()) : Json(nullptr);
    j["properties"] = DumpTable(data->GetDataTypeInfo()->properties);
  } else if (auto* e = dynamic_cast<const Zamli::EnumType*>(&type)) {
    Json tags = Json::array();
    for (int i = 0; i < e->GetTagCount(); ++i) tags.push_back(e->GetTag(i));
    j["tags"] = std::move(tags);
  } else if (auto* managed = dynamic_cast<const Zamli::ManagedObjectType*>(&type)) {
    const Zamli::ManagedTypeInfo* info = managed->GetManagedTypeInfo();
    j["properties"] = DumpTable(info->properties);
    Json methods = Json::array();
    for (int k = 0; k < managed->GetMethodCount(); ++k) methods.push_back(DumpMethod(info->methods[k]));
    j["methods"] = std::move(methods);
  }
  return j;
}

Json DumpNamespace(const Zamli::Namespace& ns) {
  Json j;
  j["namespace"] = ns.GetName();
  Json versions = Json::array();
  for (const Zamli::Version* v : ns.GetVersions()) {
    Json parents = Json::array();
    for (const Zamli::Version* p : v->GetParents()) parents.push_back(p->GetName());
    versions.push_back({{"name", v->GetName()}, {"label", v->GetLabel()}, {"parents", std::move(parents)}});
  }
  j["versions"] = std::move(versions);
  Json types = Json::array();
  int slot = 0;
  for (const Zamli::Type* t : ns.GetTypes()) types.push_back(DumpType(*t, slot++));
  j["types"] = std::move(types);
  return j;
}

std::string HeaderOf(const Zamli::Type& type) {
  const Zamli::Namespace* ns = type.GetNamespace();
  if (ns == nullptr) return "";  // the runtime's own types have no header of their own
  std::string path = type.GetName();
  for (char& c : path) c = c == '.' ? '/' : c;
  return ns->GetName() + "/" + path + ".h";
}

namespace {

void DescribeProperties(const Zamli::DataObjectType& type, std::ostream& out) {
  const auto& all = type.GetAllProperties();
  if (all.empty()) {
    out << "properties: none\n";
    return;
  }
  out << "properties (inherited first):\n";
  for (const Zamli::PropertyRef& p : all) {
    out << "  " << p.info->name << ": " << TypeText(*p.info) << FlagText(*p.info) << "  since " << p.info->version;
    if (p.owner != &type)
      out << "  (from " << p.owner->GetName() << " #" << p.index << ")";
    else
      out << "  #" << p.index;
    out << "\n";
  }
}

void DescribeMethods(const Zamli::ManagedObjectType& type, std::ostream& out) {
  const Zamli::ManagedTypeInfo* info = type.GetManagedTypeInfo();
  out << "members (" << type.GetMemberCount() << "; methods first, then property readers):\n";
  for (int k = 0; k < type.GetMethodCount(); ++k) {
    out << "  [" << k << "] ";
    DescribeMethod(info->methods[k], out);
  }
  for (int p = 0; p < type.GetPropertyCount(); ++p) {
    const Zamli::PropertyInfo& prop = info->properties[p];
    out << "  [" << type.GetMethodCount() + p << "] property " << prop.name << ": " << TypeText(prop)
        << "  privilege \"" << prop.privilege << "\"  since " << prop.version << "\n";
  }
}

}  // namespace

void DescribeMethod(const Zamli::MethodInfo& m, std::ostream& out) {
  out << m.name << "  wire " << m.wsdlName << "  since " << m.version;
  if (*m.privilege) out << "  privilege \"" << m.privilege << "\"";
  if (m.isTask) out << "  task";
  if (m.auxFlag) out << "  aux";
  out << "\n";
  for (int i = 0; m.params[i].type != nullptr; ++i) {
    const Zamli::PropertyInfo& p = m.params[i];
    out << "        param " << p.name << ": " << TypeText(p) << FlagText(p);
    if (p.privilege) out << "  requires \"" << p.privilege << "\"";
    out << "  since " << p.version << "\n";
  }
  out << "        returns " << TypeText(m.result) << FlagText(m.result) << "\n";
  if (m.faults[0] != nullptr) {
    out << "        faults";
    for (int f = 0; m.faults[f] != nullptr; ++f) out << (f ? ", " : " ") << m.faults[f]->name;
    out << "\n";
  }
}

void Describe(const Zamli::Type& type, std::ostream& out) {
  out << KindName(type.GetKind()) << " " << type.GetName() << "\n";
  out << "  class     " << type.GetClassName() << "\n";
  if (const std::string header = HeaderOf(type); !header.empty()) {
    out << "  header    <" << header << ">";
    if (type.GetKind() == Zamli::kManagedKind) {
      const std::string stem = header.substr(0, header.size() - 2);
      out << "  client <" << stem << "Stub.h>  server <" << stem << "Server.h>";
    }
    out << "\n";
  }
  out << "  wire name " << type.GetWsdlName() << "\n";
  out << "  since     " << type.GetVersionName() << "\n";
  if (const Zamli::Namespace* ns = type.GetNamespace()) out << "  namespace " << ns->GetName() << "\n";
  if (auto* data = dynamic_cast<const Zamli::DataObjectType*>(&type)) {
    out << "  base chain";
    for (const Zamli::DataObjectType* b = data->GetBase(); b != nullptr; b = b->GetBase()) out << " " << b->GetName();
    out << "\n";
    if (data->IsFault()) out << "  raised as " << type.GetClassName() << "::Exception\n";
    DescribeProperties(*data, out);
  } else if (auto* e = dynamic_cast<const Zamli::EnumType*>(&type)) {
    out << "tags (" << e->GetTagCount() << ", by value index):\n";
    for (int i = 0; i < e->GetTagCount(); ++i) out << "  " << i << " " << e->GetTag(i) << "\n";
  } else if (auto* managed = dynamic_cast<const Zamli::ManagedObjectType*>(&type)) {
    DescribeMethods(*managed, out);
  }
}

}  // namespace Pelkctl
