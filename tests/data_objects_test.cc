// The data object classes, through what their users have: the generated
// classes, the record functions the runtime calls, and the runtime's
// comparison, difference and printing. Table-driven over every data type of
// the interface; single cases on the tests' own interface.
#include <filled.h>
#include <gtest/gtest.h>
#include <haldun/exception.h>
#include <pelktest/pelktest/BusyFault.h>
#include <pelktest/pelktest/Everything.h>
#include <pelktest/pelktest/Item.h>
#include <property_slot.h>
#include <thrown.h>
#include <value_filler.h>
#include <zamli/codegen/field_table.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>
#include <zamli/values/enum_value.h>
#include <zamli/values/primitive.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <thread>

namespace {

using Haldun::Ref;
using Zamli::DataObjectType;

using PelkTest::Filled;
using PelkTest::IsValueKind;

std::vector<const DataObjectType*> DataTypes() { return PelkTest::DataTypesOf("pelk"); }

Ref<Zamli::DynamicData> Fresh(const DataObjectType& type) {
  return Ref<Zamli::DynamicData>(type.GetDataTypeInfo()->createInstance());
}

// Each type has the record functions its properties call for, and a fresh
// object holds its required plain values and nothing else.
TEST(DataObjects, RecordFunctionsAndFreshObjects) {
  for (const DataObjectType* type : DataTypes()) {
    const Zamli::DataTypeInfo& records = *type->GetDataTypeInfo();
    bool own = type->GetOwnPropertyCount() > 0, optional = false;
    for (int i = 0; i < type->GetOwnPropertyCount(); ++i)
      optional |= type->GetOwnProperty(i).flags & Zamli::kOptionalFlag;
    EXPECT_EQ(records.getProperty != nullptr, own) << type->GetName();
    EXPECT_EQ(records.setProperty != nullptr, own) << type->GetName();
    EXPECT_EQ(records.unsetProperty != nullptr, optional) << type->GetName();
    ASSERT_NE(records.isPropertySet, nullptr);
    ASSERT_NE(records.createInstance, nullptr);
    EXPECT_NE(records.createArray, nullptr);
    EXPECT_TRUE(type->HasFieldOffsets()) << type->GetName();
    Ref<Zamli::DynamicData> obj = Fresh(*type);
    EXPECT_EQ(obj->GetRefCount(), 1);
    EXPECT_EQ(obj->_GetType(), type);
    EXPECT_EQ(obj->_GetDataType(), type);
    if (!own) {
      EXPECT_TRUE(records.isPropertySet(obj.Get(), 0)) << type->GetName();
    }
    for (const Zamli::PropertyRef& p : type->GetAllProperties()) {
      const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
      bool expectSet = IsValueKind(*p.info) && !(p.info->flags & Zamli::kOptionalFlag);
      EXPECT_EQ(r.isPropertySet(obj.Get(), p.index), expectSet) << type->GetName() << "." << p.info->name;
      EXPECT_EQ(r.getPropertyAddr(obj.Get(), p.index) != nullptr, expectSet) << type->GetName() << "." << p.info->name;
    }
  }
}

// The type object reads values at their place only when the class's field
// table stores what the records declare.
TEST(DataObjects, FieldTablesAreTakenOnlyWhenTheyMatchTheRecords) {
  const DataObjectType* item = Zamli::GetDoType<Pelktest::Item>();
  const Zamli::FieldEntry name = Zamli::MakeField<std::string>(8), size = Zamli::MakeField<Haldun::Optional<int>>(40),
                          plainSize = Zamli::MakeField<int>(40);
  const Zamli::FieldEntry matching[] = {name, size}, wrongFlag[] = {name, plainSize};
  struct Row {
    const Zamli::FieldEntry* fields;
    int count;
    bool taken;
  } rows[] = {{matching, 2, true}, {wrongFlag, 2, false}, {matching, 1, false}};
  for (const Row& row : rows) {
    const Zamli::FieldTable table{row.fields, row.count, item->GetDataTypeInfo()->properties};
    const DataObjectType type(item->GetDataTypeInfo(), item->GetBase(), &table);
    EXPECT_EQ(type.HasFieldOffsets(), row.taken) << "row " << &row - rows;
    EXPECT_EQ(type.FindProperty("size")->offset, row.taken ? 40 : -1) << "row " << &row - rows;
  }
}

TEST(DataObjects, ClonesAreDeepAndEqual) {
  for (const DataObjectType* type : DataTypes()) {
    Ref<Zamli::DynamicData> source = Filled(*type);
    Ref<Zamli::Any> copy(source->_Clone());
    ASSERT_NE(copy.Get(), source.Get());
    EXPECT_EQ(copy->GetRefCount(), 1);
    EXPECT_TRUE(source->_IsEqual(copy.Get(), false)) << type->GetName();
    EXPECT_TRUE(copy->_IsEqual(source.Get(), true)) << type->GetName();
    EXPECT_TRUE(Zamli::ListDifferences(*source, *copy).empty()) << type->GetName();
    // Nested data objects are new objects; references to managed objects are shared.
    auto* clone = static_cast<Zamli::DynamicData*>(copy.Get());
    for (const Zamli::PropertyRef& p : type->GetAllProperties()) {
      if (p.IsInline() || p.array) continue;
      const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
      const void* a = r.getPropertyAddr(source.Get(), p.index);
      const void* b = r.getPropertyAddr(clone, p.index);
      if (p.info->type->kind == Zamli::kManagedKind) {
        EXPECT_EQ(a, b) << type->GetName() << "." << p.info->name;
      } else if (p.info->type->kind == Zamli::kDataKind) {
        EXPECT_NE(a, b) << type->GetName() << "." << p.info->name;
      }
    }
  }
}

// Values released on one thread are made again from what that thread kept,
// by objects of other classes and sizes; a thread that ends gives back what
// it kept. Each round's clones are made on a new thread from the blocks the
// last round's clones, released there, left.
TEST(DataObjects, ClonesMadeAndReleasedAcrossThreadsStayEqual) {
  std::vector<Ref<Zamli::DynamicData>> sources;
  for (const DataObjectType* type : DataTypes()) sources.push_back(Filled(*type));
  std::vector<Ref<Zamli::Any>> held;
  for (int round = 0; round < 4; ++round) {
    std::vector<Ref<Zamli::Any>> made;
    std::thread worker([&] {
      held.clear();
      // Reversed every other round, so that a block comes back to a class of another size.
      for (size_t i = 0; i < sources.size(); ++i) {
        made.emplace_back(sources[round % 2 ? sources.size() - 1 - i : i]->_Clone());
      }
    });
    worker.join();
    if (round % 2) std::reverse(made.begin(), made.end());
    for (size_t i = 0; i < sources.size(); ++i) {
      EXPECT_EQ(made[i]->GetRefCount(), 1);
      EXPECT_TRUE(sources[i]->_IsEqual(made[i].Get(), false)) << "round " << round << ", " << i;
    }
    held = std::move(made);
  }
}

TEST(DataObjects, OneChangedLeafIsExactlyItsPath) {
  for (const DataObjectType* type : DataTypes()) {
    // The filler reports each scalar with its path; change each in turn.
    std::vector<PelkTest::FilledValue> values;
    PelkTest::ValueFiller filler(PelkTest::EveryProperty());
    filler.OnValue([&](const PelkTest::FilledValue& v) { values.push_back(v); });
    Ref<Zamli::DynamicData> a = filler.Build(*type);
    // A sample keeps the test quick: first, last and every seventh value.
    for (size_t i = 0; i < values.size(); i += (i + 7 < values.size() ? 7 : 1)) {
      Ref<Zamli::DynamicData> b = Filled(*type, 2, values[i].counter);
      std::vector<std::string> diffs = Zamli::ListDifferences(*a, *b);
      ASSERT_EQ(diffs.size(), 1u) << type->GetName() << " changing " << values[i].path;
      EXPECT_EQ(diffs[0], values[i].changePath) << type->GetName() << " changing " << values[i].path;
      EXPECT_FALSE(a->_IsEqual(b.Get(), false));
    }
  }
}

TEST(DataObjects, EveryPropertyRoundTripsThroughTheRecordFunctions) {
  for (const DataObjectType* type : DataTypes()) {
    Ref<Zamli::DynamicData> source = Filled(*type);
    Ref<Zamli::DynamicData> target = Fresh(*type);
    for (const Zamli::PropertyRef& p : type->GetAllProperties()) {
      const Zamli::DataTypeInfo& r = *p.owner->GetDataTypeInfo();
      if (!r.isPropertySet(source.Get(), p.index)) continue;
      PelkTest::MoveProperty(p, source.Get(), target.Get());
      EXPECT_TRUE(r.isPropertySet(target.Get(), p.index)) << type->GetName() << "." << p.info->name;
    }
    EXPECT_TRUE(source->_IsEqual(target.Get(), false)) << type->GetName();
    EXPECT_TRUE(Zamli::ListDifferences(*source, *target).empty()) << type->GetName();
  }
}

// The cases below use the tests' own interface, whose Everything holds a
// property of every kind.
using Pelktest::Everything;

const Zamli::DataTypeInfo& Records() { return *Zamli::GetDoType<Everything>()->GetDataTypeInfo(); }
int IndexOf(const char* property) { return Zamli::GetDoType<Everything>()->FindProperty(property)->index; }
Ref<Pelktest::Item> NamedItem(const char* name) {
  Ref<Pelktest::Item> item(new Pelktest::Item());
  item->name = name;
  return item;
}

TEST(DataObjects, ArrayGetterCreatesOneArrayEvenUnderTwoThreads) {
  for (int round = 0; round < 50; ++round) {
    Everything e;
    EXPECT_EQ(e.items, nullptr);
    Zamli::DataArray<Pelktest::Item>* seen[2] = {};
    std::thread a([&] { seen[0] = e.GetItems(); });
    std::thread b([&] { seen[1] = e.GetItems(); });
    a.join();
    b.join();
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0]->GetRefCount(), 1);
    EXPECT_EQ(e.GetItems(), seen[0]);
  }
}

