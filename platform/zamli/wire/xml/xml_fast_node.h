#pragma once
// The decoder's view of an element read by FastXmlReader, for the fast path.
// The reader goes forward only: a node's content is read once, and a member
// is taken to be one element until the next sibling shows otherwise (a
// single value given twice then fails in the decoder, and the checking
// decoder reports it). Whatever this view cannot read exactly as the
// checking view (xml_reader.h) would, it gives up on by throwing
// FastPathMiss.
#include <zamli/wire/errors.h>
#include <zamli/wire/node_traits.h>
#include <zamli/wire/scalars.h>
#include <zamli/wire/xml/xml_fast_reader.h>

#include <string>
#include <string_view>

namespace Zamli::Wire::Xml {

// The reader checks every byte of text as it scans: UTF-8 and controls are
// refused before the decoder sees them.
class FastXmlNode : public NodeTraits {
 public:
  static constexpr bool kBlanksInBase64 = true;
  // What this reader cannot read, the checking decoder reads again.
  static constexpr bool kReportsErrors = false;
  FastXmlNode(FastXmlReader* reader, FastElement* element) : reader_(reader), element_(element) {}

  // The child elements of a parent, read in turn: the one in `element`,
  // and whether the group's walk has already read past it.
  struct Cursor {
    FastElement* parent = nullptr;
    FastElement element;
    bool more = false;
    bool walked = false;
  };

  class Group {
   public:
    Group(FastXmlReader* reader, Cursor* cursor) : reader_(reader), cursor_(cursor) {}
    int Count() const { return 1; }
    FastXmlNode First() const { return FastXmlNode(reader_, &cursor_->element); }
    // The run of siblings with the first one's name: a repeated array.
    template <class F>
    void ForEach(Path& /*path*/, F&& f) const {
      FastElement& element = cursor_->element;
      FastElement& parent = *cursor_->parent;
      const std::string_view name = element.local;
      do {
        f(FastXmlNode(reader_, &element));
        reader_->Close(element);
        cursor_->more = reader_->NextChild(parent, element);
      } while (cursor_->more && element.local == name);
      cursor_->walked = true;
    }

   private:
    FastXmlReader* reader_;
    Cursor* cursor_;
  };

  bool IsNull() const { return element_->nil; }
  std::string_view TypeName() const { return element_->typeName; }

  bool ReadString(std::string_view& text, std::string& scratch) const {
    return reader_->Text(*element_, text, scratch);
  }
  bool ReadBool(bool& v) const {
    std::string_view text;
    return reader_->Text(*element_, text, reader_->NumberScratch()) && ParseBool(text, v);
  }
  bool ReadInteger(int64_t min, int64_t max, int64_t& v) const {
    std::string_view text;
    return reader_->Text(*element_, text, reader_->NumberScratch()) && ParseInteger(text, min, max, v);
  }
  bool ReadFloat(float& v) const {
    std::string_view text;
    return reader_->Text(*element_, text, reader_->NumberScratch()) && ParseFloat(text, v);
  }
  bool ReadReference(std::string_view& type, std::string_view& id, std::string& scratch) const {
    if (!element_->hasRefType || !reader_->Text(*element_, id, scratch)) return false;
    type = element_->refType;
    return true;
  }

  // Only ever wanted for an error message, which the checking decoder writes.
  std::string Excerpt() const { Miss(); }

  FastXmlNode Boxed(Path& /*path*/) const { return *this; }

  // Elements next to each other with the same name make one member.
  template <class F>
  void ForEachMember(Path& /*path*/, F&& f) const {
    Cursor cursor;
    cursor.parent = element_;
    cursor.more = reader_->NextChild(*element_, cursor.element);
    while (cursor.more) {
      cursor.walked = false;
      f(cursor.element.local, Group(reader_, &cursor));
      if (cursor.walked) continue;
      reader_->Close(cursor.element);
      cursor.more = reader_->NextChild(*element_, cursor.element);
    }
  }

  template <class F>
  void ForEachItem(Path& /*path*/, std::string_view itemName, F&& f) const {
    FastElement item;
    while (reader_->NextChild(*element_, item)) {
      if (item.local != itemName) Miss();
      f(FastXmlNode(reader_, &item));
      reader_->Close(item);
    }
  }

 private:
  FastXmlReader* reader_;
  FastElement* element_;
};

}  // namespace Zamli::Wire::Xml
