#include <haldun/date_time.h>
#include <haldun/exception.h>
#include <zamli/wire/byte_scan.h>
#include <zamli/wire/scalars.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace Zamli::Wire {

size_t FormatFloat(float value, char* text) {
  std::string_view special = std::isnan(value) ? "NaN" : !std::isinf(value) ? "" : value > 0 ? "INF" : "-INF";
  if (!special.empty()) return special.copy(text, special.size());
  return std::to_chars(text, text + kFloatChars, value).ptr - text;
}

void AppendFloat(std::string& out, float value) {
  char text[kFloatChars];
  out.append(text, FormatFloat(value, text));
}

bool ParseFloat(std::string_view text, float& value) {
  if (text == "NaN") {
    value = std::numeric_limits<float>::quiet_NaN();
    return true;
  }
  if (text == "INF") {
    value = std::numeric_limits<float>::infinity();
    return true;
  }
  if (text == "-INF") {
    value = -std::numeric_limits<float>::infinity();
    return true;
  }
  if (text.empty() || text.front() == '+') return false;
  // Read as a float: through a double, a text near the middle of two floats
  // could round twice and land on the wrong one.
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, value);
  if (result.ptr != end) return false;
  if (result.ec == std::errc()) return true;
  if (result.ec != std::errc::result_out_of_range) return false;
  // Out of range: too small for a float is read as the nearest one (zero or
  // the smallest), too large is refused.
  double d = 0;
  result = std::from_chars(text.data(), end, d);
  if (result.ec != std::errc() || result.ptr != end || std::fabs(d) >= 1) return false;
  value = static_cast<float>(d);
  return true;
}

void AppendInteger(std::string& out, int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t& value) {
  if (text.empty() || text.front() == '+') return false;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && value >= min && value <= max;
}

bool ParseBool(std::string_view text, bool& value) {
  if (text == "true" || text == "1") {
    value = true;
    return true;
  }
  if (text == "false" || text == "0") {
    value = false;
    return true;
  }
  return false;
}

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

void AppendBase64(std::string& out, const std::vector<unsigned char>& bytes) {
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    unsigned v = bytes[i] << 16;
    if (rest == 2) v |= bytes[i + 1] << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
}

bool ParseBase64(std::string_view text, bool allowBlanks, std::vector<unsigned char>& bytes) {
  bytes.clear();
  bytes.reserve(text.size() / 4 * 3);
  int quad[4];
  int filled = 0;
  int padding = 0;
  for (char c : text) {
    if (allowBlanks && IsBlank(c)) continue;
    if (c == '=') {
      // Padding only in the last two places of the last group.
      if (filled < 2) return false;
      ++padding;
      quad[filled++] = 0;
    } else {
      int d = DigitOf(c);
      if (d < 0 || padding > 0) return false;
      quad[filled++] = d;
    }
    if (filled == 4) {
      unsigned v = (quad[0] << 18) | (quad[1] << 12) | (quad[2] << 6) | quad[3];
      bytes.push_back(static_cast<unsigned char>(v >> 16));
      if (padding < 2) bytes.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
      if (padding < 1) bytes.push_back(static_cast<unsigned char>(v & 0xff));
      // Bits that padding drops must be zero: one text per byte string.
      if ((padding == 1 && (quad[2] & 3) != 0) || (padding == 2 && (quad[1] & 15) != 0)) return false;
      filled = 0;
      if (padding > 0) padding = 3;  // nothing may follow a padded group
    }
  }
  return filled == 0;
}

namespace {
// Writes `value` as `width` digits, zero-padded, ending before `end`.
void PutDigits(char* end, int64_t value, int width) {
  for (int i = 0; i < width; ++i, value /= 10) *--end = static_cast<char>('0' + value % 10);
}
}  // namespace

