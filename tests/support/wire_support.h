#pragma once
// What the wire suites share: the versions they encode for, the types they
// walk, filled values that can travel (their references name the declared
// managed type), and catching a fault as its own class.
#include <filled.h>
#include <gtest/gtest.h>
#include <haldun/exception.h>
#include <member_calls.h>
#include <value_filler.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>
#include <zamli/values/mo_ref.h>
#include <zamli/values/primitive.h>
#include <zamli/wire/codec.h>

#include <functional>
#include <string>
#include <vector>

namespace WireTest {

using Haldun::Ref;
using Zamli::Wire::Encoding;

inline const char* NameOf(Encoding e) { return e == Encoding::kXml ? "Xml" : "Json"; }

// For suites over both encodings: INSTANTIATE_TEST_SUITE_P(Encodings, Suite, BothEncodings(), EncodingName).
inline auto BothEncodings() { return ::testing::Values(Encoding::kXml, Encoding::kJson); }
inline std::string EncodingName(const ::testing::TestParamInfo<Encoding>& info) { return NameOf(info.param); }

inline std::string PelkVersion(int n) { return "pelk.version.version" + std::to_string(n); }

inline const Zamli::Version& Newest() { return Zamli::Wire::FindVersion(PelkVersion(25)); }

// True when `version` includes the version an element names (a type, a
// property, a parameter, a method).
inline bool Includes(const Zamli::Version& version, const char* elementVersion) {
  const Zamli::Version* v = Zamli::TypeRegistry::Instance().FindVersion(elementVersion);
  return v != nullptr && version.Includes(*v);
}

inline bool Includes(const Zamli::Version& version, const Zamli::Type& type) {
  return type.GetVersion() != nullptr && version.Includes(*type.GetVersion());
}

using PelkTest::DataTypesOf;

inline const Zamli::Type& TypeOf(const Zamli::TypeInfo* info) {
  const Zamli::Type* t = Zamli::TypeRegistry::Instance().FindByTypeInfo(info);
  if (t == nullptr) throw Haldun::NotFoundException(std::string("no type for ") + info->name);
  return *t;
}

inline const Zamli::Type& TypeNamed(const char* name) {
  const Zamli::Type* t = Zamli::TypeRegistry::Instance().FindByName(name);
  if (t == nullptr) throw Haldun::NotFoundException(std::string("no type ") + name);
  return *t;
}

// A method of a managed type, by their names.
inline const Zamli::ManagedMethod& MethodOf(const char* type, const char* name) {
  auto* managed = dynamic_cast<const Zamli::ManagedObjectType*>(&TypeNamed(type));
  const Zamli::ManagedMethod* method = managed == nullptr ? nullptr : managed->FindMethod(name);
  if (method == nullptr) throw Haldun::NotFoundException(std::string("no method ") + type + "." + name);
  return *method;
}

// The call the wire suites send most: a reboot of a cluster, asked of the
// health system, and the methods next to it.
inline const Zamli::ManagedMethod& Reboot() {
  return MethodOf("qor.cluster.PelkZovClusterHealthSystem", "prepareClusterRebootWithNAMM");
}
inline const Zamli::ManagedMethod& Upload() {
  return MethodOf("qor.cluster.PelkZovClusterHealthSystem", "uploadHclDb");
}
inline const Zamli::ManagedMethod& UpdateOptions() { return MethodOf("dp.ruv.ProtectionService", "updateOptions"); }
inline Ref<Zamli::MoRef> HealthSystem() {
  return Ref<Zamli::MoRef>(new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1"));
}
inline std::vector<Ref<Zamli::Any>> RebootArgs() {
  return {Ref<Zamli::Any>(new Zamli::MoRef("qor.ClusterComputeResource", "domain-c8")), Zamli::Box(300)};
}

// A filled value (see PelkTest::Filled) whose references can travel.
inline Ref<Zamli::DynamicData> Filled(const Zamli::DataObjectType& type, int maxDepth = 2) {
  PelkTest::FillOptions options = PelkTest::EveryProperty(maxDepth);
  options.declaredReferenceTypes = true;
  return PelkTest::ValueFiller(options).Build(type);
}

inline Ref<Zamli::DynamicData> FilledShallow(const Zamli::DataObjectType& type) { return Filled(type, 1); }

// A value for a property, parameter or result record (see PelkTest::ValueFor).
inline Ref<Zamli::Any> ValueFor(const Zamli::PropertyInfo& p, int seed) {
  return PelkTest::ValueFor(p, seed, &FilledShallow);
}

using PelkTest::Differences;

// A call as one value, to compare calls: the method's name, the target, the
// arguments.
inline Ref<Zamli::Any> AsCall(const Zamli::ManagedMethod& method, const Zamli::MoRef& target,
                              const std::vector<Ref<Zamli::Any>>& args) {
  Ref<Zamli::DynamicArray> call(new Zamli::DynamicArray());
  call->AppendAny(Zamli::Box(std::string(method.GetName())).Get());
  call->AppendAny(Ref<Zamli::Any>(new Zamli::MoRef(target.GetTypeName(), target.GetId())).Get());
  for (const Ref<Zamli::Any>& arg : args) call->AppendAny(arg.Get());
  return Ref<Zamli::Any>(call.Get());
}
inline Ref<Zamli::Any> AsCall(const Zamli::Wire::Request& request) {
  return AsCall(*request.method, *request.target, request.args);
}

// What an exception says, for failure messages.
inline std::string Explain(const std::exception& e) {
  if (auto* f = dynamic_cast<const Zamli::MethodFault::Exception*>(&e)) return Zamli::Wire::Describe(*f->GetFault());
  return e.what();
}

// Runs `body`, which must raise F; answers the fault, or null (having
// reported a failure) when it raised nothing or something else.
template <class F>
Ref<F> Raised(const std::function<void()>& body, const std::string& what = "") {
  try {
    body();
  } catch (const typename F::Exception& e) {
    return Ref<F>(e.GetFault());
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": expected " << Zamli::GetDoType<F>()->GetName() << ", raised " << Explain(e);
    return {};
  }
  ADD_FAILURE() << what << ": expected " << Zamli::GetDoType<F>()->GetName() << ", raised nothing";
  return {};
}

}  // namespace WireTest
