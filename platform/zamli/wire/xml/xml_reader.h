#pragma once
// The decoder's view of a pugixml element.
#include <zamli/wire/errors.h>
#include <zamli/wire/node_traits.h>
#include <zamli/wire/scalars.h>

#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace Zamli::Wire {

// The name without its namespace prefix.
inline std::string_view LocalName(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(name);
}

inline pugi::xml_node NextElement(pugi::xml_node n) {
  do {
    n = n.next_sibling();
  } while (n && n.type() != pugi::node_element);
  return n;
}

inline pugi::xml_node FirstElement(pugi::xml_node parent) {
  pugi::xml_node n = parent.first_child();
  while (n && n.type() != pugi::node_element) n = n.next_sibling();
  return n;
}

class XmlNode : public NodeTraits {
 public:
  static constexpr bool kBlanksInBase64 = true;
  static constexpr bool kValidatesUtf8 = false;
  static constexpr bool kControlCharacters = false;
  explicit XmlNode(pugi::xml_node node) : node_(node) {}
  pugi::xml_node Get() const { return node_; }

  class Group {
   public:
    Group(pugi::xml_node first, int count) : first_(first), count_(count) {}
    int Count() const { return count_; }
    XmlNode First() const { return XmlNode(first_); }
    template <class F>
    void ForEach(Path&, F&& f) const {
      pugi::xml_node n = first_;
      for (int i = 0; i < count_; ++i, n = NextElement(n)) f(XmlNode(n));
    }

   private:
    pugi::xml_node first_;
    int count_;
  };

  bool IsNull() const {
    std::string_view nil = node_.attribute("xsi:nil").value();
    return nil == "true" || nil == "1";
  }

  std::string_view TypeName() const {
    pugi::xml_attribute type = node_.attribute("xsi:type");
    return type ? LocalName(type.value()) : std::string_view();
  }

  // The element's text: its text and CDATA pieces, joined in `scratch` when
  // markup the parser drops (a comment, an instruction) splits them. Text
  // that comes first is kept in the element itself (parse_embed_pcdata).
  bool ReadString(std::string_view& text, std::string& scratch) const {
    text = node_.value();
    bool joined = false;
    for (pugi::xml_node n = node_.first_child(); n; n = n.next_sibling()) {
      if (n.type() == pugi::node_element) return false;
      if (n.type() != pugi::node_pcdata && n.type() != pugi::node_cdata) continue;
      if (text.empty()) {
        text = n.value();
        continue;
      }
      if (!joined) scratch.assign(text);
      joined = true;
      scratch += n.value();
    }
    if (joined) text = scratch;
    return true;
  }
  bool ReadBool(bool& v) const {
    std::string scratch;
    std::string_view text;
    return ReadString(text, scratch) && ParseBool(text, v);
  }
  bool ReadInteger(int64_t min, int64_t max, int64_t& v) const {
    std::string scratch;
    std::string_view text;
    return ReadString(text, scratch) && ParseInteger(text, min, max, v);
  }
  bool ReadFloat(float& v) const {
    std::string scratch;
    std::string_view text;
    return ReadString(text, scratch) && ParseFloat(text, v);
  }
  bool ReadReference(std::string_view& type, std::string_view& id, std::string& scratch) const {
    pugi::xml_attribute attribute = node_.attribute("type");
    if (!attribute || !ReadString(id, scratch)) return false;
    type = attribute.value();
    return true;
  }

  std::string Excerpt() const {
    std::string scratch;
    std::string_view text;
    if (!ReadString(text, scratch)) return "an element with child elements";
    return Quote(text);
  }

  XmlNode Boxed(Path&) const { return *this; }

  static void Blank(std::string_view text, Path& path) {
    if (text.find_first_not_of(" \t\r\n") != std::string_view::npos) {
      path.Fail(Problem::kInvalidArgument, "text where elements belong: " + Quote(text));
    }
  }

  // The element at or after `n`; text on the way is an error, where only
  // elements belong.
  static pugi::xml_node Element(pugi::xml_node n, Path& path) {
    for (; n && n.type() != pugi::node_element; n = n.next_sibling()) {
      if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) Blank(n.value(), path);
    }
    return n;
  }

  // The first child element of this one, which holds elements only.
  pugi::xml_node FirstOfElements(Path& path) const {
    Blank(node_.value(), path);
    return Element(node_.first_child(), path);
  }

  // Elements next to each other with the same name make one member.
  template <class F>
  void ForEachMember(Path& path, F&& f) const {
    pugi::xml_node n = FirstOfElements(path);
    while (n) {
      std::string_view name = LocalName(n.name());
      pugi::xml_node first = n;
      int count = 1;
      n = Element(n.next_sibling(), path);
      while (n && LocalName(n.name()) == name) {
        ++count;
        n = Element(n.next_sibling(), path);
      }
      f(name, Group(first, count));
    }
  }

  template <class F>
  void ForEachItem(Path& path, std::string_view itemName, F&& f) const {
    for (pugi::xml_node n = FirstOfElements(path); n; n = Element(n.next_sibling(), path)) {
      if (LocalName(n.name()) != itemName) {
        path.Fail(Problem::kInvalidArgument, "the items of this array are <" + std::string(itemName) + ">, not <" +
                                                 std::string(LocalName(n.name())) + ">");
      }
      f(XmlNode(n));
    }
  }

 private:
  pugi::xml_node node_;
};

}  // namespace Zamli::Wire
