#pragma once
// Builds data objects through the records alone, setting properties with
// deterministic values from one counter. With the default options it builds
// the reference workload tree; tests use it to fill every property of every
// type. Every scalar set is reported to an optional listener, in fill order.
#include <haldun/ref.h>
#include <zamli/types/type.h>
#include <zamli/values/dynamic_data.h>

#include <functional>
#include <string>

namespace PelkTest {

struct FillOptions {
  // Object properties are set only when the child's depth stays within this.
  int maxDepth = 4;
  // Elements of an array owned by an object at depth d.
  std::function<int(int depth)> arrayLength = [](int d) { return d == 0 ? 5 : d == 1 ? 4 : 3; };
  // Properties whose type is not of the "pelk" namespace are left unset.
  bool onlyOwnNamespace = true;
  // References name the managed type their property declares, so that they
  // can travel; otherwise a made-up "type-N".
  bool declaredReferenceTypes = false;
  // When set, values whose counter satisfies this are changed (the second
  // tree of the workload): strings get "~", numbers and date-times +1,
  // booleans flip, binary flips the lowest bit of its first byte.
  std::function<bool(long counter)> changed;
};

struct FilledValue {
  long counter;
  std::string path;
  std::string value;  // as the workload's listing writes it
  // Where a difference reports a change of this value: the value's own path,
  // or that of the whole it belongs to (an array of plain values, a reference).
  std::string changePath;
};

class ValueFiller {
 public:
  explicit ValueFiller(FillOptions options = {}) : options_(std::move(options)) {}
  // A new object of the type with every reachable property set.
  Haldun::Ref<Zamli::DynamicData> Build(const Zamli::DataObjectType& type);
  void OnValue(std::function<void(const FilledValue&)> listener) { listener_ = std::move(listener); }
  long Counter() const { return counter_; }
  int Objects() const { return objects_; }

 private:
  void Fill(Zamli::DynamicData& object, const Zamli::DataObjectType& type, int depth, const std::string& path);
  void FillProperty(Zamli::DynamicData& object, const Zamli::PropertyRef& p, int depth, const std::string& path);
  Haldun::Ref<Zamli::Any> MakeObject(const Zamli::PropertyInfo& p, int depth, const std::string& path);
  Haldun::Ref<Zamli::Any> MakeScalarArray(const Zamli::PropertyInfo& p, int owner, const std::string& path);
  void SetScalar(Zamli::DynamicData& object, const Zamli::PropertyRef& p, const std::string& path);
  std::string NextString(const char* name, const std::string& path, const std::string& changePath);
  bool Changed() const { return options_.changed && options_.changed(counter_); }
  // A value set, for the listener; its text and paths are made only when
  // there is one, so that building the tree is measured without them.
  template <class MakeText>
  void Report(const std::string& path, MakeText text, const std::string& changePath) {
    if (listener_) listener_(FilledValue{counter_, path, text(), changePath});
    ++counter_;
  }
  std::string PathOf(const std::string& path, const char* part) const;
  std::string ElementPath(const std::string& path, int index) const;

  FillOptions options_;
  std::function<void(const FilledValue&)> listener_;
  long counter_ = 0;
  int objects_ = 0;
};

// The root type of the workload.
const Zamli::DataObjectType& WorkloadRootType();

}  // namespace PelkTest
