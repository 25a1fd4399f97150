#pragma once
// What the generic decoder (decoder.h) asks of a reader's node kind besides
// its functions, with the values most kinds have: a node kind derives from
// NodeTraits and states only where it differs.

namespace Zamli::Wire {

struct NodeTraits {
  // Whether base64 text may hold blanks and line breaks between groups.
  static constexpr bool kBlanksInBase64 = false;
  // Whether its parser refused malformed UTF-8 already.
  static constexpr bool kValidatesUtf8 = true;
  // Whether text may hold C0 controls other than tab, line feed and
  // carriage return; when not, the decoder refuses them.
  static constexpr bool kControlCharacters = true;
  // Whether a call names its method in a member ("_method") rather than by
  // its own name.
  static constexpr bool kMethodMember = false;
  // Whether the decoder's errors reach the caller. A reader whose every
  // failure has the document decoded again by a checking reader says not,
  // and the decoder keeps no path or secrecy for messages that no one reads.
  static constexpr bool kReportsErrors = true;
};

}  // namespace Zamli::Wire
