#include <haldun/date_time.h>
#include <haldun/exception.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace Haldun::System {

namespace {

constexpr int64_t kMicrosPerSecond = 1'000'000;
constexpr int64_t kMicrosPerMinute = 60 * kMicrosPerSecond;
constexpr int64_t kMicrosPerDay = 86'400 * kMicrosPerSecond;

// Days since 1970-01-01 for a proleptic Gregorian date. Counts in 400-year
// eras starting in March so leap days fall at the end of each year.
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(DaysFromCivil(1, 1, 1) == -719162);
static_assert(CivilFromDays(-719162).year == 1);

constexpr bool IsLeapYear(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

constexpr int DaysInMonth(int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Strict left-to-right reader; every failure names the whole input.
class Iso8601Reader {
 public:
  explicit Iso8601Reader(std::string_view text) : text_(text) {}

  [[noreturn]] void Fail(const char* reason) const {
    throw InvalidArgumentException("invalid ISO 8601 date-time \"" + std::string(text_) + "\": " + reason);
  }

  bool AtEnd() const { return pos_ == text_.size(); }

  bool Peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

  bool Accept(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }

  void Expect(char c, const char* reason) {
    if (!Accept(c)) Fail(reason);
  }

  // Exactly `count` ASCII digits; isdigit() would depend on the locale.
  int Number(int count, const char* reason) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
      if (!IsDigit()) Fail(reason);
      value = value * 10 + (text_[pos_++] - '0');
    }
    return value;
  }

  // 1-9 fraction digits, scaled to microseconds (extra digits truncated).
  int64_t Fraction() {
    int64_t micros = 0;
    int digits = 0;
    for (; IsDigit(); ++digits, ++pos_) {
      if (digits < 6) micros = micros * 10 + (text_[pos_] - '0');
    }
    if (digits == 0 || digits > 9) Fail("fraction must have 1 to 9 digits");
    for (int i = digits; i < 6; ++i) micros *= 10;
    return micros;
  }

 private:
  bool IsDigit() const { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; }

  std::string_view text_;
  size_t pos_ = 0;
};

void AppendDigits(std::string& out, int64_t value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
  out += buffer;
}

}  // namespace

DateTime DateTime::GetUtcTime() {
  // system_clock counts Unix time (no leap seconds), as this class does.
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return DateTime(std::chrono::duration_cast<std::chrono::microseconds>(now).count(), 0);
}

DateTime DateTime::FromMicroseconds(int64_t microseconds, int offsetMinutes) {
  if (offsetMinutes < -kMaxOffsetMinutes || offsetMinutes > kMaxOffsetMinutes)
    throw InvalidArgumentException("zone offset out of range: " + std::to_string(offsetMinutes) + " minutes");
  return DateTime(microseconds, static_cast<int16_t>(offsetMinutes));
}

DateTime DateTime::ParseIso8601(std::string_view text) {
  Iso8601Reader in(text);
  const int year = in.Number(4, "expected a 4-digit year");
  in.Expect('-', "expected '-' after the year");
  const int month = in.Number(2, "expected a 2-digit month");
  in.Expect('-', "expected '-' after the month");
  const int day = in.Number(2, "expected a 2-digit day");
  in.Expect('T', "expected 'T' between date and time");
  const int hour = in.Number(2, "expected a 2-digit hour");
  in.Expect(':', "expected ':' after the hour");
  const int minute = in.Number(2, "expected 2-digit minutes");
  in.Expect(':', "expected ':' after the minutes");
  const int second = in.Number(2, "expected 2-digit seconds");
  const int64_t fraction = in.Accept('.') ? in.Fraction() : 0;

  int offset = 0;
  if (in.Accept('Z')) {
  } else if (in.Peek('+') || in.Peek('-')) {
    const int sign = in.Accept('-') ? -1 : 1;
    if (sign > 0) in.Expect('+', "expected '+' or '-' before the zone offset");
    const int offsetHours = in.Number(2, "expected 2-digit offset hours");
    in.Expect(':', "expected ':' in the zone offset");
    const int offsetMinutes = in.Number(2, "expected 2-digit offset minutes");
    if (offsetMinutes > 59 || offsetHours * 60 + offsetMinutes > kMaxOffsetMinutes) in.Fail("zone offset out of range");
    offset = sign * (offsetHours * 60 + offsetMinutes);
  }
  if (!in.AtEnd()) in.Fail("unexpected trailing characters");

  if (year < 1) in.Fail("year out of range");
  if (month < 1 || month > 12) in.Fail("month out of range");
  if (day < 1 || day > DaysInMonth(year, month)) in.Fail("day out of range");
  if (hour > 23 || minute > 59 || second > 59) in.Fail("time of day out of range");

  const int64_t local = DaysFromCivil(year, month, day) * kMicrosPerDay +
                        ((hour * 60 + minute) * 60 + second) * kMicrosPerSecond + fraction;
  return DateTime(local - offset * kMicrosPerMinute, static_cast<int16_t>(offset));
}

std::string DateTime::ToIso8601() const {
  // Split before applying the offset: adding it to the raw count could
  // overflow near the ends of the int64 range.
  int64_t days = microseconds_ / kMicrosPerDay;
  int64_t timeOfDay = microseconds_ % kMicrosPerDay + offsetMinutes_ * kMicrosPerMinute;
  if (timeOfDay < 0) {
    timeOfDay += kMicrosPerDay;
    --days;
  } else if (timeOfDay >= kMicrosPerDay) {
    timeOfDay -= kMicrosPerDay;
    ++days;
  }
  const CivilDate date = CivilFromDays(days);

  std::string out;
  out.reserve(40);
  if (date.year > 9999) out += '+';
  AppendDigits(out, date.year, date.year < 0 ? 5 : 4);
  out += '-';
  AppendDigits(out, date.month, 2);
  out += '-';
  AppendDigits(out, date.day, 2);
  out += 'T';
  const int64_t seconds = timeOfDay / kMicrosPerSecond;
  AppendDigits(out, seconds / 3600, 2);
  out += ':';
  AppendDigits(out, seconds / 60 % 60, 2);
  out += ':';
  AppendDigits(out, seconds % 60, 2);
  if (const int64_t fraction = timeOfDay % kMicrosPerSecond; fraction != 0) {
    out += '.';
    AppendDigits(out, fraction, 6);
  }
  if (offsetMinutes_ == 0) {
    out += 'Z';
  } else {
    const int magnitude = std::abs(offsetMinutes_);
    out += offsetMinutes_ < 0 ? '-' : '+';
    AppendDigits(out, magnitude / 60, 2);
    out += ':';
    AppendDigits(out, magnitude % 60, 2);
  }
  return out;
}

}  // namespace Haldun::System
