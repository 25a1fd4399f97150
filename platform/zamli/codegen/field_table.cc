// The generic field code. A Haldun::Ref<X> field is read and written here as
// its one pointer, seen as Any*: every value class derives from Any alone,
// so an X* and its Any* are the same address. This file is built with
// -fno-strict-aliasing for that reason.
#include <haldun/exception.h>
#include <zamli/codegen/field_table.h>
#include <zamli/values/collection.h>
#include <zamli/values/compare.h>

#include <atomic>
#include <cstring>
#include <utility>

namespace Zamli {

namespace {

using Haldun::Optional;
using Haldun::System::DateTime;
using Binary = std::vector<unsigned char>;

Any*& Slot(void* field) { return *static_cast<Any**>(field); }
Any* Load(const void* field) { return *static_cast<Any* const*>(field); }

// A clone is new unless its class shares values that never change (boxes,
// references), which answer with themselves.
void TakeFirstCount(const Any* clone) {
  if (clone->GetRefCount() == 0) {
    clone->IncRefNew();
  } else {
    clone->IncRef();
  }
}

void Store(void* field, Any* value) {
  if (value != nullptr) value->IncRef();
  Any* old = std::exchange(Slot(field), value);
  if (old != nullptr) old->DecRef();
}

template <class V>
bool Same(const V& a, const V& b) {
  return a == b;  // floats: NaN never, -0 == 0; date-times: the same instant
}
template <class V>
bool Same(const Optional<V>& a, const Optional<V>& b) {
  return a.IsSet() == b.IsSet() && (!a.IsSet() || Same(a.StoredValue(), b.StoredValue()));
}
bool Same(const Optional<bool>& a, const Optional<bool>& b) { return a.StoredByte() == b.StoredByte(); }

// Required values.
template <class V>
struct Plain {
  static void Copy(void* to, const void* from) { *static_cast<V*>(to) = *static_cast<const V*>(from); }
  static bool Equal(const void* a, const void* b, const FieldEntry&, unsigned, bool) {
    return Same(*static_cast<const V*>(a), *static_cast<const V*>(b));
  }
  static void Get(void* f, void* out, const FieldEntry&) { *static_cast<V*>(out) = *static_cast<V*>(f); }
  static const void* Addr(const void* f) { return f; }
  static void Set(void* f, const void* in, const FieldEntry&) { *static_cast<V*>(f) = *static_cast<const V*>(in); }
  static void Swap(void* f, void* other) {
    using std::swap;
    swap(*static_cast<V*>(f), *static_cast<V*>(other));
  }
  static bool IsSet(const void*) { return true; }
  static void Unset(void*) {}
  static constexpr FieldOps kOps{&Copy, &Equal, &Get, &Addr, &Set, &Swap, &IsSet, &Unset};
};

// Optional values: the flag is what counts; an unset value may be stale.
template <class V>
struct Opt {
  using F = Optional<V>;
  static void Copy(void* to, const void* from) { *static_cast<F*>(to) = *static_cast<const F*>(from); }
  // With `flag`, what the other side left unset matches.
  static bool Equal(const void* a, const void* b, const FieldEntry&, unsigned, bool flag) {
    const F& fb = *static_cast<const F*>(b);
    return (flag && !fb.IsSet()) || Same(*static_cast<const F*>(a), fb);
  }
  static void Get(void* f, void* out, const FieldEntry&) {
    if constexpr (std::is_same_v<V, bool>) {
      *static_cast<signed char*>(out) = static_cast<F*>(f)->StoredByte();
    } else {
      *static_cast<V*>(out) = static_cast<F*>(f)->StoredValue();
    }
  }
  static const void* Addr(const void* f) {
    const F& o = *static_cast<const F*>(f);
    if (!o.IsSet()) return nullptr;
    if constexpr (std::is_same_v<V, bool>) {
      return &o.StoredByte();
    } else {
      return &o.StoredValue();
    }
  }
  static void Set(void* f, const void* in, const FieldEntry&) { *static_cast<F*>(f) = *static_cast<const V*>(in); }
  static void Swap(void* f, void* other) { static_cast<F*>(f)->Swap(*static_cast<F*>(other)); }
  static bool IsSet(const void* f) { return static_cast<const F*>(f)->IsSet(); }
  static void Unset(void* f) { static_cast<F*>(f)->Unset(); }
  static constexpr FieldOps kOps{&Copy, &Equal, &Get, &Addr, &Set, &Swap, &IsSet, &Unset};
};

// References and arrays: the pointer is the value.
void RefCopy(void* to, const void* from) {
  Any* value = Load(from);
  if (value == nullptr) return;
  Any* clone = value->_Clone();
  TakeFirstCount(clone);
  Any* old = std::exchange(Slot(to), clone);
  if (old != nullptr) old->DecRef();
}
bool RefEqual(const void* a, const void* b, const FieldEntry&, unsigned flags, bool flag) {
  return AreEqualAnysInt(Load(a), Load(b), flags, flag);
}
void RefGet(void* f, void* out, const FieldEntry&) { Store(out, Load(f)); }
const void* RefAddr(const void* f) { return Load(f); }
// The old value stays when the new one is of the wrong class.
void RefSet(void* f, const void* in, const FieldEntry& e) {
  Any* value = *static_cast<Any* const*>(in);
  // A value of the field's very class passes without a search of the class tree.
  const FieldReference& r = *e.reference;
  if (value != nullptr && &typeid(*value) != r.expected && !r.accepts(value)) {
    Haldun::ThrowTypeMismatchException(*r.expected, typeid(*value));
  }
  Store(f, value);
}
void RefSwap(void* f, void* other) { std::swap(Slot(f), Slot(other)); }
bool RefIsSet(const void* f) { return Load(f) != nullptr; }
void RefUnset(void* f) { Store(f, nullptr); }

// The array of an array field, created empty on first use; when several
// threads ask at once, one array is installed and the others are dropped.
Any* LazyArrayOf(void* f, const FieldEntry& e) {
  std::atomic_ref<Any*> slot(Slot(f));
  if (Any* existing = slot.load(std::memory_order_acquire)) return existing;
  Any* created = e.reference->createArray();
  created->IncRef();
  Any* expected = nullptr;
  if (slot.compare_exchange_strong(expected, created, std::memory_order_acq_rel)) return created;
  created->DecRef();
  return expected;
}
int Length(const Any* array) { return array ? static_cast<const Collection*>(array)->GetCollectionLength() : 0; }
void ArrayGet(void* f, void* out, const FieldEntry& e) { Store(out, LazyArrayOf(f, e)); }
const void* ArrayAddr(const void* f) { return Length(Load(f)) > 0 ? Load(f) : nullptr; }
bool ArrayIsSet(const void* f) { return Length(Load(f)) > 0; }

}  // namespace

const FieldOps kFieldOps[16] = {
    Plain<std::string>::kOps,
    Plain<bool>::kOps,
    Plain<int>::kOps,
    Plain<long>::kOps,
    Plain<float>::kOps,
    Plain<DateTime>::kOps,
    Plain<Binary>::kOps,
    Opt<std::string>::kOps,
    Opt<bool>::kOps,
    Opt<int>::kOps,
    Opt<long>::kOps,
    Opt<float>::kOps,
    Opt<DateTime>::kOps,
    Opt<Binary>::kOps,
    {&RefCopy, &RefEqual, &RefGet, &RefAddr, &RefSet, &RefSwap, &RefIsSet, &RefUnset},
    {&RefCopy, &RefEqual, &ArrayGet, &ArrayAddr, &RefSet, &RefSwap, &ArrayIsSet, &RefUnset},
};

namespace {
char* At(void* obj, const FieldEntry& e) { return static_cast<char*>(obj) + e.offset; }
const char* At(const void* obj, const FieldEntry& e) { return static_cast<const char*>(obj) + e.offset; }
}  // namespace

// A data class's members are its table's fields, in order, so what lies
// between two neighbouring plain fields is padding, shorter than the widest
// alignment of a field: a run of them is copied as one block of bytes.
//
// The fields that own memory are copied here by kind rather than through
// their operations: most are strings and references, and a direct call
// leaves the indirect one, which varies field by field, unpredicted.
void CopyFields(const FieldEntry* fields, int count, void* to, const void* from) {
  constexpr uint8_t kString = FieldOpsIndex(ValueKind::kString, false, false);
  constexpr uint8_t kOptionalString = FieldOpsIndex(ValueKind::kString, true, false);
  constexpr uint8_t kReference = FieldOpsIndex(ValueKind::kData, false, false);
  constexpr uint8_t kArray = FieldOpsIndex(ValueKind::kData, false, true);
  for (int i = 0; i < count;) {
    const FieldEntry& e = fields[i++];
    if (e.plainBytes == 0) {
      switch (e.ops.index) {
        case kString:
          Plain<std::string>::Copy(At(to, e), At(from, e));
          break;
        case kOptionalString:
          Opt<std::string>::Copy(At(to, e), At(from, e));
          break;
        case kReference:
        case kArray:
          RefCopy(At(to, e), At(from, e));
          break;
        default:
          e.ops->copy(At(to, e), At(from, e));
      }
      continue;
    }
    uint32_t end = e.offset + e.plainBytes;
    while (i < count && fields[i].plainBytes != 0 && fields[i].offset - end < alignof(long)) {
      end = fields[i].offset + fields[i].plainBytes;
      ++i;
    }
    std::memcpy(At(to, e), At(from, e), end - e.offset);
  }
}

bool EqualFields(const FieldTable& table, const void* a, const void* b, bool flag) {
  for (int i = 0; i < table.count; ++i) {
    const FieldEntry& e = table.fields[i];
    if (!e.ops->equal(At(a, e), At(b, e), e, table.properties[i].flags, flag)) return false;
  }
  return true;
}

bool EqualBaseAndFields(const FieldTable& table, const Any* a, const Any* b, bool flag,
                        bool (*base)(const Any* a, const Any* b, bool flag)) {
  return base(a, b, flag) && EqualFields(table, a, b, flag);
}

void FieldGet(const FieldTable& t, void* obj, int i, void* out) {
  const FieldEntry& e = t.fields[i];
  e.ops->get(At(obj, e), out, e);
}
void FieldSet(const FieldTable& t, void* obj, int i, const void* in) {
  const FieldEntry& e = t.fields[i];
  e.ops->set(At(obj, e), in, e);
}
void FieldSwap(const FieldTable& t, void* obj, int i, void* other) {
  const FieldEntry& e = t.fields[i];
  e.ops->swap(At(obj, e), other);
}
bool FieldIsSet(const FieldTable& t, const void* obj, int i) {
  if (i < 0 || i >= t.count) return true;
  const FieldEntry& e = t.fields[i];
  return e.ops->isSet(At(obj, e));
}
void FieldUnset(const FieldTable& t, void* obj, int i) {
  const FieldEntry& e = t.fields[i];
  e.ops->unset(At(obj, e));
}

}  // namespace Zamli
