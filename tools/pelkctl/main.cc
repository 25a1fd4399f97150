// pelkctl: looks at the types this library registers with the runtime, and
// turns wire documents from one encoding into the other. Exit codes: see
// exit_code.h (and README.md).
#include <simulator.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/format.h>
#include <zamli/wire/loopback.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "call.h"
#include "exit_code.h"
#include "lookup.h"
#include "schema_dump.h"
#include "transcode.h"

namespace {

using Pelkctl::ExitCode;
using Pelkctl::UsageError;

const Zamli::Namespace& PelkNamespace() {
  const Zamli::Namespace* ns = Zamli::TypeRegistry::Instance().FindNamespace("pelk");
  if (ns == nullptr) throw std::runtime_error("the pelk namespace is not registered");
  return *ns;
}

const Zamli::Type& TypeNamed(const std::string& name) {
  if (const Zamli::Type* type = Pelkctl::FindValueType(name)) return *type;
  throw UsageError(Pelkctl::UnknownName("type", name, Pelkctl::AllTypeNames()));
}

const Zamli::ManagedMethod& MethodNamed(const std::string& name) {
  if (const Zamli::ManagedMethod* method = Pelkctl::FindMethod(name)) return *method;
  throw UsageError(Pelkctl::UnknownMethod(name));
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
  return ExitCode::kSuccess;
}

int ListVersions() {
  for (const Zamli::Version* v : PelkNamespace().GetVersions()) {
    std::cout << v->GetName() << '\t' << v->GetLabel();
    const char* separator = "\tparents ";
    for (const Zamli::Version* p : v->GetParents()) {
      std::cout << separator << p->GetName();
      separator = ", ";
    }
    std::cout << '\n';
  }
  return ExitCode::kSuccess;
}

// TYPE, or TYPE.METHOD when no type has that name.
int Describe(const std::string& name, bool json) {
  if (const Zamli::Type* type = Pelkctl::FindType(name)) {
    if (json) {
      std::cout << Pelkctl::DumpType(*type, -1).dump(1) << '\n';
    } else {
      Pelkctl::Describe(*type, std::cout);
    }
    return ExitCode::kSuccess;
  }
  const Zamli::ManagedMethod* method = Pelkctl::FindMethod(name);
  if (method == nullptr) {
    const size_t dot = name.rfind('.');
    const bool typeFound = dot != std::string::npos && Pelkctl::FindType(name.substr(0, dot)) != nullptr;
    throw UsageError(typeFound ? Pelkctl::UnknownMethod(name)
                               : Pelkctl::UnknownName("type", name, Pelkctl::AllTypeNames()));
  }
  if (json) {
    std::cout << Pelkctl::DumpMethod(*method->GetMethodInfo()).dump(1) << '\n';
  } else {
    std::cout << "method " << method->GetOwner()->GetName() << ".";
    Pelkctl::DescribeMethod(*method->GetMethodInfo(), std::cout);
  }
  return ExitCode::kSuccess;
}

// Options of `encode` and `decode`, which differ only in their defaults.
struct TranscodeCommand {
  std::string from;
  std::string to;
  std::string file;
  std::string type;
  bool request = false;
  std::string response;
  bool fault = false;
  std::string version;
  bool pretty = false;
};

CLI::App* AddTranscode(CLI::App& app, const char* name, const char* description, const char* example,
                       TranscodeCommand& command) {
  auto* sub = app.add_subcommand(name, description);
  sub->add_option("FILE", command.file, "The document (default: standard input)");
  auto* type =
      sub->add_option("--type", command.type, "A value of this type (interface or wire name; NAME[] for an array)");
  auto* request = sub->add_flag("--request", command.request, "A call document");
  auto* response = sub->add_option("--response", command.response, "The answer to TYPE.METHOD");
  auto* fault = sub->add_flag("--fault", command.fault, "A fault document");
  type->excludes(request, response, fault);
  request->excludes(response, fault);
  response->excludes(fault);
  sub->add_option("--version", command.version, "Version of the encodings (default: the newest of pelk)");
  sub->add_option("--from", command.from, "Encoding read")
      ->capture_default_str()
      ->check(CLI::IsMember(Zamli::Wire::FormatNames()));
  sub->add_option("--to", command.to, "Encoding written")
      ->capture_default_str()
      ->check(CLI::IsMember(Zamli::Wire::FormatNames()));
  sub->add_flag("--pretty", command.pretty, "Indent the output");
  sub->footer(std::string("Example: ") + example + "\n");
  return sub;
}

int RunTranscode(const TranscodeCommand& command) {
  Pelkctl::DocumentShape shape;
  if (command.request) {
    shape.kind = Pelkctl::DocumentShape::kRequest;
  } else if (!command.response.empty()) {
    shape = {Pelkctl::DocumentShape::kResponse, nullptr, &MethodNamed(command.response)};
  } else if (command.fault) {
    shape.kind = Pelkctl::DocumentShape::kFault;
  } else if (!command.type.empty()) {
    shape.type = &TypeNamed(command.type);
  } else {
    throw UsageError("say what the document holds: --type, --request, --response or --fault");
  }
  const Zamli::Version& version =
      command.version.empty() ? Pelkctl::NewestVersion() : Zamli::Wire::FindVersion(command.version);
  const std::string document = Pelkctl::ReadDocument(command.file);
  try {
    Pelkctl::Transcode(document, std::cout, shape, version, command.from, command.to, command.pretty);
  } catch (const Zamli::MethodFault::Exception& e) {
    std::cerr << "pelkctl: " << Pelkctl::WithLineAndColumn(Zamli::Wire::Describe(*e.GetFault()), document) << "\n";
    return ExitCode::kBadDocument;
  }
  return ExitCode::kSuccess;
}

struct CallCommand {
  Pelkctl::CallLine line;
  std::string url;
  std::string version;
  bool xml = false;
  bool pretty = false;
};

// A call through the adapter the URL names: "sim:" (or "sim:SEED") is a
// simulated cluster in this process.
int RunCall(CallCommand& command) {
  if (command.url.empty()) {
    const char* url = std::getenv("PELK_URL");
    command.url = url != nullptr ? url : "";
  }
  if (command.url.empty()) throw UsageError("say where to call: --url URL, or PELK_URL");
  const Zamli::Version& version =
      command.version.empty() ? Pelkctl::NewestVersion() : Zamli::Wire::FindVersion(command.version);
  Zamli::Wire::Request call = Pelkctl::BuildCall(command.line, version);
  if (!command.url.starts_with("sim:")) throw UsageError("no transport for \"" + command.url + "\"");
  Pelksim::SimulatorOptions options;
  if (command.url.size() > 4) options.seed = std::stoull(command.url.substr(4));
  Pelksim::Simulator simulator(std::move(options));
  const Zamli::Wire::Codec codec(command.xml ? "xml" : "json", version);
  Zamli::Wire::LoopbackAdapter adapter(codec, simulator);
  try {
    Pelkctl::RunCall(adapter, call, version, command.pretty, std::cout);
  } catch (const Zamli::MethodFault::Exception& e) {
    std::cerr << "pelkctl: " << Zamli::Wire::Describe(*e.GetFault()) << "\n";
    return ExitCode::kFaultAnswered;
  }
  return ExitCode::kSuccess;
}

// The subcommand a person most likely meant, when the first word names none.
int UnknownSubcommand(const CLI::App& app, const std::string& word) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
  std::cerr << "pelkctl: " << Pelkctl::UnknownName("subcommand", word, names) << "\n"
            << "Run pelkctl --help for the list.\n";
  return ExitCode::kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Inspect the types of the pelk management interface and transcode its documents"};
  app.require_subcommand(1);
  app.footer("Exit codes: 0 success, 1 fault answered, 2 usage error, 3 transport error, 4 bad input document.\n");

