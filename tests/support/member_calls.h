#pragma once
// Calls of every member of a managed type through its typed stub, checked at
// both ends: what the server object saw against what the caller passed, and
// what came back against what the server answered. The suites that use it
// differ in how calls travel (the adapter) and how data objects are made.
#include <gtest/gtest.h>
#include <pelk/all.h>
#include <zamli/calls/call.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>

#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace PelkTest {

// Makes a filled data object of a type, for arguments and results.
using ObjectMaker = Haldun::Ref<Zamli::DynamicData> (*)(const Zamli::DataObjectType&);

// A value for a property, parameter or result record, different for each
// seed; an optional one is left out for every third seed.
inline Haldun::Ref<Zamli::Any> ValueFor(const Zamli::PropertyInfo& p, int seed, ObjectMaker make) {
  using Haldun::Ref;
  using Zamli::Any;
  if (p.type == nullptr) return {};
  if ((p.flags & Zamli::kOptionalFlag) && seed % 3 == 1) return {};
  const Zamli::TypeInfo* t = p.type;
  auto dataType = [&] {
    return dynamic_cast<const Zamli::DataObjectType*>(Zamli::TypeRegistry::Instance().FindByTypeInfo(t));
  };
  auto one = [&]() -> Ref<Any> {
    if (t->kind == Zamli::kManagedKind) return Ref<Any>(new Zamli::MoRef(t->name, "id-" + std::to_string(seed)));
    if (t == &Zamli::gStringTypeInfo) return Zamli::Box(std::string("text-") + std::to_string(seed));
    if (t == &Zamli::gBoolTypeInfo) return Zamli::Box(seed % 2 == 0);
    if (t == &Zamli::gIntTypeInfo) return Zamli::Box(seed * 7);
    if (t == &Zamli::gLongTypeInfo) return Zamli::Box(seed * 1000003L);
    if (t == &Zamli::gFloatTypeInfo) return Zamli::Box(seed + 0.5f);
    if (t == &Zamli::gDateTimeTypeInfo) return Zamli::Box(Haldun::System::DateTime::FromMicroseconds(seed * 1000L));
    if (t == &Zamli::gBinaryTypeInfo) {
      return Zamli::Box(std::vector<unsigned char>{1, 2, static_cast<unsigned char>(seed)});
    }
    if (t == &Zamli::gAnyTypeInfo) return Zamli::Box(std::string("any-") + std::to_string(seed));
    const Zamli::DataObjectType* type = dataType();
    if (type->GetDataTypeInfo()->createInstance == nullptr) {  // the abstract root: any data object will do
      type = Zamli::GetDoType<Zamli::KeyAnyValue>();
    }
    return Ref<Any>(make(*type).Get());
  };
  if (!(p.flags & Zamli::kArrayFlag)) return one();
  if (t == &Zamli::gStringTypeInfo) return Ref<Any>(new Zamli::Array<std::string>({"a-" + std::to_string(seed), "b"}));
  if (t == &Zamli::gIntTypeInfo) return Ref<Any>(new Zamli::Array<int>({seed, 2}));
  if (t == &Zamli::gLongTypeInfo) return Ref<Any>(new Zamli::Array<long>({seed, 2L}));
  Ref<Any> array(t->kind == Zamli::kManagedKind ? new Zamli::DataArray<Zamli::MoRef>()
                                                : dataType()->GetDataTypeInfo()->createArray());
  static_cast<Zamli::DataArrayBase*>(array.Get())->AppendAny(one().Get());
  return array;
}

// The differences of two values, for failure messages.
inline std::string Differences(const Zamli::Any* a, const Zamli::Any* b) {
  if (a == nullptr || b == nullptr) return a == b ? "" : "one side is null";
  if (a->_GetType() != b->_GetType()) {
    return "class " + a->_GetType()->GetName() + " against " + b->_GetType()->GetName();
  }
  std::string out;
  for (const std::string& d : Zamli::ListDifferences(*a, *b)) out += (out.empty() ? "" : ", ") + d;
  return out;
}

// The declared result and parameters of member `index` of a managed type.
struct MemberRecords {
  const Zamli::PropertyInfo* result = nullptr;
  std::vector<const Zamli::PropertyInfo*> params;
};

inline MemberRecords RecordsOf(const Zamli::ManagedObjectType& type, int index) {
  MemberRecords r;
  const Zamli::ManagedMethod* member = type.GetMember(index);
  if (member->IsPropertyReader()) {
    r.result = member->GetPropertyInfo();
  } else {
    const Zamli::MethodInfo* m = member->GetMethodInfo();
    r.result = m->result.type ? &m->result : nullptr;
    for (int i = 0; m->params[i].type != nullptr; ++i) r.params.push_back(&m->params[i]);
  }
  return r;
}

// What a server object saw and answered.
struct Record {
  int member = -1;
  Zamli::Call::Args args;
  Haldun::Ref<Zamli::Any> answer;
};

// Answers every member with a value made for its result record.
template <class Server>
class RecordingServer : public Server {
 public:
  RecordingServer(const std::string& id, const Zamli::ManagedObjectType* type, Record* record, ObjectMaker make)
      : Server(id), type_(type), record_(record), make_(make) {}
  void _Unimplemented(int member, Zamli::Call::Args& args, Haldun::Ref<Zamli::Any>& result) override {
    record_->member = member;
    record_->args = args;
    MemberRecords records = RecordsOf(*type_, member);
    result = records.result ? ValueFor(*records.result, member, make_) : Haldun::Ref<Zamli::Any>();
    record_->answer = result;
  }

