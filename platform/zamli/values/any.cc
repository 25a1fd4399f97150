#include <zamli/values/any.h>
#include <zamli/values/printer.h>

namespace Zamli {

Any::~Any() = default;

std::string Any::ToString() const {
  Printer printer;
  _Print(printer);
  return printer.Text();
}

}  // namespace Zamli
