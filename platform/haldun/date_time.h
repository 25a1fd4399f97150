#pragma once

#include <haldun/export.h>

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace Haldun::System {

// An instant (microseconds since 1970-01-01T00:00:00Z) plus the zone offset
// it was written with, so that formatting gives back the original local time.
// The calendar is proleptic Gregorian over the whole int64 range.
class HALDUN_EXPORT DateTime {
 public:
  static constexpr int kMaxOffsetMinutes = 14 * 60;

  // The epoch, UTC.
  constexpr DateTime() noexcept = default;

  static DateTime GetUtcTime();

  // Throws InvalidArgumentException if |offsetMinutes| exceeds 14:00.
  static DateTime FromMicroseconds(int64_t microseconds, int offsetMinutes = 0);

  // Accepts YYYY-MM-DDThh:mm:ss[.f{1,9}][Z|+hh:mm|-hh:mm], years 0001-9999;
  // no zone means UTC. Digits past microseconds are truncated. Throws
  // InvalidArgumentException naming the text otherwise.
  static DateTime ParseIso8601(std::string_view text);

  int64_t GetMicroseconds() const noexcept { return microseconds_; }
  int GetOffsetMinutes() const noexcept { return offsetMinutes_; }

  // "2026-12-06T02:45:26.123456Z"; the fraction only when non-zero, "+hh:mm"
  // when the offset is not 0. Years outside 0000-9999 get a sign (ISO
  // expanded form), which ParseIso8601 does not accept.
  std::string ToIso8601() const;

  // Same instant is equal whatever the offset, hence a weak ordering.
  friend bool operator==(const DateTime& a, const DateTime& b) noexcept { return a.microseconds_ == b.microseconds_; }

  friend std::weak_ordering operator<=>(const DateTime& a, const DateTime& b) noexcept {
    return a.microseconds_ <=> b.microseconds_;
  }

 private:
  constexpr DateTime(int64_t microseconds, int16_t offsetMinutes) noexcept
      : microseconds_(microseconds), offsetMinutes_(offsetMinutes) {}

  int64_t microseconds_ = 0;
  int16_t offsetMinutes_ = 0;
};

// A proleptic Gregorian date.
struct CivilDate {
  int64_t year;
  int month;
  int day;
};

// The date of a count of days since 1970-01-01 (in 400-year eras starting
// in March, so leap days fall at the end of each year).
constexpr CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  return {yearOfEra + era * 400 + (month <= 2), month, day};
}

}  // namespace Haldun::System