TEST(DataObjects, EmptyArraysReadAsUnset) {
  Everything e, other;
  Ref<Zamli::Any> array;
  Records().getProperty(&e, IndexOf("items"), &array);  // installs an empty array
  EXPECT_EQ(array.Get(), e.items.Get());
  EXPECT_EQ(Records().getPropertyAddr(&e, IndexOf("items")), nullptr);
  EXPECT_FALSE(Records().isPropertySet(&e, IndexOf("items")));
  EXPECT_TRUE(e._IsEqual(&other, false)) << "an empty array equals an absent one";
  Everything copy(e);
  EXPECT_TRUE(copy._IsEqual(&e, false));
  ASSERT_NE(copy.items.Get(), nullptr) << "a field that holds an array is copied as a clone, even when empty";
  EXPECT_NE(copy.items.Get(), e.items.Get());
  copy.GetItems()->Append(Ref<Pelktest::Item>(new Pelktest::Item()));
  EXPECT_EQ(e.GetItems()->size(), 0u) << "the copy's array is its own, even when the source's was empty";
}

// An item whose copy can be made to fail; the live ones are counted.
class CopyProbe : public Pelktest::Item {
 public:
  explicit CopyProbe(bool refuses) : refuses_(refuses) { ++live; }
  CopyProbe(const CopyProbe& other) : Pelktest::Item(other), refuses_(other.refuses_) { ++live; }
  ~CopyProbe() override { --live; }
  Zamli::Any* _Clone() const override {
    if (refuses_) throw Haldun::InvalidStateException("copy refused");
    return new CopyProbe(*this);
  }
  static inline int live = 0;

