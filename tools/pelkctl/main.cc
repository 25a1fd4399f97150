// pelkctl: looks at the types this library registers with the runtime, and
// turns wire documents from one encoding into the other. Exit codes: see
// exit_code.h (and README.md).
#include <qor-services/wait_for_task.h>
#include <simulator.h>
#include <zamli/transport/http/errors.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/format.h>
#include <zamli/wire/loopback.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "call.h"
#include "connect.h"
#include "exit_code.h"
#include "lookup.h"
#include "schema_dump.h"
#include "serve.h"
#include "strict.h"
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
  bool strict = false;
};

// What --strict does, the same for every command that has it.
constexpr const char* kStrictHelp =
    "Read with the newest version's vocabulary, and refuse (exit code 4), listing each, what --version "
    "would leave out";

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
  sub->add_flag("--strict", command.strict, kStrictHelp);
  sub->footer(std::string("Example: ") + example + "\nExample: pelkctl " + name +
              " --strict --version pelk.version.version20 --type PelkClusterBalanceSummary FILE\n"
              "  names each property, parameter or class in FILE newer than that version, with its version\n");
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
  if (command.strict) {
    const auto leftOut = Pelkctl::LeftOutOfDocument(document, shape, version, command.from);
    if (!leftOut.empty()) return Pelkctl::ReportLeftOut(leftOut, version, std::cerr);
  }
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
  Pelkctl::ConnectLine connect;
  bool pretty = false;
  bool wait = false;
  bool strict = false;
};

// A text progress bar on standard error, redrawn in place.
void ShowProgress(int percent) {
  const int filled = percent / 5;
  std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
            << std::string(static_cast<size_t>(20 - filled), ' ') << "] " << percent << "%" << std::flush;
}

// Runs what talks to the server: a fault it answers is printed and is exit code 1.
template <class Talk>
int Answered(Talk talk) {
  try {
    return talk();
  } catch (const Zamli::MethodFault::Exception& e) {
    std::cerr << "pelkctl: " << Zamli::Wire::Describe(*e.GetFault()) << "\n";
    return ExitCode::kFaultAnswered;
  }
}

int FollowCall(CallCommand& command, Pelkctl::Connection& connection, Zamli::Wire::Request& call) {
  if (!command.wait) {
    Pelkctl::RunCall(connection.GetAdapter(), call, connection.GetVersion(), command.pretty, std::cout);
    return ExitCode::kSuccess;
  }
  Haldun::Ref<Zamli::Any> result;
  connection.GetAdapter().Invoke(call.target.Get(), const_cast<Zamli::ManagedMethod*>(call.method), call.args, result,
                                 nullptr);
  auto* task = dynamic_cast<Zamli::MoRef*>(result.Get());
  if (task == nullptr || task->GetTypeName() != "qor.Task") throw UsageError("--wait: the method returned no task");
  Qor::Services::WaitOptions options;
  options.onProgress = ShowProgress;
  Haldun::Ref<Zamli::Any> outcome;
  try {
    outcome = Qor::Services::WaitForTask(connection.GetAdapter(), *task, options);
  } catch (...) {
    std::cerr << "\n";
    throw;
  }
  std::cerr << "\n" << task->GetTypeName() << ":" << task->GetId() << " succeeded\n";
  const Zamli::Type& any = *Zamli::TypeRegistry::Instance().FindByName("anyType");
  std::cout << Zamli::Wire::Codec("json", connection.GetVersion()).EncodeValue(outcome.Get(), any) << "\n";
  return ExitCode::kSuccess;
}

int RunCall(CallCommand& command) {
  Pelkctl::Connection connection(command.connect);
  if (command.strict) {
    const auto leftOut = Pelkctl::LeftOutOfCall(command.line, connection.GetVersion());
    if (!leftOut.empty()) return Pelkctl::ReportLeftOut(leftOut, connection.GetVersion(), std::cerr);
  }
  Zamli::Wire::Request call = Pelkctl::BuildCall(command.line, connection.GetVersion());
  return Answered([&] { return FollowCall(command, connection, call); });
}

struct GetCommand {
  std::string target;
  std::string property;
  Pelkctl::ConnectLine connect;
  bool pretty = false;
};

// One property through the server's property collector.
int RunGet(GetCommand& command) {
  Pelkctl::Connection connection(command.connect);
  Pelkctl::CallLine line;
  line.target = std::string("kettar.query.PropertyCollector:") + Qor::Services::kPropertyCollectorId;
  line.method = "retrieveContents";
  const size_t colon = command.target.find(':');
  if (colon == std::string::npos) throw UsageError("the target \"" + command.target + "\" is not TYPE:ID");
  const Zamli::Type* type = Pelkctl::FindType(command.target.substr(0, colon));
  if (type == nullptr || type->GetKind() != Zamli::kManagedKind) {
    throw UsageError(Pelkctl::UnknownName("managed type", command.target.substr(0, colon), Pelkctl::AllTypeNames()));
  }
  nlohmann::ordered_json spec = {{{"objects",
                                   {{{"_typeName", "ManagedObjectReference"},
                                     {"type", type->GetWsdlName()},
                                     {"value", command.target.substr(colon + 1)}}}},
                                  {"pathSet", {command.property}}}};
  line.assignments.push_back("specSet=" + spec.dump());
  Zamli::Wire::Request call = Pelkctl::BuildCall(line, connection.GetVersion());
  std::ostringstream contents;
  if (const int code = Answered([&] {
        Pelkctl::RunCall(connection.GetAdapter(), call, connection.GetVersion(), false, contents);
        return ExitCode::kSuccess;
      });
      code != ExitCode::kSuccess) {
    return code;
  }
  const nlohmann::ordered_json answer = nlohmann::ordered_json::parse(contents.str());
  nlohmann::ordered_json value = nullptr;
  if (answer.is_array() && !answer.empty() && answer[0].contains("propSet")) value = answer[0]["propSet"][0]["value"];
  // A property travels as anyType; a plain value prints as itself.
  if (value.is_object() && value.contains("_value") && value.size() == 2) value = value["_value"];
  std::cout << (command.pretty ? value.dump(2) : value.dump()) << "\n";
  return ExitCode::kSuccess;
}

