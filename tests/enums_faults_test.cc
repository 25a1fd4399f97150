// Enumerations and faults, every one of them as the C++ type it is: the
// generated list names each enumeration and each fault with its chain.
#include <set>

#include <gtest/gtest.h>
#include <pelk/all.h>
#include <zamli/compare.h>
#include <zamli/enum_value.h>
#include <zamli/registry.h>

namespace {

using Haldun::Ref;

// Every tag of E through the type object, the record functions and the typed API.
template <class E>
void CheckEnumeration() {
  const Zamli::EnumType* type = Zamli::GetEnumType<E>();
  ASSERT_NE(type, nullptr);
  const Zamli::EnumFuncs& f = type->GetFuncs();
  const int n = type->GetTagCount();
  Ref<Zamli::Array<std::string>> tags(new Zamli::Array<std::string>());
  for (int i = 0; i < n; ++i) {
    const std::string& tag = type->GetTag(i);
    EXPECT_EQ(type->GetValue(tag), i) << type->GetName();
    EXPECT_EQ(static_cast<int>(Zamli::EnumFromTag<E>(tag)), i);
    EXPECT_EQ(Zamli::TagOf(static_cast<E>(i)), tag);
    Ref<Zamli::Any> box(f.BoxValue(i));
    EXPECT_EQ(f.UnboxValue(box.Get()), i);
    EXPECT_EQ(box->_GetType(), type);
    tags->Append(tag);
    tags->Append(type->GetTag(n - 1 - i));  // duplicates and reversed order
  }
  Ref<Zamli::Any> values(f.ArrayFromTags(tags.Get(), type));
  ASSERT_EQ(values->GetRefCount(), 1);
  auto* array = dynamic_cast<Zamli::Array<E>*>(values.Get());
  ASSERT_NE(array, nullptr) << type->GetName();
  EXPECT_EQ(array->GetPresentation(), array);
  EXPECT_EQ(array->_GetType(), type->GetArrayType());
  Ref<Zamli::Array<std::string>> back;
  f.ArrayToTags(values.Get(), type, back);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetValues(), tags->GetValues()) << type->GetName();
  EXPECT_EQ(back->GetRefCount(), 1);
  Ref<Zamli::Any> clone(values->_Clone());
  EXPECT_NE(clone.Get(), values.Get());
  EXPECT_TRUE(clone->_IsEqual(values.Get(), false));
  EXPECT_EQ(static_cast<Zamli::Array<E>*>(clone.Get())->GetPresentation(), clone.Get());
  Ref<Zamli::Any> empty(f.CreateArray());
  EXPECT_EQ(static_cast<Zamli::Collection*>(empty.Get())->GetCollectionLength(), 0);
  // An int array is not an array of E for tags, but compares equal to one.
  Zamli::Array<int> ints(array->GetValues());
  EXPECT_TRUE(array->_IsEqual(&ints, false));
  EXPECT_THROW(f.ArrayToTags(&ints, type, back), Haldun::TypeMismatchException);
  EXPECT_THROW(f.UnboxValue(Zamli::Box(1).Get()), Haldun::TypeMismatchException);
  Ref<Zamli::Array<std::string>> unknown(new Zamli::Array<std::string>({"no-such-tag"}));
  EXPECT_THROW(Ref<Zamli::Any>(f.ArrayFromTags(unknown.Get(), type)), Haldun::NotFoundException);
  EXPECT_THROW(type->GetTag(n), Haldun::OutOfRangeException);
}

TEST(Enumerations, EveryTagRoundTrips) {
  int count = 0;
#define ZAMLI_TEST_ENUM(E) \
  CheckEnumeration<E>();   \
  ++count;
#define ZAMLI_TEST_FAULT(F, Chain)
#define ZAMLI_TEST_MANAGED(I, Stub, Server)
#define ZAMLI_TEST_MEMBER(I, Operation, Index)
#include <pelk/type_list.inc>
#undef ZAMLI_TEST_MANAGED
#undef ZAMLI_TEST_MEMBER
#undef ZAMLI_TEST_ENUM
#undef ZAMLI_TEST_FAULT
  EXPECT_EQ(count, 143);
}

