#pragma once
// A reference to a managed object on a server: its type and its id.
#include <zamli/values/any.h>

#include <string>

namespace Zamli {

class ZAMLI_EXPORT MoRef : public Any {
 public:
  MoRef(std::string type, std::string id) : type_(std::move(type)), id_(std::move(id)) {}
  // The managed type's name, as the reference carries it.
  const std::string& GetTypeName() const { return type_; }
  const std::string& GetId() const { return id_; }

  Type* _GetType() const override;
  // References never change, so holders share one.
  Any* _Clone() const override;
  bool _IsEqual(const Any* other, bool flag) const override;
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  void _Print(Printer& out) const override;

 private:
  const std::string type_;
  const std::string id_;
};

}  // namespace Zamli
