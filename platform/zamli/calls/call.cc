// The out-of-line refusals of the call templates in call.h.
#include <zamli/calls/call.h>
#include <zamli/types/type.h>
#include <zamli/values/localizable_message.h>
#include <zamli/values/method_fault.h>

#include <iterator>
#include <string>

namespace Zamli::Call {
namespace {
Args TakeArgs(Haldun::Ref<Any>* args, size_t count) {
  return Args(std::make_move_iterator(args), std::make_move_iterator(args + count));
}
}  // namespace

void InvokeBoxed(StubImpl& stub, ManagedMethod* method, Haldun::Ref<Any>* args, size_t count, Haldun::Ref<Any>& slot) {
  Args list = TakeArgs(args, count);
  stub._Invoke_Task(method, list, slot);
}

void InvokeBoxed(StubImpl& stub, ManagedMethod* method, Haldun::Ref<Any>* args, size_t count) {
  Args list = TakeArgs(args, count);
  stub._Invoke_Task(method, list);
}

void StartBoxed(StubImpl& stub, ManagedMethod* method, Haldun::Ref<Any>* args, size_t count,
                const CompletionCallback& callback, Haldun::Ref<Haldun::System::ScheduledItem>& item) {
  stub._StartInvoke_Task(method, TakeArgs(args, count), callback, item);
}

void MissingValue(const std::type_info& expected) {
  throw Haldun::InvalidArgumentException("a required value of " + Haldun::Demangle(expected) + " is missing");
}

void CheckArgumentCount(const Args& args, size_t declared) {
  if (args.size() < declared) {
    throw Haldun::InvalidArgumentException("the call has " + std::to_string(args.size()) + " arguments, the member " +
                                           "declares " + std::to_string(declared));
  }
}

void NoSuchMember(const char* type, int member, int count) {
  throw Haldun::OutOfRangeException("member index " + std::to_string(member) + " is not a member of " + type + " (" +
                                    std::to_string(count) + " members)");
}

void DescribeNotImplemented(MethodFault& fault, const ManagedObjectType* type, int member) {
  std::string what = "member " + std::to_string(member);
  if (type != nullptr) {
    what = member >= 0 && member < type->GetMemberCount() ? type->GetName() + "." + type->GetMember(member)->GetName()
                                                          : what + " of " + type->GetName();
  }
  Haldun::Ref<LocalizableMessage> message(new LocalizableMessage());
  message->key = "kettar.fault.NotImplemented.member";
  message->message = what + " is not implemented by this server";
  fault.GetFaultMessage()->Append(message);
}
}  // namespace Zamli::Call
