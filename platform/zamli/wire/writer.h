#pragma once
// What the encoder asks of a writer; XmlWriter and JsonWriter implement it.
// Every value is written under a name: XML makes it the element name, JSON
// the member name inside an object and nothing inside an array.
#include <cstdint>
#include <string_view>

namespace Zamli::Wire {

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
