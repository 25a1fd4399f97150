#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/values/data_array.h>
#include <zamli/values/kept_storage.h>
#include <zamli/values/narrow.h>
#include <zamli/values/printer.h>

namespace Zamli {

Collection::~Collection() = default;

namespace {
constexpr size_t kFirstCapacity = 4;

// A new clone, which no other thread sees yet, takes its first count without
// a locked increment; values that are shared (boxes, references) take one.
Haldun::Ref<Any> HeldClone(const Any* element) {
  if (element == nullptr) return nullptr;
  Any* clone = element->_Clone();
  if (clone->GetRefCount() != 0) return Haldun::Ref<Any>(clone);
  clone->IncRefNew();
  return Haldun::Ref<Any>::Adopt(clone);
}

void AppendClones(std::vector<Haldun::Ref<Any>>& to, const std::vector<Haldun::Ref<Any>>& from) {
  for (const auto& e : from) to.push_back(HeldClone(e.Get()));
}
}  // namespace

DataArrayBase::DataArrayBase(const DataArrayBase& other) : Collection(other) { CopyElementsOf(other); }

void DataArrayBase::CopyElementsOf(const DataArrayBase& from) {
  elements_ = Detail::TakeElements(from.elements_.size());
  AppendClones(elements_, from.elements_);
}

// The empty array cannot fail to be made; if an element's copy throws, the
// array releases the elements copied so far as it is destroyed.
Any* DataArrayBase::CloneAs(std::size_t size, Any* (*construct)(void* block) noexcept) const {
  auto* copy = static_cast<DataArrayBase*>(NewValue(size, construct));
  try {
    copy->CopyElementsOf(*this);
  } catch (...) {
    delete copy;
    throw;
  }
  return copy;
}

DataArrayBase::~DataArrayBase() { Detail::KeepElements(elements_); }

Type* DataArrayBase::_GetType() const { return _GetItemType()->GetArrayType(); }

void DataArrayBase::AppendAny(Any* element) { Push(element); }

// Any is a single base of every value, so the element found as `item` is the
// element itself.
void DataArrayBase::PushOfClass(Any* element, const std::type_info& item) {
  if (element != nullptr && &typeid(*element) != &item) FindClassIn(element, item);
  Push(element);
}

// Arrays are built an element at a time and are mostly short: room for a
// few at once saves the first regrowths.
void DataArrayBase::Push(Any* element) {
  if (elements_.capacity() == 0) elements_.reserve(kFirstCapacity);
  elements_.emplace_back(element);
}

bool DataArrayBase::_IsEqual(const Any* other, bool flag) const {
  auto* array = CastLike<DataArrayBase>(this, other);
  if (array == nullptr || array->elements_.size() != elements_.size()) return false;
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (!AreEqualAnysInt(elements_[i].Get(), array->elements_[i].Get(), 0, flag)) return false;
  }
  return true;
}

void DataArrayBase::_DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const {
  auto* array = CastLike<DataArrayBase>(this, other);
  if (array == nullptr || array->elements_.size() != elements_.size()) {
    // Elements added or removed: the array changed as a whole.
    diffs.AddChanged(path);
    return;
  }
  for (size_t i = 0; i < elements_.size(); ++i) {
    std::string index = "[";
    index += std::to_string(i);
    index += ']';
    DiffAnyPropertiesInt(elements_[i].Get(), array->elements_[i].Get(), path, index.c_str(), 0, diffs);
  }
}

void DataArrayBase::_Print(Printer& out) const {
  Type* type = _GetType();
  out.Open(type ? type->GetName() : "array", '[');
  for (const auto& e : elements_) {
    out.Element();
    out.Value(e.Get());
    out.EndMember();
  }
  out.Close(']');
}

Type* DynamicArray::_GetType() const { return TypeRegistry::Instance().FindByName("kettar.DynamicArray"); }

Type* DynamicArray::_GetItemType() const { return GetNoType<Any>(); }

}  // namespace Zamli
