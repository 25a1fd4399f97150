// pelkctl: looks at the types this library registers with the runtime.
#include <CLI/CLI.hpp>
#include <iostream>

#include "schema_dump.h"

namespace {

const Zamli::Namespace& PelkNamespace() {
  const Zamli::Namespace* ns = Zamli::TypeRegistry::Instance().FindNamespace("pelk");
  if (ns == nullptr) throw std::runtime_error("the pelk namespace is not registered");
  return *ns;
}

int ListTypes(const std::string& kind) {
  int slot = 0;
  for (const Zamli::Type* t : PelkNamespace().GetTypes()) {
    if (kind.empty() || kind == Pelkctl::KindName(t->GetKind())) {
      std::cout << slot << '\t' << Pelkctl::KindName(t->GetKind()) << '\t' << t->GetName() << '\t' << t->GetWsdlName()
                << '\t' << t->GetVersionName() << '\n';
    }
    ++slot;
  }
  return 0;
}

int DescribeType(const std::string& name) {
  const Zamli::Type* type = Pelkctl::FindType(name);
  if (type == nullptr) {
    std::cerr << "pelkctl: no type named \"" << name << "\" (by interface or wire name)\n";
    return 2;
  }
  Pelkctl::Describe(*type, std::cout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Inspect the types of the pelk management interface"};
  app.require_subcommand(1);

  std::string kind;
  auto* types = app.add_subcommand("types", "List the registered types, one per line, in slot order");
  types->add_option("--kind", kind, "Only types of this kind")
      ->check(CLI::IsMember({"data", "fault", "enum", "managed"}));

  std::string name;
  auto* describe = app.add_subcommand("describe", "Show one type's schema");
  describe->add_option("NAME", name, "Interface name or wire name")->required();

  bool json = false;
  auto* schema = app.add_subcommand("schema", "Print the whole registered schema");
  schema->add_flag("--json", json, "As one JSON object")->required();

  CLI11_PARSE(app, argc, argv);
  try {
    for (const std::string& problem : Zamli::TypeRegistry::Instance().GetLoadProblems()) {
      std::cerr << "pelkctl: registration problem: " << problem << "\n";
    }
    if (*types) return ListTypes(kind);
    if (*describe) return DescribeType(name);
    if (*schema) {
      std::cout << Pelkctl::DumpNamespace(PelkNamespace()).dump(1) << "\n";
      return 0;
    }
  } catch (const std::exception& e) {
    std::cerr << "pelkctl: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
