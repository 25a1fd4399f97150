#pragma once
// A forward-only reader of the XML the encoder writes, for the fast path.
// It reads elements, attributes, text with the five predefined entities and
// character references, blanks between elements and an XML declaration,
// checking UTF-8 and control characters as it goes. Whatever else it meets
// (comments, CDATA, instructions, a DTD, unusual prefixes, anything
// malformed) it gives up on by throwing FastPathMiss: the checking decoder
// then reads the document and says what is wrong, if anything.
#include <string>
#include <string_view>

namespace Zamli::Wire::Xml {

struct FastPathMiss {};

[[noreturn]] inline void Miss() { throw FastPathMiss{}; }

// An element whose start tag is read: what the decoder asks of its tag.
struct FastElement {
  std::string_view name;      // as written, with its prefix
  std::string_view local;     // without it
  std::string_view typeName;  // xsi:type, without the value's prefix
  std::string_view refType;   // the "type" attribute of a reference
  int depth = 0;              // the root's is 1
  bool hasRefType = false;
  bool nil = false;
  bool empty = false;   // written <name/>
  bool closed = false;  // its content and end tag are read
};

class FastXmlReader {
 public:
  explicit FastXmlReader(std::string_view document) : at_(document.data()), end_(document.data() + document.size()) {}

  // The declaration and blanks before the root, then the root's start tag.
  void Root(FastElement& root);
  // After the root: blanks only, to the end.
  void Finish();

  // The next child element of `parent` in `child`; false once the parent's
  // end tag is read. Only blanks may come between children.
  bool NextChild(FastElement& parent, FastElement& child);
  // The element's text, through its end tag; false when a child element
  // comes first. Text with references is decoded into `scratch`.
  bool Text(FastElement& element, std::string_view& text, std::string& scratch);
  // Reads the end tag of an element the decoder left unread; empty only.
  void Close(FastElement& element);

  // Scratch for the text of numbers and booleans.
  std::string& NumberScratch() { return numbers_; }

 private:
  void StartTag(FastElement& element);
  void EndTag(FastElement& element);
  // True when there were any.
  bool SkipBlanks() {
    const char* start = at_;
    while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\t' || *at_ == '\r')) ++at_;
    return at_ != start;
  }
  // A name, and in `local` its part after the prefix.
  std::string_view Name(std::string_view& local);
  std::string_view AttributeValue();
  void Reference(std::string& out);

  const char* at_;
  const char* end_;
  int depth_ = 0;     // open elements
  int xsiDepth_ = 0;  // the depth of the element that binds xsi; 0: unbound
  std::string numbers_;
};

}  // namespace Zamli::Wire::Xml
