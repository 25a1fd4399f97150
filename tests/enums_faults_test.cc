// Enumerations and faults, every one of them as the C++ type it is: the
// generated list names each enumeration and each fault with its chain.
#include <gtest/gtest.h>
#include <pelk/all.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/values/enum_value.h>

namespace {

using Haldun::Ref;

// Every tag of an enumeration through its type object and record functions;
// `arrayClass` is the class its arrays must have.
void CheckEnumerationType(const Zamli::EnumType* type, const std::type_info& arrayClass) {
  ASSERT_NE(type, nullptr);
  const Zamli::EnumFuncs& f = type->GetFuncs();
  const int n = type->GetTagCount();
  Ref<Zamli::Array<std::string>> tags(new Zamli::Array<std::string>());
  ASSERT_GT(n, 0) << type->GetName();
  for (int i = 0; i < n; ++i) {
    const std::string& tag = type->GetTag(i);
    EXPECT_EQ(type->GetValue(tag), i) << type->GetName();
    EXPECT_STREQ(type->GetEnumTypeInfo()->tags[i], tag.c_str());
    Ref<Zamli::Any> box(f.BoxValue(i));
    EXPECT_EQ(f.UnboxValue(box.Get()), i);
    EXPECT_EQ(box->_GetType(), type);
    tags->Append(tag);
    tags->Append(type->GetTag(n - 1 - i));  // duplicates and reversed order
  }
  Ref<Zamli::Any> values(f.ArrayFromTags(tags.Get(), type));
  ASSERT_EQ(values->GetRefCount(), 1);
  const Zamli::Any& made = *values;
  EXPECT_EQ(typeid(made), arrayClass) << type->GetName();
  EXPECT_EQ(values->_GetType(), type->GetArrayType());
  Ref<Zamli::Array<std::string>> back;
  f.ArrayToTags(values.Get(), type, back);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetValues(), tags->GetValues()) << type->GetName();
  EXPECT_EQ(back->GetRefCount(), 1);
  Ref<Zamli::Any> clone(values->_Clone());
  EXPECT_NE(clone.Get(), values.Get());
  EXPECT_TRUE(clone->_IsEqual(values.Get(), false));
  Ref<Zamli::Any> empty(f.CreateArray());
  EXPECT_EQ(static_cast<Zamli::Collection*>(empty.Get())->GetCollectionLength(), 0);
  // An int array is not an array of the enumeration for tags, but compares equal to one.
  Zamli::Array<int> ints(static_cast<Zamli::Array<int>*>(values.Get())->GetValues());
  EXPECT_TRUE(values->_IsEqual(&ints, false));
  EXPECT_THROW(f.ArrayToTags(&ints, type, back), Haldun::TypeMismatchException);
  EXPECT_THROW(f.UnboxValue(Zamli::Box(1).Get()), Haldun::TypeMismatchException);
  Ref<Zamli::Array<std::string>> unknown(new Zamli::Array<std::string>({"no-such-tag"}));
  EXPECT_THROW(Ref<Zamli::Any>(f.ArrayFromTags(unknown.Get(), type)), Haldun::NotFoundException);
  EXPECT_EQ(type->GetEnumTypeInfo()->tags[n], nullptr);
  EXPECT_THROW(type->GetTag(n), Haldun::OutOfRangeException);
  EXPECT_THROW(type->GetTag(-1), Haldun::OutOfRangeException);
  EXPECT_THROW(type->GetValue("not a tag"), Haldun::NotFoundException);
}

template <class E>
void CheckEnumeration() {
  const Zamli::EnumType* type = Zamli::GetEnumType<E>();
  CheckEnumerationType(type, typeid(Zamli::Array<E>));
  // The typed way between values and tags.
  const std::string& last = type->GetTag(type->GetTagCount() - 1);
  EXPECT_EQ(static_cast<int>(Zamli::EnumFromTag<E>(last)), type->GetTagCount() - 1);
  EXPECT_EQ(Zamli::TagOf(static_cast<E>(0)), type->GetTag(0));
  Ref<Zamli::Array<E>> array(new Zamli::Array<E>());
  EXPECT_EQ(array->GetPresentation(), array.Get());
}

