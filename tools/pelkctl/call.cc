#include "call.h"

#include <zamli/types/registry.h>
#include <zamli/types/value_kind.h>

#include <nlohmann/json.hpp>
#include <ostream>

#include "exit_code.h"
#include "lookup.h"
#include "transcode.h"

namespace Pelkctl {
namespace {

using Json = nlohmann::ordered_json;

const Zamli::ManagedObjectType& TargetType(const std::string& target, std::string& id) {
  const size_t colon = target.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == target.size()) {
    throw UsageError("the target \"" + target + "\" is not TYPE:ID");
  }
  id = target.substr(colon + 1);
  const std::string typeName = target.substr(0, colon);
  auto* type = dynamic_cast<const Zamli::ManagedObjectType*>(FindType(typeName));
  if (type == nullptr) throw UsageError(UnknownName("managed type", typeName, AllTypeNames()));
  return *type;
}

// What the command line gave for one parameter, as its JSON value: JSON as
// written, TYPE:ID for a reference, or bare text for a text-like parameter.
Json ArgumentValue(const Zamli::PropertyInfo& param, const std::string& text) {
  Json value = Json::parse(text, nullptr, false);
  const Zamli::ValueKind kind = Zamli::ValueKindOf(param.type);
  if (kind == Zamli::ValueKind::kMoRef && !(param.flags & Zamli::kArrayFlag) && value.is_discarded()) {
    std::string id;
    const Zamli::ManagedObjectType& type = TargetType(text, id);
    return {{"_typeName", "ManagedObjectReference"}, {"type", type.GetWsdlName()}, {"value", id}};
  }
  if (!value.is_discarded()) return value;
  const bool textLike = kind == Zamli::ValueKind::kString || kind == Zamli::ValueKind::kEnum ||
                        kind == Zamli::ValueKind::kDateTime || kind == Zamli::ValueKind::kBinary;
  if (textLike && !(param.flags & Zamli::kArrayFlag)) return text;
  throw UsageError(std::string("argument ") + param.name + ": not a JSON value: " + text);
}

const Zamli::PropertyInfo& Parameter(const Zamli::ManagedMethod& method, const std::string& name) {
  std::vector<std::string> names;
  for (const Zamli::PropertyInfo* p = method.GetMethodInfo()->params; p->type != nullptr; ++p) {
    if (name == p->name) return *p;
    names.emplace_back(p->name);
  }
  throw UsageError(UnknownName(std::string("parameter of ") + method.GetName(), name, names));
}

}  // namespace

Zamli::Wire::Request BuildCall(const CallLine& line, const Zamli::Version& version) {
  std::string id;
  const Zamli::ManagedObjectType& type = TargetType(line.target, id);
  const Zamli::ManagedMethod* method = FindMethod(type.GetName() + "." + line.method);
  if (method == nullptr) throw UsageError(UnknownMethod(type.GetName() + "." + line.method));

  Json args = Json::object();
  if (!line.argsFile.empty()) {
    const std::string text = ReadDocument(line.argsFile);
    Json file = Json::parse(text, nullptr, false);
    if (!file.is_object()) throw UsageError("--args " + line.argsFile + ": not a JSON object of name: value");
    for (auto& [name, value] : file.items()) {
      Parameter(*method, name);
      args[name] = value;
    }
  }
  for (const std::string& assignment : line.assignments) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) throw UsageError("argument \"" + assignment + "\" is not name=JSON");
    const std::string name = assignment.substr(0, equals);
    args[name] = ArgumentValue(Parameter(*method, name), assignment.substr(equals + 1));
  }

  const Zamli::MethodInfo& info = *method->GetMethodInfo();
  Json request = {{"_method", info.wsdlName},
                  {"_this", {{"_typeName", "ManagedObjectReference"}, {"type", type.GetWsdlName()}, {"value", id}}}};
  for (const Zamli::PropertyInfo* p = info.params; p->type != nullptr; ++p) {
    if (args.contains(p->name)) {
      request[p->name] = args[p->name];
    } else if (!(p->flags & Zamli::kOptionalFlag)) {
      throw UsageError(std::string("argument ") + p->name + " is required (see pelkctl describe " + type.GetName() +
                       "." + method->GetName() + ")");
    }
  }
  try {
    return Zamli::Wire::Codec("json", version).DecodeRequest(request.dump());
  } catch (const Zamli::MethodFault::Exception& e) {
    // The codec names the parameter first in its path ("timeout: not a valid int").
    const std::string described = Zamli::Wire::Describe(*e.GetFault());
    throw UsageError("argument " + described.substr(described.find(": ") + 2));
  }
}

void RunCall(Zamli::StubAdapter& adapter, Zamli::Wire::Request& call, const Zamli::Version& version, bool pretty,
             std::ostream& out) {
  Haldun::Ref<Zamli::Any> result;
  adapter.Invoke(call.target.Get(), const_cast<Zamli::ManagedMethod*>(call.method), call.args, result, nullptr);
  const Json response = Json::parse(Zamli::Wire::Codec("json", version).EncodeResponse(*call.method, result.Get()));
  const Json value = response.contains("returnval") ? response["returnval"] : Json(nullptr);
  out << (pretty ? value.dump(2) : value.dump()) << '\n';
}

}  // namespace Pelkctl
