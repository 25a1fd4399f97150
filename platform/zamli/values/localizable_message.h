#pragma once
// The runtime's message data types: a key with arguments and its text.
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <zamli/values/dynamic_data.h>

#include <string>

namespace Zamli {

// kettar.KeyAnyValue: a key with a value of any type.
class ZAMLI_EXPORT KeyAnyValue : public DynamicData {
 public:
  std::string key;
  Haldun::Ref<Any> value;

  KeyAnyValue();
  KeyAnyValue(const KeyAnyValue& other);
  ~KeyAnyValue() override;
  Type* _GetType() const override;
  Any* _Clone() const override;
  bool _IsEqual(const Any* other, bool flag) const override;
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  DataObjectType* _GetDataType() const override;
};

// kettar.LocalizableMessage: a message key, its arguments, and the text.
class ZAMLI_EXPORT LocalizableMessage : public DynamicData {
 public:
  std::string key;
  Haldun::Ref<DataArray<KeyAnyValue>> arg;
  Haldun::Optional<std::string> message;

  LocalizableMessage();
  LocalizableMessage(const LocalizableMessage& other);
  ~LocalizableMessage() override;
  Type* _GetType() const override;
  Any* _Clone() const override;
  bool _IsEqual(const Any* other, bool flag) const override;
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  DataObjectType* _GetDataType() const override;
  DataArray<KeyAnyValue>* GetArg();
};

template <>
ZAMLI_EXPORT DataObjectType* GetDoType<KeyAnyValue>();
template <>
ZAMLI_EXPORT DataObjectType* GetDoType<LocalizableMessage>();

extern template class ZAMLI_EXPORT DataArray<KeyAnyValue>;
extern template class ZAMLI_EXPORT DataArray<LocalizableMessage>;

}  // namespace Zamli
