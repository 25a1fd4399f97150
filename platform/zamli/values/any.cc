#include <zamli/values/any.h>
#include <zamli/values/printer.h>

#include <ostream>

namespace Zamli {

Any::~Any() = default;

std::string Any::ToString() const {
  Printer printer;
  _Print(printer);
  return printer.Text();
}

void WriteText(std::ostream& out, const Any* value) {
  Printer printer;
  printer.Value(value);
  out << printer.Text();
}

std::ostream& operator<<(std::ostream& out, const Any& value) {
  WriteText(out, &value);
  return out;
}

}  // namespace Zamli