bool FormatDateTime(const Haldun::System::DateTime& value, std::string& out) {
  // 0001-01-01T00:00:00Z and 9999-12-31T23:59:59.999999Z, in the zone of the value.
  constexpr int64_t kFirst = -62135596800LL * 1000000;
  constexpr int64_t kLast = 253402300799LL * 1000000 + 999999;
  constexpr int64_t kDay = 86400LL * 1000000;
  const int offset = value.GetOffsetMinutes();
  int64_t local = value.GetMicroseconds() + int64_t{offset} * 60 * 1000000;
  if (local < kFirst || local > kLast) return false;
  // Written in place, digit by digit: the text is the same as ToIso8601's,
  // without a formatted print per field.
  int64_t days = local / kDay;
  int64_t timeOfDay = local % kDay;
  if (timeOfDay < 0) {
    timeOfDay += kDay;
    --days;
  }
  const Haldun::System::CivilDate date = Haldun::System::CivilFromDays(days);
  const int64_t seconds = timeOfDay / 1000000;
  const int64_t fraction = timeOfDay % 1000000;
  char text[40];
  char* p = text;
  PutDigits(p += 4, date.year, 4);
  *p++ = '-';
  PutDigits(p += 2, date.month, 2);
  *p++ = '-';
  PutDigits(p += 2, date.day, 2);
  *p++ = 'T';
  PutDigits(p += 2, seconds / 3600, 2);
  *p++ = ':';
  PutDigits(p += 2, seconds / 60 % 60, 2);
  *p++ = ':';
  PutDigits(p += 2, seconds % 60, 2);
  if (fraction != 0) {
    *p++ = '.';
    PutDigits(p += 6, fraction, 6);
  }
  if (offset == 0) {
    *p++ = 'Z';
  } else {
    const int magnitude = offset < 0 ? -offset : offset;
    *p++ = offset < 0 ? '-' : '+';
    PutDigits(p += 2, magnitude / 60, 2);
    *p++ = ':';
    PutDigits(p += 2, magnitude % 60, 2);
  }
  out.append(text, p);
  return true;
}

bool ParseDateTime(std::string_view text, Haldun::System::DateTime& value) {
  // Always with a zone: a local time names no instant.
  bool zoned =
      text.ends_with('Z') || (text.size() > 6 && (text[text.size() - 6] == '+' || text[text.size() - 6] == '-'));
  if (!zoned) return false;
  try {
    value = Haldun::System::DateTime::ParseIso8601(text);
    return true;
  } catch (const Haldun::InvalidArgumentException&) {
    return false;
  }
}

size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  unsigned char c = *p;
  int extra;
  uint32_t code;
  if ((c & 0xe0) == 0xc0) {
    extra = 1;
    code = c & 0x1f;
  } else if ((c & 0xf0) == 0xe0) {
    extra = 2;
    code = c & 0x0f;
  } else if ((c & 0xf8) == 0xf0) {
    extra = 3;
    code = c & 0x07;
  } else {
    return 0;
  }
  if (end - p <= extra) return 0;
  for (int i = 1; i <= extra; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3f);
  }
  static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[extra] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return static_cast<size_t>(extra) + 1;
}

namespace {
bool IsControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }
}  // namespace

TextFault FindTextFault(std::string_view text, bool refuseControls) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = bytes + text.size();
  bool control = false;
  // Runs of plain ASCII go a word at a time; a control character found
  // still leaves the rest to be checked for malformed UTF-8, which counts first.
  auto flagged = [&](uint64_t word) {
    return Bytes::AnyHigh(word) | (refuseControls && !control ? Bytes::AnyBelow(word, 0x20) : 0);
  };
  size_t i = 0;
  while ((i = Bytes::SkipWords(text, i, flagged)) < text.size()) {
    unsigned char c = bytes[i];
    if (c < 0x80) {
      control = control || IsControl(c);
      ++i;
      continue;
    }
    size_t n = Utf8SequenceLength(bytes + i, end);
    if (n == 0) return TextFault::kNotUtf8;
    i += n;
  }
  return refuseControls && control ? TextFault::kControl : TextFault::kNone;
}

bool IsValidUtf8(std::string_view text) { return FindTextFault(text, false) == TextFault::kNone; }

bool HasControlCharacter(std::string_view text) {
  size_t i = 0;
  while ((i = Bytes::SkipWords(text, i, [](uint64_t word) { return Bytes::AnyBelow(word, 0x20); })) < text.size()) {
    if (IsControl(static_cast<unsigned char>(text[i]))) return true;
    ++i;
  }
  return false;
}

}  // namespace Zamli::Wire
