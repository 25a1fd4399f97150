#include <haldun/block_cache.h>
#include <zamli/values/any.h>
#include <zamli/values/printer.h>

#include <ostream>

namespace Zamli {

Any::~Any() = default;

void* Any::operator new(std::size_t size) { return Haldun::AllocateSmallBlock(size); }

void Any::operator delete(void* block, std::size_t size) noexcept { Haldun::FreeSmallBlock(block, size); }

// The blocks of operator new and delete, reached without their indirection.
Any* NewValue(std::size_t size, Any* (*construct)(void* block) noexcept) {
  return construct(Haldun::AllocateSmallBlock(size));
}

Any* CopyValue(std::size_t size, void (*copy)(void* block, const Any& source), const Any& source) {
  void* block = Haldun::AllocateSmallBlock(size);
  try {
    copy(block, source);
  } catch (...) {
    Haldun::FreeSmallBlock(block, size);
    throw;
  }
  return static_cast<Any*>(block);
}

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
