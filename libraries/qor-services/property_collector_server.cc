#include <qor-services/property_collector_server.h>
#include <qor/kettar/fault/InvalidArgument.h>
#include <qor/kettar/fault/ManagedObjectNotFound.h>
#include <qor/kettar/query/InvalidProperty.h>
#include <qor/kettar/query/PropertyCollector/FilterSpec.h>
#include <qor/kettar/query/PropertyCollector/ObjectContent.h>
#include <zamli/types/type.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/localizable_message.h>
#include <zamli/values/primitive.h>
#include <zamli/values/property_value.h>

#include <string_view>
#include <type_traits>

namespace Qor::Services {

namespace {

using Zamli::Core::PropertyCollector;

[[noreturn]] void RaiseInvalidProperty(const std::string& path) {
  Haldun::Ref<Zamli::Core::InvalidProperty> fault(new Zamli::Core::InvalidProperty());
  fault->name = path;
  fault->ThrowInternal();
  __builtin_unreachable();  // ThrowInternal always throws
}

[[noreturn]] void RaiseNotFound(Zamli::MoRef* ref) {
  Haldun::Ref<Zamli::Fault::ManagedObjectNotFound> fault(new Zamli::Fault::ManagedObjectNotFound());
  fault->obj = Haldun::Ref<Zamli::MoRef>(ref);
  fault->ThrowInternal();
  __builtin_unreachable();  // ThrowInternal always throws
}

// The property `name` of a data value, boxed; null when it is unset.
Haldun::Ref<Zamli::Any> DataProperty(Zamli::Any* value, std::string_view name, const std::string& path) {
  auto* data = dynamic_cast<Zamli::DynamicData*>(value);
  const Zamli::PropertyRef* p = data ? data->_GetDataType()->FindProperty(name) : nullptr;
  if (p == nullptr) RaiseInvalidProperty(path);
  const Zamli::DataTypeInfo& info = *p->owner->GetDataTypeInfo();
  if (!info.isPropertySet(data, p->index)) return {};
  return Zamli::VisitValue(*p, info.getPropertyAddr(data, p->index), [](const auto& v) -> Haldun::Ref<Zamli::Any> {
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(v)>, const Zamli::Any*>) {
      return Haldun::Ref<Zamli::Any>(const_cast<Zamli::Any*>(v));
    } else {
      return Zamli::Box(v);
    }
  });
}

class ObjectReader {
 public:
  ObjectReader(Zamli::ObjectDirectory& directory, Zamli::MoRef& ref, const Zamli::ManagedObjectType& type)
      : directory_(directory), ref_(ref), type_(type) {}

  // The value at `path`; null when something along it is unset.
  Haldun::Ref<Zamli::Any> Read(const std::string& path) {
    std::string_view rest = path;
    size_t dot = rest.find('.');
    const Zamli::ManagedMethod* reader = type_.FindPropertyReader(rest.substr(0, dot));
    if (reader == nullptr) RaiseInvalidProperty(path);
    std::vector<Haldun::Ref<Zamli::Any>> none;
    Haldun::Ref<Zamli::Any> value = directory_.Dispatch(ref_, *reader, none);
    while (dot != std::string_view::npos && value) {
      rest = rest.substr(dot + 1);
      dot = rest.find('.');
      value = DataProperty(value.Get(), rest.substr(0, dot), path);
    }
    return value;
  }

 private:
  Zamli::ObjectDirectory& directory_;
  Zamli::MoRef& ref_;
  const Zamli::ManagedObjectType& type_;
};

std::vector<std::string> PathsOf(const PropertyCollector::FilterSpec& spec, const Zamli::ManagedObjectType& type) {
  std::vector<std::string> paths;
  if (spec.all.ValueOr(false)) {
    const Zamli::PropertyInfo* properties = type.GetManagedTypeInfo()->properties;
    for (int p = 0; p < type.GetPropertyCount(); ++p) paths.emplace_back(properties[p].name);
  } else if (spec.pathSet) {
    paths = spec.pathSet->GetValues();
  }
  return paths;
}

}  // namespace

PropertyCollectorServer::PropertyCollectorServer(Zamli::ObjectDirectory& directory, const std::string& id)
    : Zamli::Core::PropertyCollectorServer(id), directory_(directory) {}

void PropertyCollectorServer::RetrieveContents(
    Zamli::DataArray<PropertyCollector::FilterSpec>* specSet,
    Haldun::Ref<Zamli::DataArray<PropertyCollector::ObjectContent>>& result) {
  Haldun::Ref<Zamli::DataArray<PropertyCollector::ObjectContent>> contents(
      new Zamli::DataArray<PropertyCollector::ObjectContent>());
  for (size_t s = 0; specSet != nullptr && s < specSet->GetLength(); ++s) {
    PropertyCollector::FilterSpec* spec = specSet->Get(s);
    if (spec == nullptr || !spec->objects) continue;
    for (size_t o = 0; o < spec->objects->GetLength(); ++o) {
      Zamli::MoRef* ref = spec->objects->Get(o);
      if (ref == nullptr) continue;
      Haldun::Ref<Zamli::ManagedObject> object = directory_.Find(*ref);
      Haldun::Ref<PropertyCollector::ObjectContent> content(new PropertyCollector::ObjectContent());
      content->obj = Haldun::Ref<Zamli::MoRef>(ref);
      if (!object) {
        if (!spec->reportMissingObjectsInResults.ValueOr(false)) RaiseNotFound(ref);
        contents->Append(content);
        continue;
      }
      const auto* type = dynamic_cast<const Zamli::ManagedObjectType*>(object->_GetType());
      if (type == nullptr) RaiseNotFound(ref);
      ObjectReader reader(directory_, *ref, *type);
      for (const std::string& path : PathsOf(*spec, *type)) {
        Haldun::Ref<Zamli::Any> value = reader.Read(path);
        if (!value) {
          content->GetMissingSet()->Append(path);
          continue;
        }
        Haldun::Ref<Zamli::KeyAnyValue> pair(new Zamli::KeyAnyValue());
        pair->key = path;
        pair->value = value;
        content->GetPropSet()->Append(pair);
      }
      contents->Append(content);
    }
  }
  result = contents;
}

}  // namespace Qor::Services