  std::string kind;
  auto* types = app.add_subcommand("types", "List the registered types, one per line, in slot order");
  types->add_option("--kind", kind, "Only types of this kind")
      ->check(CLI::IsMember({"data", "fault", "enum", "managed"}));
  types->footer("Example: pelkctl types --kind managed\n");

  auto* versions = app.add_subcommand("versions", "List the namespace's versions, newest first, with their parents");
  versions->footer("Example: pelkctl versions\n");

  std::string name;
  bool describeJson = false;
  auto* describe = app.add_subcommand("describe", "Show one type's schema, or one method's");
  describe->add_option("NAME", name, "A type (interface or wire name, any case) or TYPE.METHOD")->required();
  describe->add_flag("--json", describeJson, "As JSON");
  describe->footer("Example: pelkctl describe qor.HostSystem.enterMaintenanceMode\n");

  bool json = false;
  auto* schema = app.add_subcommand("schema", "Print the whole registered schema");
  schema->add_flag("--json", json, "As one JSON object")->required();
  schema->footer("Example: pelkctl schema --json > pelk.json\n");

  TranscodeCommand encoding;
  encoding.from = "json", encoding.to = "xml";
  auto* encode = AddTranscode(app, "encode", "Read a document in JSON, write it in XML",
                              "pelkctl encode --type PelkClusterHealthSummary summary.json", encoding);
  TranscodeCommand decoding;
  decoding.from = "xml", decoding.to = "json";
  auto* decode = AddTranscode(app, "decode", "Read a document in XML, write it in JSON",
                              "pelkctl decode --request --pretty call.xml", decoding);