 private:
  bool refuses_;
};

// A copy that fails part way leaves nothing behind: what it copied before is
// released, and the blocks of the unfinished copies are freed (which the
// address sanitizer's leak check sees).
TEST(DataObjects, ACopyThatThrowsLeavesNothingBehind) {
  Everything holder;
  Zamli::DynamicArray mixed;
  for (bool refuses : {false, true}) {
    holder.GetItems()->Append(Ref<Pelktest::Item>(new CopyProbe(refuses)));
    mixed.AppendAny(holder.items->Get(refuses));
  }
  const int live = CopyProbe::live;
  const struct {
    const char* name;
    const Zamli::Any* source;
  } rows[] = {{"typed array", holder.items.Get()}, {"data object", &holder}, {"dynamic array", &mixed}};
  for (const auto& row : rows) {
    EXPECT_THROW(Ref<Zamli::Any>{row.source->_Clone()}, Haldun::InvalidStateException) << row.name;
    EXPECT_EQ(CopyProbe::live, live) << row.name << ": the first item's copy was left behind";
  }
  Ref<Zamli::Any> copy(holder.items->Get(0)->_Clone());
  EXPECT_EQ(CopyProbe::live, live + 1) << "the probe counts its copies";
}

// (What unset optionals and stale values compare as is DifferencesNameWhatDiffers'.)
TEST(DataObjects, OptionalValuesUnderEachFlag) {
  Everything a, b;
  a.maybeNumber = 5;
  EXPECT_TRUE(a._IsEqual(&b, true)) << "what the other side left unset matches";
  EXPECT_FALSE(b._IsEqual(&a, true)) << "an unset value never matches a set one";
  a.maybeText = "stale";
  a.maybeText.Unset();
  Ref<Zamli::Any> copy(a._Clone());
  EXPECT_FALSE(static_cast<Everything*>(copy.Get())->maybeText.IsSet());
  // Booleans: one byte, -1 unset.
  PelkTest::Slot slot;
  Records().getProperty(&a, IndexOf("maybeFlag"), &slot.byte);
  EXPECT_EQ(slot.byte, -1);
}