TEST(Enumerations, EveryTagRoundTrips) {
#define ZAMLI_TEST_ENUM(E) CheckEnumeration<E>();
#include <pelk/type_list.inc>
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
  EXPECT_FALSE(Zamli::AreEqual(&a, &c));
  // Equal, but not an array of the one enumeration for the other's tags.
  const Zamli::EnumType* type = Zamli::GetEnumType<Dp::Ruv::MigrationType>();
  Ref<Zamli::Array<std::string>> tags;
  EXPECT_THROW(type->GetFuncs().ArrayToTags(&b, type, tags), Haldun::TypeMismatchException);
  type->GetFuncs().ArrayToTags(&a, type, tags);
  EXPECT_EQ(tags->GetLength(), 2u);
}

// The copies of a fault's exception share the fault, and release it.
void CheckExceptionCopies(const Zamli::MethodFault& fault, const std::type_info& exceptionClass) {
  const int base = fault.GetRefCount();
  bool rethrown = false;
  try {
    fault.ThrowFault();  // through the root class, the dynamic class still decides
  } catch (const Zamli::MethodFault::Exception& e) {
    EXPECT_EQ(typeid(e), exceptionClass);
    EXPECT_EQ(e.GetFault(), &fault);
    // Throw through a base reference: a copy of the full class.
    const Haldun::Throwable& asBase = e;
    try {
      asBase.Throw();
    } catch (const Zamli::MethodFault::Exception& again) {
      EXPECT_EQ(typeid(again), exceptionClass);
      EXPECT_EQ(again.GetFault(), &fault);
      EXPECT_EQ(fault.GetRefCount(), base + 2);
      rethrown = true;
    }
  }
  EXPECT_TRUE(rethrown) << "nothing thrown";
  std::unique_ptr<Zamli::MethodFault::Exception> created(fault.CreateException());
  const Zamli::MethodFault::Exception& createdRef = *created;
  EXPECT_EQ(typeid(createdRef), exceptionClass);
  EXPECT_EQ(std::string(created->what()), "Fault cause: " + fault._GetType()->GetName() + "\n");
  EXPECT_EQ(fault.GetRefCount(), base + 1);
  std::unique_ptr<Haldun::Throwable> cloned(created->Clone());
  const Haldun::Throwable& clonedRef = *cloned;
  EXPECT_EQ(typeid(clonedRef), exceptionClass);
  EXPECT_EQ(fault.GetRefCount(), base + 2);
  created.reset();
  cloned.reset();
  EXPECT_EQ(fault.GetRefCount(), base);
  EXPECT_EQ(fault.GetResponseCode(), Haldun::Http::ResponseCode::InternalServerError);
}

// Raises F and catches it through each class of its chain in turn; the
// exception must carry the very fault that threw.
template <class F, class... Chain>
void CheckFault() {
  Ref<F> fault(new F());
  auto catchAs = [&]<class B>() {
    try {
      fault->ThrowInternal();
      ADD_FAILURE() << "nothing thrown";
    } catch (const typename B::Exception& e) {
      EXPECT_EQ(e.GetFault(), fault.Get()) << typeid(B).name();
    }
  };
  (catchAs.template operator()<Chain>(), ...);
  EXPECT_EQ(fault->GetRefCount(), 1) << "every exception released the fault";
  CheckExceptionCopies(*fault, typeid(typename F::Exception));
}

TEST(Faults, EachIsCaughtThroughEveryClassOfItsChain) {
#define ZAMLI_TEST_FAULT(F, Chain) \
  [&]<class... C>(void (*)(C...)) { CheckFault<F, C...>(); }(static_cast<void(*) Chain>(nullptr));
#include <pelk/type_list.inc>
}

TEST(Faults, AFaultIsOnlyCaughtByItsOwnFamily) {
  Ref<Dp::Ruv::Fault::WexdServiceDown> fault(new Dp::Ruv::Fault::WexdServiceDown());
  try {
    fault->ThrowInternal();
    ADD_FAILURE() << "nothing thrown";
  } catch (const Qor::Fault::DwlFault::Exception&) {
    ADD_FAILURE() << "caught by another family";
  } catch (const Dp::Ruv::Fault::WexdConnectionLost::Exception& e) {
    EXPECT_EQ(e.GetFault(), fault.Get());
  }
}

}  // namespace
