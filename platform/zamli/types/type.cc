#include <haldun/exception.h>
#include <zamli/codegen/field_table.h>
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>
#include <zamli/types/type.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace Zamli {

Type::Type(TypeKind kind, const TypeInfo* info, std::string name, std::string wsdlName, std::string version)
    : kind_(kind),
      info_(info),
      name_(std::move(name)),
      wsdlName_(std::move(wsdlName)),
      versionName_(std::move(version)) {}

Type::~Type() { delete arrayType_.load(std::memory_order_acquire); }

const Version* Type::GetVersion() const { return TypeRegistry::Instance().FindVersion(versionName_); }

ArrayType* Type::GetArrayType() const {
  ArrayType* existing = arrayType_.load(std::memory_order_acquire);
  if (existing != nullptr) return existing;
  auto* created = new ArrayType(this);
  // Two threads may race to create it; the loser's copy is dropped.
  if (!arrayType_.compare_exchange_strong(existing, created, std::memory_order_acq_rel)) {
    delete created;
    return existing;
  }
  return created;
}

PrimitiveType::PrimitiveType(const TypeInfo* info, std::string className)
    : Type(static_cast<TypeKind>(info->kind), info, info->name, info->wsdlName, info->version) {
  SetClassName(std::move(className));
}

namespace {
std::string ArrayWsdlName(const Type* item) {
  std::string wsdl = item->GetWsdlName();
  if (!wsdl.empty()) wsdl[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(wsdl[0])));
  return "ArrayOf" + wsdl;
}
}  // namespace

ArrayType::ArrayType(const Type* item)
    : Type(item->GetKind(), nullptr, item->GetName() + "[]", ArrayWsdlName(item), item->GetVersionName()),
      item_(item) {}

ValueKind ValueKindOf(const TypeInfo* type) {
  static constexpr std::pair<const TypeInfo*, ValueKind> kRecords[] = {
      {&gStringTypeInfo, ValueKind::kString},
      {&gBoolTypeInfo, ValueKind::kBool},
      {&gIntTypeInfo, ValueKind::kInt},
      {&gLongTypeInfo, ValueKind::kLong},
      {&gFloatTypeInfo, ValueKind::kFloat},
      {&gDateTimeTypeInfo, ValueKind::kDateTime},
      {&gBinaryTypeInfo, ValueKind::kBinary},
      {&gAnyTypeInfo, ValueKind::kAny},
      {&gKettarDynamicArrayTypeInfo, ValueKind::kDynamicArray}};
  for (const auto& [record, kind] : kRecords) {
    if (type == record) return kind;
  }
  if (type->kind == kManagedKind) return ValueKind::kMoRef;
  return type->kind == kEnumKind ? ValueKind::kEnum : ValueKind::kData;
}

namespace {
int CountRecords(const PropertyInfo* table) {
  int n = 0;
  while (table != nullptr && table[n].type != nullptr) ++n;
  return n;
}

PropertyRef Describe(const DataObjectType* owner, int index, const PropertyInfo* info) {
  PropertyRef p{owner, index, info};
  p.kind = ValueKindOf(info->type);
  p.optional = (info->flags & kOptionalFlag) != 0;
  p.array = (info->flags & kArrayFlag) != 0;
  p.secret = (info->flags & kSecretFlag) != 0;
  return p;
}
}  // namespace

DataObjectType::DataObjectType(const DataTypeInfo* info, DataObjectType* base, const FieldTable* fields)
    : Type(static_cast<TypeKind>(info->type->kind), info->type, info->type->name, info->type->wsdlName,
           info->type->version),
      dataInfo_(info),
      base_(base),
      ownCount_(CountRecords(info->properties)) {
  if (base_ != nullptr) all_ = base_->all_;
  for (int i = 0; i < ownCount_; ++i) all_.push_back(Describe(this, i, &info->properties[i]));
  if (fields != nullptr) SetFieldTable(*fields);
}

// Taken only when each entry stores what its record declares, so that code
// reading a value at its offset reads it as the kind it is.
void DataObjectType::SetFieldTable(const FieldTable& fields) {
  if (fields.count != ownCount_ || fields.properties != dataInfo_->properties) return;
  const size_t first = all_.size() - ownCount_;
  for (int i = 0; i < ownCount_; ++i) {
    const FieldEntry& e = fields.fields[i];
    const PropertyRef& p = all_[first + i];
    if (e.kind != p.kind || e.array != p.array || e.ops != FieldOpsOf(p.kind, p.optional, p.array)) return;
  }
  for (int i = 0; i < ownCount_; ++i) all_[first + i].offset = static_cast<int>(fields.fields[i].offset);
}

void DataObjectType::ResolvePropertyTypes(const TypeRegistry& registry) {
  for (PropertyRef& p : all_) {
    if (p.type == nullptr && (p.kind == ValueKind::kData || p.kind == ValueKind::kEnum)) {
      p.type = registry.FindByTypeInfo(p.info->type);
    }
  }
}