TEST(DataObjects, BasePropertiesComeFirst) {
  Pelktest::BusyFault x, y;
  y.retryAfter = 1;                                                  // its own
  x.reason = "r";                                                    // its base's
  x.faultCause = Ref<Zamli::MethodFault>(new Zamli::MethodFault());  // the root's
  EXPECT_EQ(Zamli::ListDifferences(x, y), (std::vector<std::string>{"faultCause", "reason", "retryAfter"}));
}

// A difference names the deepest property that differs, below arrays of
// objects too, and as a whole for arrays of plain values and references.
// NaN matches nothing, 0 matches -0, an instant matches itself in another
// zone, text is not case-folded, and a stale value behind an unset flag
// takes no part.
TEST(DataObjects, DifferencesNameWhatDiffers) {
  // Items by name, "" for a null one.
  auto items = [](Everything& e, auto... names) {
    (e.GetItems()->Append(*names ? NamedItem(names) : Ref<Pelktest::Item>()), ...);
  };
  auto texts = [](auto... t) { return Ref<Zamli::Array<std::string>>(new Zamli::Array<std::string>({t...})); };
  auto owner = [](const char* id) { return Ref<Zamli::MoRef>(new Zamli::MoRef("pelktest.Service", id)); };
  auto stale = [](Everything& e, const char* text, int number) {
    e.maybeText = text;
    e.maybeText.Unset();
    e.maybeNumber = number;
    e.maybeNumber.Unset();
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  using Haldun::System::DateTime;
  // What each side sets.
  using Set = std::function<void(Everything&)>;
  const Set none = [](auto&) {};
  const struct {
    Set a, b;
    std::vector<std::string> expected;
  } cases[] = {
      {[&](auto& e) { items(e, "x", "y"); }, [&](auto& e) { items(e, "x", "z"); }, {"items[1].name"}},
      {[&](auto& e) { items(e, "x", "y"); }, [&](auto& e) { items(e, "x"); }, {"items"}},
      {[&](auto& e) { items(e, "", "y"); }, [&](auto& e) { items(e, "x", "y"); }, {"items[0]"}},
      {[](auto& e) { e.GetItems(); }, none, {}},
      {[](auto& e) { e.item = NamedItem("x"); }, [](auto& e) { e.item = NamedItem("y"); }, {"item.name"}},
      {[](auto& e) { e.item = NamedItem("x"); }, none, {"item"}},
      {[&](auto& e) { e.texts = texts("x", "y"); }, [&](auto& e) { e.texts = texts("x", "z"); }, {"texts"}},
      {[](auto& e) { e.value = Zamli::Box(2); }, [](auto& e) { e.value = Zamli::Box(2L); }, {"value"}},
      {[](auto& e) { e.value = NamedItem("x"); }, [](auto& e) { e.value = NamedItem("y"); }, {"value.name"}},
      {[&](auto& e) { e.owner = owner("s-1"); }, [&](auto& e) { e.owner = owner("s-2"); }, {"owner"}},
      {[](auto& e) { e.maybeNumber = 5; }, none, {"maybeNumber"}},
      {[&](auto& e) { stale(e, "stale-a", 5); }, [&](auto& e) { stale(e, "stale-b", 6); }, {}},
      {[&](auto& e) { e.ratio = nan; }, [&](auto& e) { e.ratio = nan; }, {"ratio"}},
      {[](auto& e) { e.ratio = 0.0f; }, [](auto& e) { e.ratio = -0.0f; }, {}},
      {[](auto& e) { e.when = DateTime::ParseIso8601("2026-12-06T12:00:00+01:00"); },
       [](auto& e) { e.when = DateTime::ParseIso8601("2026-12-06T11:00:00Z"); },
       {}},
      {[](auto& e) { e.text = "Host"; }, [](auto& e) { e.text = "host"; }, {"text"}},
  };
  for (const auto& c : cases) {
    const auto row = &c - cases;
    Everything a, b;
    c.a(a);
    c.b(b);
    const std::vector<std::string>& expected = c.expected;
    EXPECT_EQ(Zamli::ListDifferences(a, b), expected) << "row " << row;
    EXPECT_EQ(a._IsEqual(&b, false), expected.empty()) << "row " << row;
    Zamli::PropertyDiffSet below;
    a._DiffProperties(&b, "p", below);
    std::vector<std::string> prefixed;
    for (const std::string& path : expected) prefixed.push_back("p." + path);
    EXPECT_EQ(below.GetChanged(), prefixed) << "row " << row;
  }
}

TEST(DataObjects, CopiesShareReferencesAndCloneObjects) {
  Everything a;
  a.owner = Ref<Zamli::MoRef>(new Zamli::MoRef("pelktest.Service", "s-1"));
  a.item = Ref<Pelktest::Item>(new Pelktest::Item());
  Everything b(a);
  EXPECT_EQ(b.owner, a.owner);
  EXPECT_EQ(a.owner->GetRefCount(), 2);
  ASSERT_NE(b.item, nullptr);
  EXPECT_NE(b.item, a.item);
  EXPECT_EQ(b.item->GetRefCount(), 1) << "a clone is held by its field alone";
  a.GetItems()->Append(Ref<Pelktest::Item>(new Pelktest::Item()));
  Everything c(a);
  ASSERT_EQ(c.GetItems()->size(), 1u);
  EXPECT_NE(c.GetItems()->Get(0), a.GetItems()->Get(0));
  EXPECT_EQ(c.GetItems()->Get(0)->GetRefCount(), 1) << "so is a cloned element, by its array";
  b.item->name = "changed";
  EXPECT_EQ(a.item->name, "") << "changing the copy leaves the source alone";
}

TEST(DataObjects, WrongClassesAreRejectedAndLeaveTheOldValue) {
  Everything e;
  auto item = Ref<Pelktest::Item>(new Pelktest::Item());
  e.item = item;
  Ref<Zamli::Any> ref(new Zamli::MoRef("pelktest.Service", "s-1"));
  Zamli::Any* raw = ref.Get();
  const auto error =
      PelkTest::Thrown<Haldun::TypeMismatchException>([&] { Records().setProperty(&e, IndexOf("item"), &raw); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->GetExpected(), "Pelktest::Item");
  EXPECT_EQ(error->GetActual(), "Zamli::MoRef");
  EXPECT_EQ(e.item, item);
  raw = nullptr;
  Records().setProperty(&e, IndexOf("item"), &raw);
  EXPECT_EQ(e.item, nullptr);
  EXPECT_FALSE(Records().isPropertySet(&e, IndexOf("item")));

  // An untyped append to a typed array tests the class the same way.
  Zamli::DataArray<Pelktest::Item> items;
  const auto appended = PelkTest::Thrown<Haldun::TypeMismatchException>([&] { items.AppendAny(ref.Get()); });
  ASSERT_TRUE(appended);
  EXPECT_EQ(appended->GetExpected(), "Pelktest::Item");
  EXPECT_EQ(appended->GetActual(), "Zamli::MoRef");
  items.AppendAny(item.Get());
  items.AppendAny(nullptr);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], item.Get());
  EXPECT_EQ(items[1], nullptr);
}

