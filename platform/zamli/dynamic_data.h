#pragma once
// The base of every data object, and the runtime's own data types.
#include <haldun/date_time.h>
#include <haldun/exception.h>
#include <haldun/http.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <zamli/any.h>
#include <zamli/array.h>
#include <zamli/data_array.h>
#include <zamli/mo_ref.h>

#include <string>

namespace Zamli {

class DataObjectType;

// kettar.DynamicData. Copying copies no reference count: a copy starts at 0.
class ZAMLI_EXPORT DynamicData : public Any {
 public:
  DynamicData() = default;
  DynamicData(const DynamicData& other) = default;
  ~DynamicData() override;
  virtual DataObjectType* _GetDataType() const = 0;
  // The generic difference, through the type's records: every property of
  // the chain, base first. Generated classes override it with the same
  // result; fault classes keep it.
  void _DiffProperties(const Any* other, const std::string& path, PropertyDiffSet& diffs) const override;
  // Through the records: every set property, base first.
  void _Print(Printer& out) const override;
};

class LocalizableMessage;

// kettar.MethodFault: the root of all faults. A fault is raised as its own
// exception class F::Exception, which derives from the exception class of
// F's base fault, so that a handler can catch a whole family.
class ZAMLI_EXPORT MethodFault : public DynamicData {
 public:
  class Exception;

  Haldun::Ref<MethodFault> faultCause;
  Haldun::Ref<DataArray<LocalizableMessage>> faultMessage;

  // What a server answers a call with when it raises the fault.
  virtual Haldun::Http::ResponseCode GetResponseCode() const;
  // Throws this fault's own exception class, carrying this very fault.
  [[noreturn]] virtual void ThrowInternal() const;
  [[noreturn]] virtual void ThrowFault() const;
  // The same exception, on the heap, not thrown; the caller owns it.
  virtual Exception* CreateException() const;

  MethodFault();
  MethodFault(const MethodFault& other);
  ~MethodFault() override;
  Type* _GetType() const override;
  Any* _Clone() const override;
  bool _IsEqual(const Any* other, bool flag) const override;
  DataObjectType* _GetDataType() const override;
  DataArray<LocalizableMessage>* GetFaultMessage();
};

// Carries a counted reference to the fault (shared, not copied); the message
// is "Fault cause: " + the fault type's name + a line feed.
class ZAMLI_EXPORT MethodFault::Exception : public Haldun::ThrowableImpl<MethodFault::Exception, Haldun::Exception> {
 public:
  explicit Exception(const MethodFault* fault, const char* file = __builtin_FILE(), int line = __builtin_LINE());
  MethodFault* GetFault() const { return fault_.Get(); }

 private:
  Haldun::Ref<MethodFault> fault_;
};

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
ZAMLI_EXPORT DataObjectType* GetDoType<DynamicData>();
template <>
ZAMLI_EXPORT DataObjectType* GetDoType<MethodFault>();
template <>
ZAMLI_EXPORT DataObjectType* GetDoType<KeyAnyValue>();
template <>
ZAMLI_EXPORT DataObjectType* GetDoType<LocalizableMessage>();

extern template class ZAMLI_EXPORT DataArray<DynamicData>;
extern template class ZAMLI_EXPORT DataArray<MethodFault>;
extern template class ZAMLI_EXPORT DataArray<KeyAnyValue>;
extern template class ZAMLI_EXPORT DataArray<LocalizableMessage>;
extern template class ZAMLI_EXPORT DataArray<MoRef>;

}  // namespace Zamli
