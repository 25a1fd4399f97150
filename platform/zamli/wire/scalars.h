#pragma once
// Scalars as the wire writes them: the same text in both encodings, except
// that JSON writes numbers and booleans bare. Parsers return false on
// malformed or out-of-range text; the caller reports it with the path.
#include <haldun/date_time.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Wire {

// Shortest text that reads back as the same float; "NaN", "INF", "-INF".
void AppendFloat(std::string& out, float value);
// The same into `text`, which holds kFloatChars; answers the length.
inline constexpr size_t kFloatChars = 32;
size_t FormatFloat(float value, char* text);
// Exact: the float nearest to the text, whatever its length; too large is
// refused, too small reads as zero or the smallest float.
bool ParseFloat(std::string_view text, float& value);

void AppendInteger(std::string& out, int64_t value);
bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t& value);

bool ParseBool(std::string_view text, bool& value);

void AppendBase64(std::string& out, const std::vector<unsigned char>& bytes);
// Padded RFC 4648 base64; ASCII blanks and line breaks between groups are
// skipped when `allowBlanks` (XML lets writers wrap long text).
bool ParseBase64(std::string_view text, bool allowBlanks, std::vector<unsigned char>& bytes);

// ISO 8601 with zone, years 0001 to 9999; false for an instant outside them.
bool FormatDateTime(const Haldun::System::DateTime& value, std::string& out);
bool ParseDateTime(std::string_view text, Haldun::System::DateTime& value);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence starting with the non-ASCII
// byte at `p`, or 0.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end);

// True when `text` holds a C0 control other than tab, line feed and
// carriage return: characters XML 1.0 cannot carry.
bool HasControlCharacter(std::string_view text);

// Both checks in one pass, for text about to travel: malformed UTF-8 is
// reported first, wherever it is; control characters only when refused.
enum class TextFault { kNone, kNotUtf8, kControl };
TextFault FindTextFault(std::string_view text, bool refuseControls);

}  // namespace Zamli::Wire