TEST(DataObjects, SwapHandsOverValueAndFlag) {
  Everything e;
  e.maybeText = "mine";
  Haldun::Optional<std::string> caller;
  Records().swapProperty(&e, IndexOf("maybeText"), &caller);
  EXPECT_FALSE(e.maybeText.IsSet());
  ASSERT_TRUE(caller.IsSet());
  EXPECT_EQ(caller.GetValue(), "mine");
  e.maybeNumber = 9;
  Records().unsetProperty(&e, IndexOf("maybeNumber"));
  int stale = 0;
  Records().getProperty(&e, IndexOf("maybeNumber"), &stale);
  EXPECT_EQ(stale, 9) << "unset leaves the value behind";
  EXPECT_EQ(Records().getPropertyAddr(&e, IndexOf("maybeNumber")), nullptr);
}

TEST(DataObjects, ToStringMasksSecretsAndLeavesOutUnsetOptionals) {
  Everything e;
  e.text = "proxy.example";
  e.password = "hunter2";
  std::string text = e.ToString();
  EXPECT_NE(text.find("(pelktest.Everything) {"), std::string::npos) << text;
  EXPECT_NE(text.find("text = \"proxy.example\""), std::string::npos) << text;
  EXPECT_NE(text.find("password = ********"), std::string::npos) << text;
  EXPECT_EQ(text.find("hunter2"), std::string::npos) << text;
  EXPECT_EQ(text.find("maybeNumber"), std::string::npos) << text;
  // The whole workload tree prints, nested and indented.
  std::string tree = PelkTest::ValueFiller().Build(PelkTest::WorkloadRootType())->ToString();
  EXPECT_NE(tree.find("\n      status = \"status-0\","), std::string::npos) << tree.substr(0, 400);
}