  CallCommand calling;
  auto* call = app.add_subcommand("call", "Call any method of any managed object; the result prints as JSON");
  call->add_option("TARGET", calling.line.target, "TYPE:ID, the type by interface or wire name")->required();
  call->add_option("METHOD", calling.line.method, "The method, by interface or wire name")->required();
  call->add_option("ARGS", calling.line.assignments,
                   "name=JSON per parameter (text, enumeration tags and TYPE:ID references may go unquoted)");
  call->add_option("--args", calling.line.argsFile, "A JSON object of name: value, read first");
  call->add_option("--url", calling.url, "Where to call (default: $PELK_URL); sim: is a simulated cluster in process");
  call->add_option("--version", calling.version, "Version to call at (default: the newest of pelk)");
  call->add_flag("--xml", calling.xml, "Carry the call in XML rather than JSON");
  call->add_flag("--pretty", calling.pretty, "Indent the result");
  call->footer("Example: pelkctl call --url sim: HostSystem:host-1 enterMaintenanceMode timeout=60\n");

  if (argc > 1 && argv[1][0] != '-') {
    const std::string word = argv[1];
    bool known = false;
    for (const CLI::App* sub : app.get_subcommands({})) known = known || sub->get_name() == word;
    if (!known) return UnknownSubcommand(app, word);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? ExitCode::kSuccess : ExitCode::kUsageError;
  }
  try {
    for (const std::string& problem : Zamli::TypeRegistry::Instance().GetLoadProblems()) {
      std::cerr << "pelkctl: registration problem: " << problem << "\n";
    }
    if (*types) return ListTypes(kind);
    if (*versions) return ListVersions();
    if (*describe) return Describe(name, describeJson);
    if (*schema) {
      std::cout << Pelkctl::DumpNamespace(PelkNamespace()).dump(1) << "\n";
      return ExitCode::kSuccess;
    }
    if (*encode) return RunTranscode(encoding);
    if (*decode) return RunTranscode(decoding);
    if (*call) return RunCall(calling);
  } catch (const UsageError& e) {
    std::cerr << "pelkctl: " << e.what() << "\n";
    return ExitCode::kUsageError;
  } catch (const Zamli::MethodFault::Exception& e) {
    // An unknown version or encoding: what was asked for does not exist.
    std::cerr << "pelkctl: " << Zamli::Wire::Describe(*e.GetFault()) << "\n";
    return ExitCode::kUsageError;
  } catch (const std::exception& e) {
    std::cerr << "pelkctl: " << e.what() << "\n";
    return ExitCode::kUsageError;
  }
  return ExitCode::kSuccess;
}
