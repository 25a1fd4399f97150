#include <zamli/types/version.h>

#include <algorithm>

namespace Zamli {

Version::Version(std::string name, std::string label, const Namespace* ns)
    : name_(std::move(name)), label_(std::move(label)), namespace_(ns) {}

bool Version::Includes(const Version& other) const {
  return std::binary_search(included_.begin(), included_.end(), &other);
}

}  // namespace Zamli