bool DataObjectType::IsA(const DataObjectType* other) const {
  for (const DataObjectType* t = this; t != nullptr; t = t->base_) {
    if (t == other) return true;
  }
  return false;
}

const PropertyInfo& DataObjectType::GetOwnProperty(int index) const {
  if (index < 0 || index >= ownCount_) {
    throw Haldun::OutOfRangeException("property index " + std::to_string(index) + " out of range for " + GetName());
  }
  return dataInfo_->properties[index];
}

const PropertyRef* DataObjectType::FindProperty(std::string_view name) const {
  // Searched from the most derived end: a derived declaration hides a base one.
  for (auto it = all_.rbegin(); it != all_.rend(); ++it) {
    if (name == it->info->name) return &*it;
  }
  return nullptr;
}

EnumType::EnumType(const EnumTypeInfo* info, const EnumFuncs& funcs)
    : Type(kEnumKind, info->typeInfo, info->typeInfo->name, info->typeInfo->wsdlName, info->typeInfo->version),
      enumInfo_(info),
      funcs_(funcs) {
  for (const char* const* tag = info->tags; tag != nullptr && *tag != nullptr; ++tag) tags_.emplace_back(*tag);
  TypeRegistry::Instance().AddType(this);
}

const std::string& EnumType::GetTag(int value) const {
  if (value < 0 || value >= GetTagCount()) {
    throw Haldun::OutOfRangeException("value " + std::to_string(value) + " is not an index of enumeration " +
                                      GetName() + " (" + std::to_string(GetTagCount()) + " tags)");
  }
  return tags_[static_cast<size_t>(value)];
}

int EnumType::FindValue(std::string_view tag) const {
  for (size_t i = 0; i < tags_.size(); ++i) {
    if (tags_[i] == tag) return static_cast<int>(i);
  }
  return -1;
}

int EnumType::GetValue(const std::string& tag) const {
  int value = FindValue(tag);
  if (value < 0) throw Haldun::NotFoundException("\"" + tag + "\" is not a tag of enumeration " + GetName());
  return value;
}

ManagedMethod::ManagedMethod(const ManagedObjectType* owner, int memberIndex, const MethodInfo* method,
                             const PropertyInfo* property)
    : owner_(owner), memberIndex_(memberIndex), method_(method), property_(property) {}

ManagedObjectType::ManagedObjectType(const ManagedTypeInfo* info)
    : Type(kManagedKind, info->typeInfo, info->typeInfo->name, info->typeInfo->wsdlName, info->typeInfo->version),
      managedInfo_(info) {
  while (info->methods != nullptr && info->methods[methodCount_].name != nullptr) ++methodCount_;
  propertyCount_ = CountRecords(info->properties);
  members_.reserve(static_cast<size_t>(methodCount_ + propertyCount_));
  for (int k = 0; k < methodCount_; ++k) members_.push_back(new ManagedMethod(this, k, &info->methods[k], nullptr));
  for (int p = 0; p < propertyCount_; ++p) {
    members_.push_back(new ManagedMethod(this, methodCount_ + p, nullptr, &info->properties[p]));
  }
  if (info->methodObjects != nullptr) {
    std::copy(members_.begin(), members_.end(), info->methodObjects);
  }
}

ManagedObjectType::~ManagedObjectType() {
  for (ManagedMethod* m : members_) delete m;
}

ManagedMethod* ManagedObjectType::GetMember(int memberIndex) const {
  if (memberIndex < 0 || memberIndex >= GetMemberCount()) {
    throw Haldun::OutOfRangeException("member index " + std::to_string(memberIndex) + " out of range for " + GetName() +
                                      " (" + std::to_string(GetMemberCount()) + " members)");
  }
  return members_[static_cast<size_t>(memberIndex)];
}

ManagedMethod* ManagedObjectType::FindMethod(std::string_view name) const {
  for (int k = 0; k < methodCount_; ++k) {
    if (name == managedInfo_->methods[k].name) return members_[static_cast<size_t>(k)];
  }
  return nullptr;
}

ManagedMethod* ManagedObjectType::FindMethodByWsdlName(std::string_view wsdlName) const {
  for (int k = 0; k < methodCount_; ++k) {
    if (wsdlName == managedInfo_->methods[k].wsdlName) return members_[static_cast<size_t>(k)];
  }
  return nullptr;
}

ManagedMethod* ManagedObjectType::FindPropertyReader(std::string_view name) const {
  for (int p = 0; p < propertyCount_; ++p) {
    if (name == managedInfo_->properties[p].name) return members_[static_cast<size_t>(methodCount_ + p)];
  }
  return nullptr;
}

}  // namespace Zamli