TEST(DataObjects, TheWorkloadTreesDifferInTheirEightyFivePaths) {
  PelkTest::ValueFiller filler;
  Ref<Zamli::DynamicData> a = filler.Build(PelkTest::WorkloadRootType());
  EXPECT_EQ(filler.Objects(), 1340);
  EXPECT_EQ(filler.Counter(), 8459);
  PelkTest::FillOptions options;
  options.changed = [](long c) { return c % 100 == 37; };
  Ref<Zamli::DynamicData> b = PelkTest::ValueFiller(options).Build(PelkTest::WorkloadRootType());
  std::vector<std::string> diffs = Zamli::ListDifferences(*a, *b);
  ASSERT_EQ(diffs.size(), 85u);
  EXPECT_EQ(diffs[0], "clusterVersions.hostResults[3].version");
}

TEST(ValueClasses, ArraysAndBoxes) {
  Zamli::Array<int> ints, empty;
  ints.Append(0);
  ints.Append(2);
  Ref<Zamli::Any> intBox = Zamli::Box(2);
  EXPECT_FALSE(ints._IsEqual(intBox.Get(), false)) << "an array and a box are unequal, without an error";
  EXPECT_FALSE(ints._IsEqual(nullptr, false));
  EXPECT_FALSE(ints._IsEqual(&empty, false));
  EXPECT_TRUE(empty._IsEqual(Ref<Zamli::Any>(new Zamli::Array<int>()).Get(), false));
  Zamli::PropertyDiffSet diffs;
  empty._DiffProperties(&ints, "p.list", diffs);
  EXPECT_EQ(diffs.GetChanged(), std::vector<std::string>{"p.list"});
  Ref<Zamli::Any> clone(ints._Clone());
  EXPECT_NE(clone.Get(), &ints);
  EXPECT_TRUE(clone->_IsEqual(&ints, false));

  Ref<Zamli::Any> nan = Zamli::Box(std::numeric_limits<float>::quiet_NaN());
  EXPECT_FALSE(nan->_IsEqual(nan.Get(), false));
  EXPECT_EQ(intBox->_Clone(), intBox.Get()) << "boxes are shared, not copied";
  EXPECT_THROW(intBox->_IsEqual(Zamli::Box(std::string("2")).Get(), false), Haldun::TypeMismatchException);
  EXPECT_EQ(Zamli::Box(true).Get(), Zamli::Primitive<bool>::Factory::sTrue);
  EXPECT_EQ(Zamli::NarrowTo<Zamli::MoRef>(static_cast<Zamli::Any*>(nullptr)), nullptr);
  EXPECT_FALSE(Zamli::AreEqual(intBox.Get(), Zamli::Box(2L).Get())) << "different classes";

  // An enumeration box differs as a whole or not at all.
  Zamli::Primitive<Pelktest::Color> blue(Zamli::EnumFromTag<Pelktest::Color>("blue"));
  Zamli::Primitive<Pelktest::Color> red(Zamli::EnumFromTag<Pelktest::Color>("red"));
  Zamli::PropertyDiffSet colorDiffs;
  blue._DiffProperties(&blue, "p.same", colorDiffs);
  blue._DiffProperties(&red, "p.color", colorDiffs);
  EXPECT_EQ(colorDiffs.GetChanged(), std::vector<std::string>{"p.color"});
}

