#pragma once
// The root of every runtime value, and the set that differences collect into.
#include <haldun/object_impl.h>
#include <haldun/ref.h>
#include <zamli/export.h>

#include <concepts>
#include <cstddef>
#include <iosfwd>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace Zamli {

class Type;
class Printer;

// Changed property paths, in the order a difference found them.
class ZAMLI_EXPORT PropertyDiffSet {
 public:
  void AddChanged(std::string path) { changed_.push_back(std::move(path)); }
  const std::vector<std::string>& GetChanged() const { return changed_; }
  bool IsEmpty() const { return changed_.empty(); }

 private:
  std::vector<std::string> changed_;
};

// Every value: data objects, arrays, boxes and managed object references.
// Reference counted; factories return new values with count 0.
class ZAMLI_EXPORT Any : public Haldun::ObjectImpl {
 public:
  ~Any() override;
  // Values are made and released by the thousand (a tree copied, decoded or
  // dropped): their memory comes from the per-thread block cache
  // (haldun/block_cache.h). The size given to delete is the object's own, as
  // the destructor is virtual.
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size) noexcept;
  // A readable, indented dump: type names, properties in order, unset
  // optionals left out, secret properties masked.
  virtual std::string ToString() const;
  virtual Type* _GetType() const = 0;
  // A deep copy, except for values that never change (boxes, references to
  // managed objects), which answer with themselves.
  virtual Any* _Clone() const = 0;
  // `other` is of this value's class (the drivers in compare.h check that).
  virtual bool _IsEqual(const Any* other, bool flag) const = 0;
  virtual void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const = 0;
  // What ToString writes for this value.
  virtual void _Print(Printer& out) const = 0;
};

// A new value of `size` bytes, made in its block by `construct`, which cannot
// throw. The factories of every class share the allocation here, so that
// each is one jump and needs no unwind table of its own.
ZAMLI_EXPORT Any* NewValue(std::size_t size, Any* (*construct)(void* block) noexcept);

template <class T>
Any* ConstructValue(void* block) noexcept {
  return ::new (block) T();
}

// A copy of `source` in a new block of `size` bytes, made there by `copy`;
// the block is freed if the copy throws. Every class's _Clone is one jump
// here, and so needs no unwind table of its own. The copy's Any is at the
// start of its block (single inheritance from Any throughout).
ZAMLI_EXPORT Any* CopyValue(std::size_t size, void (*copy)(void* block, const Any& source), const Any& source);

// The copy constructor of T, itself one jump.
template <class T>
void CopyInto(void* block, const Any& source) {
  ::new (block) T(static_cast<const T&>(source));
}

// A new value-initialized T, as `new T()` makes it.
template <std::derived_from<Any> T>
Any* MakeValue() {
  if constexpr (std::is_nothrow_default_constructible_v<T>) {
    return NewValue(sizeof(T), &ConstructValue<T>);
  } else {
    return new T();
  }
}

// Writes the value's text form (ToString), secrets masked. Found for every
// generated class through its base.
ZAMLI_EXPORT std::ostream& operator<<(std::ostream& out, const Any& value);
// The same through a holder; an empty one writes "<unset>".
ZAMLI_EXPORT void WriteText(std::ostream& out, const Any* value);
template <std::derived_from<Any> T>
std::ostream& operator<<(std::ostream& out, const Haldun::Ref<T>& value) {
  WriteText(out, value.Get());
  return out;
}

}  // namespace Zamli
