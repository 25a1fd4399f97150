#pragma once
// What travels with a call besides its arguments.
#include <haldun/object_impl.h>
#include <zamli/export.h>

#include <string>
#include <utility>
#include <vector>

namespace Zamli {

// Name/value pairs travelling with a call (a session, a locale, an operation id).
class ZAMLI_EXPORT RequestContext : public Haldun::ObjectImpl {
 public:
  ~RequestContext() override;
  void Set(const std::string& key, std::string value);
  // Empty when the key is absent.
  std::string Get(const std::string& key) const;
  // Every pair, in the order first set; for whoever carries the context.
  const std::vector<std::pair<std::string, std::string>>& GetAll() const { return values_; }

 private:
  std::vector<std::pair<std::string, std::string>> values_;
};

}  // namespace Zamli