// Every kind of array reads the same way: size, empty, range-for, indexing
// and the standard algorithms over begin and end all see the same elements.
std::string Token(const Pelktest::Item* item) { return item ? item->name : "null"; }
std::string Token(const Zamli::MoRef* ref) { return ref->GetId(); }
std::string Token(int value) { return std::to_string(value); }
std::string Token(const std::string& value) { return value; }
std::string Token(Pelktest::Color value) { return Zamli::TagOf(value); }

template <class A>
std::vector<std::string> ReadEveryWay(const A& array) {
  std::vector<std::string> viaFor, viaIndex, viaAlgorithm;
  for (const auto& element : array) viaFor.push_back(Token(element));
  for (size_t i = 0; i < array.size(); ++i) viaIndex.push_back(Token(array[i]));
  std::transform(array.begin(), array.end(), std::back_inserter(viaAlgorithm),
                 [](const auto& element) { return Token(element); });
  EXPECT_EQ(viaIndex, viaFor);
  EXPECT_EQ(viaAlgorithm, viaFor);
  EXPECT_EQ(array.empty(), viaFor.empty());
  EXPECT_EQ(std::distance(array.begin(), array.end()), static_cast<std::ptrdiff_t>(array.size()));
  if (!array.empty()) {
    EXPECT_EQ(std::find(array.begin(), array.end(), array[array.size() - 1]), array.end() - 1);
  }
  return viaFor;
}

