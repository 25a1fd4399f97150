#include "script.h"

#include <zamli/wire/codec.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "lookup.h"
#include "transcode.h"

namespace Pelksim {
namespace {

using Json = nlohmann::ordered_json;

std::string EntryName(size_t index) { return "script entry " + std::to_string(index + 1); }

// Decodes the entry's answer once, so a bad one is reported when the script
// is read rather than when a client happens to call.
void CheckAnswer(const ScriptEntry& entry, size_t index) {
  const Zamli::Wire::Codec json("json", Pelkctl::NewestVersion());
  try {
    if (!entry.fault.is_null()) {
      json.DecodeFault(Json{{"fault", entry.fault}}.dump());
    } else {
      json.DecodeResponse(entry.result.is_null() ? "{}" : Json{{"returnval", entry.result}}.dump(), *entry.method);
    }
  } catch (const Zamli::MethodFault::Exception& e) {
    throw std::invalid_argument(EntryName(index) + ": " + Zamli::Wire::Describe(*e.GetFault()));
  }
}

}  // namespace

Script Script::Parse(const std::string& text) {
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::parse_error& e) {
    throw std::invalid_argument(std::string("script: ") + e.what());
  }
  if (!document.is_array()) throw std::invalid_argument("script: not a JSON array of entries");
  Script script;
  for (size_t i = 0; i < document.size(); ++i) {
    const Json& item = document[i];
    if (!item.is_object()) throw std::invalid_argument(EntryName(i) + ": not an object");
    ScriptEntry entry;
    for (const auto& [key, value] : item.items()) {
      if (key == "method") {
        const std::string name = value.is_string() ? value.get<std::string>() : "";
        entry.method = Pelkctl::FindMethod(name);
        if (entry.method == nullptr) throw std::invalid_argument(EntryName(i) + ": " + Pelkctl::UnknownMethod(name));
      } else if (key == "target" && value.is_string()) {
        entry.target = value.get<std::string>();
      } else if (key == "args" && value.is_object()) {
        entry.args = value;
      } else if (key == "result") {
        entry.result = value;
      } else if (key == "fault" && value.is_object()) {
        entry.fault = value;
      } else if (key == "delayMs" && value.is_number_unsigned()) {
        entry.delay = std::chrono::milliseconds(value.get<long>());
      } else {
        throw std::invalid_argument(EntryName(i) + ": unexpected member \"" + key + "\"");
      }
    }
    if (entry.method == nullptr) throw std::invalid_argument(EntryName(i) + ": no \"method\"");
    CheckAnswer(entry, i);
    script.entries_.push_back(std::move(entry));
  }
  return script;
}

Script Script::FromFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::invalid_argument("script: cannot read \"" + path + "\"");
  std::stringstream text;
  text << file.rdbuf();
  return Parse(text.str());
}

const ScriptEntry* Script::Match(const Zamli::MoRef& target, const Zamli::ManagedMethod& method,
                                 const Json& request) const {
  for (const ScriptEntry& entry : entries_) {
    if (entry.method != &method) continue;
    if (!entry.target.empty() && entry.target != target.GetId()) continue;
    bool argsMatch = true;
    for (const auto& [name, value] : entry.args.items()) {
      argsMatch = argsMatch && request.contains(name) && request[name] == value;
    }
    if (argsMatch) return &entry;
  }
  return nullptr;
}

}  // namespace Pelksim
