#include <zamli/wire/errors.h>
#include <zamli/wire/format.h>

#include <map>
#include <mutex>

namespace Zamli::Wire {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, const Format*, std::less<>> byName;
};

// Made on first use: formats register while libraries load, in no set order.
Registry& Formats() {
  static Registry registry;
  return registry;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

}  // namespace

Format::~Format() = default;

void RegisterFormat(const Format& format) {
  Registry& registry = Formats();
  std::lock_guard lock(registry.mutex);
  if (!registry.byName.emplace(std::string(format.Name()), &format).second) {
    Fail(Problem::kInvalidArgument, "", "an encoding named " + Quote(format.Name()) + " is registered already");
  }
}

const Format& FindFormat(std::string_view name) {
  {
    Registry& registry = Formats();
    std::lock_guard lock(registry.mutex);
    auto it = registry.byName.find(name);
    if (it != registry.byName.end()) return *it->second;
  }
  Fail(Problem::kInvalidArgument, "", "no encoding named " + Quote(name) + " (" + Joined(FormatNames()) + ")");
}

std::vector<std::string> FormatNames() {
  Registry& registry = Formats();
  std::lock_guard lock(registry.mutex);
  std::vector<std::string> names;
  for (const auto& entry : registry.byName) names.push_back(entry.first);
  return names;
}

}  // namespace Zamli::Wire