void AddConnectOptions(CLI::App& sub, Pelkctl::ConnectLine& connect) {
  sub.add_option("--url", connect.url, "Where to call (default: $PELK_URL); sim: is a simulated cluster in process");
  sub.add_option("--version", connect.version, "Version to call at (default: the newest of pelk)");
  sub.add_flag("--negotiate", connect.negotiate, "Call at the newest version the server and this tool both know");
  sub.add_flag("--xml", connect.xml, "Carry the call in XML rather than JSON");
  sub.add_option("--user", connect.user,
                 "User for Basic authentication (default: $PELK_USER); the password is "
                 "$PELK_PASSWORD, a bearer token $PELK_TOKEN");
  sub.add_option("--ca", connect.caFile, "Trust the certificates of this PEM file");
  sub.add_option("--thumbprint", connect.thumbprint, "Trust exactly the server certificate with this SHA-256");
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
  AddConnectOptions(*call, calling.connect);
  call->add_flag("--pretty", calling.pretty, "Indent the result");
  call->add_flag("--wait", calling.wait, "Follow the task the method returns to its end, with a progress bar");
  call->add_flag("--strict", calling.strict, std::string(kStrictHelp) + ", before anything is sent");
  call->footer(
      "Example: pelkctl call --url sim: HostSystem:host-1 enterMaintenanceMode timeout=60 --wait\n"
      "Example: pelkctl call --url sim: --version pelk.version.version20 --strict "
      "PelkZovClusterHealthSystem:PelkZovClusterHealthSystem-1 queryFileServiceHealthSummary "
      "cluster=ClusterComputeResource:domain-c1 includeFileServerHealth=true\n"
      "  lists includeFileServerHealth, a parameter of pelk.version.version24, and sends nothing\n");

  GetCommand getting;
  auto* get = app.add_subcommand("get", "Read one property of a managed object through the property collector");
  get->add_option("TARGET", getting.target, "TYPE:ID")->required();
  get->add_option("PROPERTY", getting.property, "The property, or a path into it (info.state)")->required();
  AddConnectOptions(*get, getting.connect);
  get->add_flag("--pretty", getting.pretty, "Indent the value");
  get->footer("Example: pelkctl get --url sim: HostSystem:host-1 name\n");

  Pelkctl::ServeLine serving;
  auto* serve = app.add_subcommand("serve", "Serve a simulated cluster over HTTPS until SIGINT or SIGTERM");
  serve->add_option("--listen", serving.listen,
                    "HOST:PORT to listen on, port 0 for any free one (default 127.0.0.1:0)");
  serve->add_option("--cert", serving.certificateFile, "Certificate chain (PEM); without it a throw-away one");
  serve->add_option("--key", serving.keyFile, "Its private key (PEM)");
  serve->add_flag("--plain", serving.plainHttp, "Plain HTTP, no TLS");
  serve->add_option("--users", serving.usersFile, "Users file: who may call (USER password|token SHA256-HEX)");
  serve->add_option("--roles", serving.rolesFile, "Roles file: what they may do (PRINCIPAL PRIVILEGE [OBJECT-ID])");
  serve->add_option("--session-key", serving.sessionKeyFile,
                    "Key file (at least 32 bytes) shared by instances behind one proxy: sessions are tokens signed "
                    "with it, honoured by each (default: $PELK_SESSION_KEY_FILE)");
  serve->add_option("--seed", serving.seed, "Seed of the made-up answers")->capture_default_str();
  serve->add_option("--latency", serving.latencyMs, "Milliseconds added to every call")->capture_default_str();
  serve->add_option("--task-seconds", serving.taskSeconds, "How long a task runs")->capture_default_str();
  serve->add_option("--script", serving.scriptFile, "Canned answers per method (JSON; see tools/simulator/script.h)");
  serve->footer(
      "Example: pelkctl serve --listen 127.0.0.1:8443 --seed 7\n"
      "Behind a proxy: head -c 32 /dev/urandom > session.key, then on each instance\n"
      "  pelkctl serve --plain --listen 127.0.0.1:8081 --users users --session-key session.key\n");

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
    if (*get) return RunGet(getting);
    if (*serve) return Pelkctl::RunServe(serving);
  } catch (const UsageError& e) {
    std::cerr << "pelkctl: " << e.what() << "\n";
    return ExitCode::kUsageError;
  } catch (const Zamli::Http::TransportException& e) {
    std::cerr << "pelkctl: " << e.what() << "\n";
    return ExitCode::kTransportError;
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
