#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <haldun/date_time.h>
#include <haldun/exception.h>
#include <haldun/object_impl.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <haldun/ref_hash.h>
#include <thrown.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

using namespace Haldun;
using Haldun::System::DateTime;
using ::testing::HasSubstr;

namespace HaldunTest {
struct Expected {};
struct Actual {};
}  // namespace HaldunTest

namespace {

// Counts its destructions so tests can see exactly when the last Ref lets go.
class Tracked : public ObjectImpl {
 public:
  explicit Tracked(int* destroyed = nullptr, int value = 0) : destroyed_(destroyed), value_(value) {}
  ~Tracked() override {
    if (destroyed_) ++*destroyed_;
  }
  int* destroyed_;
  int value_;
  int perThread_[4] = {};
  Ref<Tracked> child_;
};

class Derived : public Tracked {
  using Tracked::Tracked;
};

// ---- ObjectImpl / Ref -------------------------------------------------------

TEST(RefTest, CountsBalanceAndTheLastRefDeletes) {
  int destroyed = 0;
  auto* raw = new Tracked(&destroyed, 1);
  EXPECT_EQ(raw->GetRefCount(), 0);
  {
    Ref<Tracked> a(raw);
    Ref<Tracked>& alias = a;
    a = alias;
    a = std::move(alias);
    ASSERT_TRUE(a);
    EXPECT_EQ(raw->GetRefCount(), 1) << "the sole owner assigned to itself";
    Ref<Tracked> b = a;
    Ref<Tracked> c = std::move(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(raw->GetRefCount(), 2);
    a.Reset();
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
  Ref<Tracked> a = MakeRef<Tracked>(&destroyed, 2);
  Ref<Tracked> b = MakeRef<Tracked>(&destroyed, 3);
  a = b;
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(b->GetRefCount(), 2);
  a = std::move(b);
  EXPECT_EQ(a->GetRefCount(), 1);
  EXPECT_EQ((*a).value_, 3);
  a.Reset(new Tracked(&destroyed, 4));
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(a->GetRefCount(), 1);
}

// The new target is owned only by the old one: releasing first would free it.
TEST(RefTest, AssignFromObjectOwnedByOldTarget) {
  int destroyed = 0;
  Ref<Tracked> r = MakeRef<Tracked>(&destroyed, 1);
  r->child_ = MakeRef<Tracked>(&destroyed, 2);
  r = r->child_;
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(r->value_, 2);
  EXPECT_EQ(r->GetRefCount(), 1);
}

TEST(RefTest, CopyOfObjectStartsAtZero) {
  Ref<Tracked> original = MakeRef<Tracked>(nullptr, 7);
  Tracked copy(*original);
  EXPECT_EQ(copy.GetRefCount(), 0);
  EXPECT_EQ(copy.value_, 7);
  Ref<Tracked> other = MakeRef<Tracked>();
  *other = *original;
  EXPECT_EQ(other->GetRefCount(), 1);
  EXPECT_EQ(original->GetRefCount(), 1);
}

TEST(RefTest, ConversionComparisonAndHash) {
  static_assert(std::is_convertible_v<Ref<Derived>, Ref<Tracked>>);
  static_assert(!std::is_convertible_v<Ref<Tracked>, Ref<Derived>>);
  static_assert(!std::is_convertible_v<Tracked*, Ref<Tracked>>);

  Ref<Derived> derived = MakeRef<Derived>();
  Ref<Tracked> base = derived;
  EXPECT_EQ(derived->GetRefCount(), 2);
  EXPECT_TRUE(base == derived && derived == base);
  EXPECT_TRUE(base == derived.Get() && derived.Get() == base);
  EXPECT_TRUE(base != nullptr && nullptr != base);
  Ref<const Tracked> moved = std::move(base);
  EXPECT_EQ(derived->GetRefCount(), 2);
  EXPECT_FALSE(base);
  EXPECT_TRUE(base == nullptr && moved != base);

  std::unordered_set<Ref<Tracked>> set{Ref<Tracked>(derived)};
  EXPECT_EQ(set.count(Ref<Tracked>(derived)), 1u);
  EXPECT_EQ(set.count(MakeRef<Tracked>()), 0u);
}

// Workers hold the last counts; the one that deletes must see every other
// worker's plain writes (TSan checks the ordering DecRef provides).
TEST(RefTest, ConcurrentCountingBalances) {
  int destroyed = 0;
  std::atomic<bool> go{false};
  Ref<Tracked> shared = MakeRef<Tracked>(&destroyed);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([held = shared, t, &go]() mutable {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < 20000; ++i) {
        held->IncRef();
        Ref<Tracked> copy = held;
        held->DecRef();
      }
      held->perThread_[t] = 1;
      held.Reset();
    });
  }
  EXPECT_EQ(shared->GetRefCount(), 5);
  shared.Reset();
  go = true;
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(destroyed, 1);
}

// ---- Optional ---------------------------------------------------------------

TEST(OptionalTest, SetUnsetAndStaleValue) {
  Optional<std::string> value;
  EXPECT_FALSE(value.IsSet());
  EXPECT_THROW(value.GetValue(), InvalidStateException);
  EXPECT_THROW(std::as_const(value).GetValue(), InvalidStateException);
  value = std::string("a");
  value.GetValue() += "b";
  EXPECT_EQ(std::as_const(value).GetValue(), "ab");
  value.Unset();
  EXPECT_FALSE(value.IsSet());
  EXPECT_EQ(value.ValueOr("fallback"), "fallback");
  EXPECT_THROW(value.GetValue(), InvalidStateException);
  // An unset optional with a stale value equals one that was never set.
  Optional<int> stale = 3;
  stale.Unset();
  const struct {
    Optional<int> a, b;
    bool equal;
  } cases[] = {{{}, {}, true}, {stale, {}, true}, {{}, 0, false}, {0, {}, false}, {1, 1, true}, {1, 2, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal) << c.a.ValueOr(-1) << " vs " << c.b.ValueOr(-1);
    EXPECT_EQ(c.a != c.b, !c.equal);
  }
}

TEST(OptionalTest, BoolIsOneSignedByte) {
  static_assert(!std::is_constructible_v<Optional<bool>, int>);
  static_assert(!std::is_constructible_v<Optional<bool>, const char*>);
  Optional<bool> unsetAgain = true;
  unsetAgain.Unset();
  const struct {
    Optional<bool> value;
    signed char byte;
  } cases[] = {{{}, -1}, {false, 0}, {true, 1}, {unsetAgain, -1}};
  for (const auto& c : cases) {
    signed char byte;
    std::memcpy(&byte, &c.value, 1);
    EXPECT_EQ(byte, c.byte);
    EXPECT_EQ(c.value.IsSet(), c.byte >= 0);
    EXPECT_EQ(c.value.ValueOr(false), c.byte == 1);
    EXPECT_EQ(c.value.ValueOr(true), c.byte != 0);
    if (c.byte >= 0)
      EXPECT_EQ(c.value.GetValue(), c.byte == 1);
    else
      EXPECT_THROW(c.value.GetValue(), InvalidStateException);
    EXPECT_EQ(c.value == Optional<bool>(), c.byte < 0);
  }
  EXPECT_NE(Optional<bool>(true), Optional<bool>(false));
}

// ---- Exceptions ---------------------------------------------------------------

template <class E>
class ThrowableTest : public ::testing::Test {};

using ThrowableTypes = ::testing::Types<Throwable, Exception, TypeMismatchException, InvalidArgumentException,
                                        InvalidStateException, NotFoundException, OutOfRangeException>;
TYPED_TEST_SUITE(ThrowableTest, ThrowableTypes);

TYPED_TEST(ThrowableTest, KeepsDynamicClass) {
  if constexpr (!std::is_same_v<TypeParam, Throwable>) static_assert(std::is_base_of_v<Exception, TypeParam>);
  const TypeParam sample = [] {
    if constexpr (std::is_same_v<TypeParam, TypeMismatchException>)
      return TypeParam("A", "B");
    else
      return TypeParam("boom");
  }();
  const Throwable& base = sample;
  EXPECT_THAT(base.Where(), HasSubstr("haldun_test.cc:"));
  EXPECT_THAT(base.Dump(), HasSubstr(Demangle(typeid(TypeParam)) + ": " + sample.what()));

  std::unique_ptr<Throwable> clone(base.Clone());
  const Throwable& cloned = *clone;
  EXPECT_EQ(typeid(cloned), typeid(TypeParam));
  EXPECT_STREQ(clone->what(), sample.what());
  EXPECT_EQ(clone->Where(), sample.Where());

  try {
    clone->Throw();
    ADD_FAILURE() << "nothing thrown";
  } catch (const TypeParam& e) {
    EXPECT_EQ(typeid(e), typeid(TypeParam));
    EXPECT_STREQ(e.what(), sample.what());
  }
}

TEST(ExceptionTest, TypeMismatchNamesBothClasses) {
  const auto e = PelkTest::Thrown<TypeMismatchException>(
      [] { ThrowTypeMismatchException(typeid(HaldunTest::Expected), typeid(HaldunTest::Actual)); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "type mismatch: expected HaldunTest::Expected, got HaldunTest::Actual");
  EXPECT_EQ(e->GetExpected(), "HaldunTest::Expected");
  EXPECT_EQ(e->GetActual(), "HaldunTest::Actual");
  EXPECT_THAT(e->Where(), HasSubstr("haldun_test.cc:"));
}

TEST(ExceptionTest, Demangle) {
  EXPECT_THAT(Demangle(typeid(std::string)), HasSubstr("basic_string<char"));
  EXPECT_EQ(Demangle(typeid(int)), "int");
  EXPECT_EQ(Demangle("not a mangled name"), "not a mangled name");
}

// ---- DateTime -------------------------------------------------------------------

TEST(DateTimeTest, ParseAndFormat) {
  struct Case {
    const char* text;
    int64_t micros;
    int offset;
    const char* formatted;
  };
  const Case cases[] = {
      {"1970-01-01T00:00:00Z", 0, 0, "1970-01-01T00:00:00Z"},
      {"1970-01-01T00:00:00", 0, 0, "1970-01-01T00:00:00Z"},
      {"1969-12-31T23:59:59.999999Z", -1, 0, "1969-12-31T23:59:59.999999Z"},
      {"2026-12-06T02:45:26.123456Z", 1796525126123456, 0, "2026-12-06T02:45:26.123456Z"},
      {"2026-12-06T02:45:26.123456789Z", 1796525126123456, 0, "2026-12-06T02:45:26.123456Z"},
      {"2026-12-06T02:45:26.000Z", 1796525126000000, 0, "2026-12-06T02:45:26Z"},
      {"2024-03-10T08:30:00.5-05:30", 1710079200500000, -330, "2024-03-10T08:30:00.500000-05:30"},
      {"2000-02-29T12:00:00+01:00", 951822000000000, 60, "2000-02-29T12:00:00+01:00"},
      {"2000-02-29T12:00:00-00:00", 951825600000000, 0, "2000-02-29T12:00:00Z"},
      {"1600-02-29T00:00:00Z", -11670998400000000, 0, "1600-02-29T00:00:00Z"},
      {"0001-01-01T00:00:00Z", -62135596800000000, 0, "0001-01-01T00:00:00Z"},
      {"0001-01-01T00:00:00+14:00", -62135647200000000, 840, "0001-01-01T00:00:00+14:00"},
      {"9999-12-31T23:59:59.999999Z", 253402300799999999, 0, "9999-12-31T23:59:59.999999Z"},
      {"9999-12-31T23:59:59-14:00", 253402351199000000, -840, "9999-12-31T23:59:59-14:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const DateTime parsed = DateTime::ParseIso8601(c.text);
    EXPECT_EQ(parsed.GetMicroseconds(), c.micros);
    EXPECT_EQ(parsed.GetOffsetMinutes(), c.offset);
    EXPECT_EQ(parsed.ToIso8601(), c.formatted);
    EXPECT_EQ(DateTime::FromMicroseconds(c.micros, c.offset).ToIso8601(), c.formatted);
  }
}

TEST(DateTimeTest, RejectsMalformed) {
  const char* const cases[] = {
      "",
      "2026-12-06",
      "2026-12-06T02:45",
      "2026-12-06 02:45:26Z",
      "2026-12-06t02:45:26Z",
      "2026-12-6T02:45:26Z",
      "12026-12-06T02:45:26Z",
      "0000-01-01T00:00:00Z",
      "2026-00-01T00:00:00Z",
      "2026-13-01T00:00:00Z",
      "2026-04-31T00:00:00Z",
      "2026-02-29T00:00:00Z",
      "1900-02-29T00:00:00Z",
      "2026-02-30T00:00:00Z",
      "2026-01-00T00:00:00Z",
      "2026-01-01T24:00:00Z",
      "2026-01-01T23:60:00Z",
      "2026-01-01T23:59:60Z",
      "2026-01-01T00:00:00.Z",
      "2026-01-01T00:00:00.1234567890Z",
      "2026-01-01T00:00:00+14:01",
      "2026-01-01T00:00:00-15:00",
      "2026-01-01T00:00:00+01:60",
      "2026-01-01T00:00:00+0100",
      "2026-01-01T00:00:00+01",
      "2026-01-01T00:00:00Z ",
      "2026-01-01T00:00:00ZZ",
      "2026-01-01T00:00:00UTC",
      "2026-01-01T0a:00:00Z",
  };
  for (const char* text : cases) {
    if (auto e = PelkTest::Thrown<InvalidArgumentException>([&] { DateTime::ParseIso8601(text); }, text)) {
      EXPECT_THAT(e->what(), HasSubstr(std::string("\"") + text + "\"")) << text;
    }
  }
}

TEST(DateTimeTest, EqualityIsByInstant) {
  const DateTime local = DateTime::ParseIso8601("2026-01-01T12:00:00+01:00");
  const DateTime utc = DateTime::ParseIso8601("2026-01-01T11:00:00Z");
  EXPECT_EQ(local, utc);
  EXPECT_NE(local.GetOffsetMinutes(), utc.GetOffsetMinutes());
  EXPECT_TRUE(local <= utc && local >= utc);
  const DateTime later = DateTime::ParseIso8601("2026-01-01T12:30:00+01:00");
  EXPECT_TRUE(later > utc && utc < later && later != utc);
}

TEST(DateTimeTest, RangeEdges) {
  EXPECT_THROW(DateTime::FromMicroseconds(0, 841), InvalidArgumentException);
  EXPECT_THROW(DateTime::FromMicroseconds(0, -841), InvalidArgumentException);
  EXPECT_EQ(DateTime::FromMicroseconds(253402300800000000).ToIso8601(), "+10000-01-01T00:00:00Z");
  EXPECT_EQ(DateTime::FromMicroseconds(-62135596800000001).ToIso8601(), "0000-12-31T23:59:59.999999Z");
  // Must not overflow (checked under UBSan) at the ends of the range.
  EXPECT_EQ(DateTime::FromMicroseconds(INT64_MIN, -840).ToIso8601()[0], '-');
  EXPECT_EQ(DateTime::FromMicroseconds(INT64_MAX, 840).ToIso8601()[0], '+');
}

TEST(DateTimeTest, UtcNowMatchesSystemClock) {
  using namespace std::chrono;
  const auto before = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  const DateTime now = DateTime::GetUtcTime();
  const auto after = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  EXPECT_GE(now.GetMicroseconds(), before);
  EXPECT_LE(now.GetMicroseconds(), after);
  EXPECT_EQ(now.GetOffsetMinutes(), 0);
}

}  // namespace
