// pelkctl: looks at the types this library registers with the runtime, and
// turns wire documents from one encoding into the other.
#include <zamli/wire/codec.h>
#include <zamli/wire/format.h>

#include <CLI/CLI.hpp>
#include <iostream>

#include "schema_dump.h"
#include "transcode.h"

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

// Options of `encode` and `decode`, which differ only in their defaults.
struct TranscodeCommand {
  std::string type;
  std::string version;
  std::string from;
  std::string to;
};

CLI::App* AddTranscode(CLI::App& app, const char* name, const char* description, TranscodeCommand& command) {
  auto* sub = app.add_subcommand(name, description);
  sub->add_option("--type", command.type, "Declared type: interface or wire name, NAME[] for an array")->required();
  sub->add_option("--version", command.version, "Version of the encodings (default: the newest of pelk)");
  sub->add_option("--from", command.from, "Encoding read from standard input")
      ->capture_default_str()
      ->check(CLI::IsMember(Zamli::Wire::FormatNames()));
  sub->add_option("--to", command.to, "Encoding written to standard output")
      ->capture_default_str()
      ->check(CLI::IsMember(Zamli::Wire::FormatNames()));
  return sub;
}

int RunTranscode(const TranscodeCommand& command) {
  const Zamli::Type* type = Pelkctl::FindValueType(command.type);
  if (type == nullptr) {
    std::cerr << "pelkctl: no type named \"" << command.type << "\" (by interface or wire name)\n";
    return 2;
  }
  const Zamli::Version& version =
      command.version.empty() ? Pelkctl::NewestVersion() : Zamli::Wire::FindVersion(command.version);
  Pelkctl::Transcode(std::cin, std::cout, *type, version, command.from, command.to);
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

  TranscodeCommand encoding{{}, {}, "json", "xml"};
  auto* encode = AddTranscode(app, "encode", "Read a value document in JSON, write it in XML", encoding);
  TranscodeCommand decoding{{}, {}, "xml", "json"};
  auto* decode = AddTranscode(app, "decode", "Read a value document in XML, write it in JSON", decoding);

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
    if (*encode) return RunTranscode(encoding);
    if (*decode) return RunTranscode(decoding);
  } catch (const Zamli::MethodFault::Exception& e) {
    std::cerr << "pelkctl: " << Zamli::Wire::Describe(*e.GetFault()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "pelkctl: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