TEST(ValueClasses, EveryKindOfArrayIsARange) {
  using Tokens = std::vector<std::string>;
  Zamli::DataArray<Pelktest::Item> items;
  for (const char* name : {"a", "", "c"}) items.Append(*name ? NamedItem(name) : Ref<Pelktest::Item>());
  EXPECT_EQ(ReadEveryWay(items), (Tokens{"a", "null", "c"})) << "data objects, one null";
  Zamli::DataArray<Zamli::MoRef> refs;
  for (const char* id : {"s-1", "s-2"}) refs.Append(Ref<Zamli::MoRef>(new Zamli::MoRef("pelktest.Service", id)));
  EXPECT_EQ(ReadEveryWay(refs), (Tokens{"s-1", "s-2"})) << "managed object references";
  EXPECT_EQ(ReadEveryWay(Zamli::Array<int>({0, 2, 7})), (Tokens{"0", "2", "7"}));
  EXPECT_EQ(ReadEveryWay(Zamli::Array<std::string>({"p", "q"})), (Tokens{"p", "q"}));
  Zamli::Array<Pelktest::Color> colors;
  for (const char* tag : {"blue", "red"}) colors.Append(Zamli::EnumFromTag<Pelktest::Color>(tag));
  EXPECT_EQ(ReadEveryWay(colors), (Tokens{"blue", "red"})) << "enumeration values";
  EXPECT_EQ(ReadEveryWay(Zamli::DataArray<Pelktest::Item>()), Tokens{}) << "empty data objects";
  EXPECT_EQ(ReadEveryWay(Zamli::Array<Pelktest::Color>()), Tokens{}) << "empty enumeration values";
}

// A copy made on a thread that has just released an array of the same
// length takes over the released array's storage, strings and all: it holds
// its own source's values whatever the released one held, and shares
// nothing with its source.
TEST(ValueClasses, CopiesHoldTheirOwnValuesInStorageOthersReleased) {
  const std::string inBuffer(20, 'h'), longer(40, 'x');
  struct Row {
    std::vector<std::string> released, copied;
  } rows[] = {
      {{longer, longer}, {"a", inBuffer}},
      {{"a", "b"}, {longer, inBuffer}},
      {{inBuffer, longer, ""}, {"", inBuffer, longer}},
  };
  for (const Row& row : rows) {
    Ref<Zamli::Any>(Zamli::Array<std::string>(row.released)._Clone()).Reset();
    Zamli::Array<std::string> source(row.copied);
    Ref<Zamli::Any> copy(source._Clone());
    auto& values = static_cast<Zamli::Array<std::string>*>(copy.Get())->GetValues();
    EXPECT_EQ(values, row.copied) << "row " << &row - rows;
    values[0] += "!";
    EXPECT_EQ(source.GetValues(), row.copied) << "row " << &row - rows;
  }
  for (const char* released : {"a", "b"}) {
    Zamli::DataArray<Pelktest::Item> items;
    items.Append(NamedItem(released));
    items.Append(NamedItem(released));
    Ref<Zamli::Any>(items._Clone()).Reset();
  }
  Zamli::DataArray<Pelktest::Item> source;
  source.Append(NamedItem("c"));
  source.Append(NamedItem("d"));
  Ref<Zamli::Any> copy(source._Clone());
  auto* items = static_cast<Zamli::DataArray<Pelktest::Item>*>(copy.Get());
  ASSERT_EQ(items->size(), 2u);
  EXPECT_EQ(Token((*items)[0]), "c");
  EXPECT_EQ(Token((*items)[1]), "d");
  EXPECT_EQ((*items)[0]->GetRefCount(), 1);
}

}  // namespace