TEST(Enumerations, ArraysOfDifferentEnumerationsWithTheSameIndexes) {
  Zamli::Array<Dp::Ruv::MigrationType> a;
  Zamli::Array<Dp::Ruv::SnapshotType> b;
  Zamli::Array<int> c;
  for (int v : {0, 2}) {
    a.GetValues().push_back(v);
    b.GetValues().push_back(v);
    c.Append(v);
  }
  EXPECT_TRUE(a._IsEqual(&b, false));
  EXPECT_TRUE(Zamli::AreEqual(&a, &c));
  EXPECT_TRUE(Zamli::AreEqual(&c, &a));
  c.Append(1);
  Zamli::PropertyDiffSet diffs;
  a._DiffProperties(&c, "p.types", diffs);
  EXPECT_EQ(diffs.GetChanged(), std::vector<std::string>{"p.types"});
  EXPECT_EQ(Zamli::EnumFromTag<Dp::Ruv::MigrationType>(Dp::Ruv::MIGRATIONTYPE_COLDMIGRATION),
            Zamli::EnumFromTag<Dp::Ruv::MigrationType>("coldMigration"));
  EXPECT_THROW(Zamli::EnumFromTag<Dp::Ruv::MigrationType>("ColdMigration"), Haldun::NotFoundException);
}

// Raises F through ThrowInternal and catches it through each class of its
// chain in turn; the exception must carry the very fault that threw.
template <class F, class... Chain>
void CheckFault() {
  Ref<F> fault(new F());
  const std::string expected = "Fault cause: " + Zamli::GetDoType<F>()->GetName() + "\n";
  auto catchAs = [&]<class B>() {
    try {
      fault->ThrowInternal();
    } catch (const typename B::Exception& e) {
      EXPECT_EQ(e.GetFault(), fault.Get()) << typeid(B).name();
      EXPECT_EQ(typeid(e), typeid(typename F::Exception));
      EXPECT_EQ(std::string(e.what()), expected);
      return;
    }
  };
  (catchAs.template operator()<Chain>(), ...);
  EXPECT_EQ(fault->GetRefCount(), 1) << "every exception released the fault";
  {
    // Through the root class, the dynamic class still decides.
    const Zamli::MethodFault& root = *fault;
    try {
      root.ThrowFault();
    } catch (const typename F::Exception& e) {
      EXPECT_EQ(e.GetFault(), fault.Get());
      // Throw through a base reference: a copy of the full class.
      const Haldun::Throwable& base = e;
      try {
        base.Throw();
      } catch (const typename F::Exception& again) {
        EXPECT_EQ(again.GetFault(), fault.Get());
        EXPECT_EQ(fault->GetRefCount(), 3);
      }
    }
    std::unique_ptr<Zamli::MethodFault::Exception> created(root.CreateException());
    EXPECT_EQ(typeid(*created), typeid(typename F::Exception));
    EXPECT_EQ(fault->GetRefCount(), 2);
    std::unique_ptr<Haldun::Throwable> cloned(created->Clone());
    EXPECT_EQ(typeid(*cloned), typeid(typename F::Exception));
    EXPECT_EQ(fault->GetRefCount(), 3);
  }
  EXPECT_EQ(fault->GetRefCount(), 1);
  EXPECT_EQ(fault->GetResponseCode(), Haldun::Http::ResponseCode::InternalServerError);
}

TEST(Faults, EachIsCaughtThroughEveryClassOfItsChain) {
  int count = 0;
#define ZAMLI_TEST_ENUM(E)
#define ZAMLI_TEST_FAULT(F, Chain) \
  [&]<class... C>(void (*)(C...)) { CheckFault<F, C...>(); }(static_cast<void (*) Chain>(nullptr)); \
  ++count;
#define ZAMLI_TEST_MANAGED(I, Stub, Server)
#define ZAMLI_TEST_MEMBER(I, Operation, Index)
#include <pelk/type_list.inc>
#undef ZAMLI_TEST_MANAGED
#undef ZAMLI_TEST_MEMBER
#undef ZAMLI_TEST_ENUM
#undef ZAMLI_TEST_FAULT
  EXPECT_EQ(count, 54);
}

TEST(Faults, AFaultIsOnlyCaughtByItsOwnFamily) {
  Ref<Dp::Ruv::Fault::WexdServiceDown> fault(new Dp::Ruv::Fault::WexdServiceDown());
  bool caughtWrongFamily = false, caught = false;
  try {
    fault->ThrowInternal();
  } catch (const Qor::Fault::DwlFault::Exception&) {
    caughtWrongFamily = true;
  } catch (const Dp::Ruv::Fault::WexdConnectionLost::Exception& e) {
    caught = e.GetFault() == fault.Get();
  }
  EXPECT_FALSE(caughtWrongFamily);
  EXPECT_TRUE(caught);
}

}  // namespace
