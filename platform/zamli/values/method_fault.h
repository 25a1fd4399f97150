#pragma once
// kettar.MethodFault, the root of every fault, and the exception it is raised as.
#include <haldun/exception.h>
#include <haldun/http.h>
#include <haldun/ref.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/localizable_message.h>

namespace Zamli {

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

template <>
ZAMLI_EXPORT DataObjectType* GetDoType<MethodFault>();

extern template class ZAMLI_EXPORT DataArray<MethodFault>;

}  // namespace Zamli