 private:
  const Zamli::ManagedObjectType* type_;
  Record* record_;
  ObjectMaker make_;
};

// A test argument of the declared C++ type P, built from the parameter record.
template <class P>
struct TestArg {
  Haldun::Ref<Zamli::Any> boxed;
  std::remove_cvref_t<P> value{};
  TestArg(const Zamli::PropertyInfo& p, int seed, ObjectMaker make) : boxed(ValueFor(p, seed, make)) {
    using V = std::remove_cvref_t<P>;
    if constexpr (std::is_pointer_v<V>) {
      value = Zamli::NarrowTo<std::remove_pointer_t<V>>(boxed.Get());
    } else if constexpr (requires { typename Zamli::Call::OptionalOf<V>::type; } &&
                         !std::is_void_v<typename Zamli::Call::OptionalOf<V>::type>) {
      using X = typename Zamli::Call::OptionalOf<V>::type;
      if (boxed) value = Zamli::Call::Unbox<X>(boxed.Get());
    } else {
      value = Zamli::Call::Unbox<V>(boxed.Get());
    }
  }
  P Get() { return value; }
};

inline void Verify(const Record& seen, const Zamli::Call::Args& passed, const Haldun::Ref<Zamli::Any>& back,
                   const std::string& name) {
  ASSERT_EQ(seen.args.size(), passed.size()) << name;
  for (size_t i = 0; i < passed.size(); ++i) {
    EXPECT_TRUE(Zamli::AreEqual(seen.args[i].Get(), passed[i].Get()))
        << name << " argument " << i << ": " << Differences(passed[i].Get(), seen.args[i].Get());
  }
  EXPECT_TRUE(Zamli::AreEqual(back.Get(), seen.answer.Get()))
      << name << " result: " << Differences(seen.answer.Get(), back.Get());
}

template <class I, class R, class... P, size_t... N>
void CallAndCheck(I& stub, R (I::*operation)(P...), const MemberRecords& records, Record& seen,
                  std::index_sequence<N...>, const std::string& name, [[maybe_unused]] ObjectMaker make) {
  ASSERT_EQ(records.params.size(), sizeof...(N)) << name;
  std::tuple<TestArg<std::tuple_element_t<N, std::tuple<P...>>>...> args{
      TestArg<std::tuple_element_t<N, std::tuple<P...>>>(*records.params[N], static_cast<int>(N), make)...};
  Haldun::Ref<Zamli::Any> back;
  if constexpr (Zamli::Call::LastIsOut<P...>::value) {
    using Out = typename Zamli::Call::LastIsOut<P...>::Target;
    Haldun::Ref<Out> out;
    (stub.*operation)(std::get<N>(args).Get()..., out);
    // An array result is never null; other results come back as answered.
    if constexpr (std::is_base_of_v<Zamli::Collection, Out>) {
      EXPECT_NE(out, nullptr) << name;
    }
    back = Haldun::Ref<Zamli::Any>(out.Get());
  } else if constexpr (std::is_void_v<R>) {
    (stub.*operation)(std::get<N>(args).Get()...);
  } else {
    back = Zamli::Call::BoxResult((stub.*operation)(std::get<N>(args).Get()...));
  }
  Verify(seen, {std::get<N>(args).boxed...}, back, name);
}

// Calls member `index` through `stub` and checks both ends.
template <class I, class R, class... P>
void CheckMember(I& stub, R (I::*operation)(P...), int index, Record& seen, const std::string& name, ObjectMaker make) {
  seen = Record{};
  constexpr size_t n = sizeof...(P) - (Zamli::Call::LastIsOut<P...>::value ? 1 : 0);
  CallAndCheck(stub, operation, RecordsOf(*Zamli::GetMoType<I>(), index), seen, std::make_index_sequence<n>{}, name,
               make);
  EXPECT_EQ(seen.member, index) << name;
}

// Each interface's stub and server classes, from the generated list.
template <class I>
struct Fixture;
#define ZAMLI_TEST_MANAGED(I, StubClass, ServerClass) \
  template <>                                         \
  struct Fixture<I> {                                 \
    using Stub = StubClass;                           \
    using Server = ServerClass;                       \
  };
#include <pelk/type_list.inc>

// Serves a recording server object of I among `objects` and calls member
// `index` through a stub on `calls`, which carries the call there (it may be
// `objects` itself). With `readersMayFault`, a property reader, which is no
// remote method, may be refused with a fault; any other error is a failure.
template <class I, class R, class... P>
void ServeAndCheckMember(Zamli::LocalAdapter& objects, Zamli::StubAdapter& calls, R (I::*operation)(P...), int index,
                         const std::string& name, ObjectMaker make, bool readersMayFault = false) {
  Record record;
  const std::string id = "object-" + name;
  const Zamli::ManagedObjectType* type = Zamli::GetMoType<I>();
  objects.Register(new RecordingServer<typename Fixture<I>::Server>(id, type, &record, make));
  Haldun::Ref<typename Fixture<I>::Stub> stub(
      new typename Fixture<I>::Stub(new Zamli::MoRef(type->GetName(), id), &calls, nullptr));
  try {
    I& asInterface = *stub;
    CheckMember(asInterface, operation, index, record, name, make);
  } catch (const Zamli::MethodFault::Exception& e) {
    if (!readersMayFault || !type->GetMember(index)->IsPropertyReader()) {
      ADD_FAILURE() << name << ": " << (e.GetFault() ? e.GetFault()->ToString() : std::string(e.what()));
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << name << ": not a fault: " << e.what();
  }
  objects.Unregister(id);
}

}  // namespace PelkTest
