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

}  // namespace Haldun::System
