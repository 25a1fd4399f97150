#pragma once
// The runtime's type objects, built from the descriptor records at registration.
#include <zamli/types/records.h>
#include <zamli/types/value_kind.h>
#include <zamli/types/version.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace Zamli {

class ArrayType;
class TypeRegistry;

class ZAMLI_EXPORT Type {
 public:
  virtual ~Type();
  Type(const Type&) = delete;
  Type& operator=(const Type&) = delete;

  TypeKind GetKind() const { return kind_; }
  // The name record; null for array types, which have none.
  const TypeInfo* GetTypeInfo() const { return info_; }
  const std::string& GetName() const { return name_; }
  const std::string& GetWsdlName() const { return wsdlName_; }
  const std::string& GetVersionName() const { return versionName_; }
  // Resolved through the registry; null when the version is unknown.
  const Version* GetVersion() const;
  // The namespace whose type list holds this type; null for the runtime's own.
  const Namespace* GetNamespace() const { return namespace_; }
  // The C++ class of the type's values, as its type library names it.
  const std::string& GetClassName() const { return className_; }
  // The type of sequences of this type; created on first use.
  ArrayType* GetArrayType() const;
  virtual bool IsArray() const { return false; }

 protected:
  Type(TypeKind kind, const TypeInfo* info, std::string name, std::string wsdlName, std::string version);
  void SetClassName(std::string className) { className_ = std::move(className); }

 private:
  friend class TypeRegistry;
  friend class TypeInfoLoader;
  TypeKind kind_;
  const TypeInfo* info_;
  std::string name_;
  std::string wsdlName_;
  std::string versionName_;
  std::string className_;
  const Namespace* namespace_ = nullptr;
  mutable std::atomic<ArrayType*> arrayType_{nullptr};
};

class ZAMLI_EXPORT PrimitiveType : public Type {
 public:
  PrimitiveType(const TypeInfo* info, std::string className);
};

class ZAMLI_EXPORT ArrayType : public Type {
 public:
  explicit ArrayType(const Type* item);
  const Type* GetItemType() const { return item_; }
  bool IsArray() const override { return true; }

 private:
  const Type* item_;
};

class DataObjectType;
struct FieldTable;

// A property as seen from a data type, inherited ones included: its record
// and how its value is stored, worked out once when its type registers.
struct PropertyRef {
  const DataObjectType* owner;  // the type that declares it
  int index;                    // its index in the owner's own table
  const PropertyInfo* info;
  ValueKind kind = ValueKind::kAny;
  bool optional = false;
  bool array = false;
  bool secret = false;
  // kData and kEnum: the declared type, resolved when its type library has
  // registered; null while it is not registered.
  const Type* type = nullptr;
  // Where the value lies in an object of the owner's class, from its field
  // table; -1 when the class gave none, and only the records reach it.
  int offset = -1;

  // Stored in place: getPropertyAddr hands out the value, not a reference.
  bool IsInline() const { return !array && IsPrimitive(kind); }
};

class ZAMLI_EXPORT DataObjectType : public Type {
 public:
  // `fields`, when given, must describe the same properties as the records:
  // a table that does not is ignored, and HasFieldOffsets says so.
  DataObjectType(const DataTypeInfo* info, DataObjectType* base, const FieldTable* fields = nullptr);
  const DataTypeInfo* GetDataTypeInfo() const { return dataInfo_; }
  // Null for the root, kettar.DynamicData.
  DataObjectType* GetBase() const { return base_; }
  bool IsFault() const { return GetKind() == kFaultKind; }
  // True when this type is `other` or derives from it.
  bool IsA(const DataObjectType* other) const;
  int GetOwnPropertyCount() const { return ownCount_; }
  const PropertyInfo& GetOwnProperty(int index) const;
  // Inherited properties first, from the root down, then the type's own.
  const std::vector<PropertyRef>& GetAllProperties() const { return all_; }
  const PropertyRef* FindProperty(std::string_view name) const;
  // Resolves the declared types of data and enumeration properties that are
  // registered in `registry` by now; called again once all the types of a
  // type library are, since a property may name a type listed after its own.
  void ResolvePropertyTypes(const TypeRegistry& registry);
  // True when every own property has its place in the object.
  bool HasFieldOffsets() const { return ownCount_ == 0 || all_.back().offset >= 0; }

 private:
  void SetFieldTable(const FieldTable& fields);
  const DataTypeInfo* dataInfo_;
  DataObjectType* base_;
  int ownCount_ = 0;
  std::vector<PropertyRef> all_;
};

class ZAMLI_EXPORT EnumType : public Type {
 public:
  EnumType(const EnumTypeInfo* info, const EnumFuncs& funcs);
  const EnumTypeInfo* GetEnumTypeInfo() const { return enumInfo_; }
  const EnumFuncs& GetFuncs() const { return funcs_; }
  int GetTagCount() const { return static_cast<int>(tags_.size()); }
  // The tag of a value index; an index outside the list is an error
  // (Haldun::OutOfRangeException), never undefined behaviour.
  const std::string& GetTag(int value) const;
  // The value index of a tag; an unknown tag is an error (Haldun::NotFoundException).
  int GetValue(const std::string& tag) const;
  // The value index of a tag, or -1.
  int FindValue(std::string_view tag) const;

 private:
  const EnumTypeInfo* enumInfo_;
  EnumFuncs funcs_;
  std::vector<std::string> tags_;
};

class ManagedObjectType;

// A callable member of a managed type: a method, or the reader of a property.
class ZAMLI_EXPORT ManagedMethod {
 public:
  ManagedMethod(const ManagedObjectType* owner, int memberIndex, const MethodInfo* method,
                const PropertyInfo* property);
  const ManagedObjectType* GetOwner() const { return owner_; }
  int GetMemberIndex() const { return memberIndex_; }
  bool IsPropertyReader() const { return method_ == nullptr; }
  // Null for a property reader.
  const MethodInfo* GetMethodInfo() const { return method_; }
  // Null for a method.
  const PropertyInfo* GetPropertyInfo() const { return property_; }
  const char* GetName() const { return method_ ? method_->name : property_->name; }

 private:
  const ManagedObjectType* owner_;
  int memberIndex_;
  const MethodInfo* method_;
  const PropertyInfo* property_;
};

class ZAMLI_EXPORT ManagedObjectType : public Type {
 public:
  explicit ManagedObjectType(const ManagedTypeInfo* info);
  ~ManagedObjectType() override;
  const ManagedTypeInfo* GetManagedTypeInfo() const { return managedInfo_; }
  int GetMethodCount() const { return methodCount_; }
  int GetPropertyCount() const { return propertyCount_; }
  // Methods first, in table order, then property readers.
  int GetMemberCount() const { return methodCount_ + propertyCount_; }
  ManagedMethod* GetMember(int memberIndex) const;
  ManagedMethod* FindMethod(std::string_view name) const;
  ManagedMethod* FindMethodByWsdlName(std::string_view wsdlName) const;
  // The reader of the property `name`; null when the type has none.
  ManagedMethod* FindPropertyReader(std::string_view name) const;

 private:
  const ManagedTypeInfo* managedInfo_;
  int methodCount_ = 0;
  int propertyCount_ = 0;
  std::vector<ManagedMethod*> members_;
};

}  // namespace Zamli
