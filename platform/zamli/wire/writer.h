#pragma once
// What the encoder asks of a writer; XmlWriter and JsonWriter implement it.
// Every value is written under a name: XML makes it the element name, JSON
// the member name inside an object and nothing inside an array.
#include <cstdint>
#include <string>
#include <string_view>

namespace Zamli::Wire {

// The name a value is written under. For a property it also carries the
// JSON member made of it once, in the encoding plan (`,"name":`), so that
// the JSON writer copies it whole; writers that want only the name read it
// as a string_view.
struct WireName {
  WireName(std::string_view name) : text(name) {}
  WireName(const char* name) : text(name) {}
  WireName(const std::string& name) : text(name) {}
  WireName(std::string_view name, std::string_view member) : text(name), jsonMember(member) {}
  operator std::string_view() const { return text; }

  std::string_view text;
  std::string_view jsonMember;  // empty: the writer makes the member itself
};

// The class a value names on the wire; empty when the declaration implies it.
struct TypeTag {
  std::string_view name;
  bool primitive = false;  // XML writes it as "xsd:" + name
  bool empty() const { return name.empty(); }
};

enum class ArrayStyle {
  kRepeated,  // a property, parameter or result: XML repeats the element
  kWrapped,   // a value of its own (anyType, a document): XML wraps the items
};

}  // namespace Zamli::Wire
