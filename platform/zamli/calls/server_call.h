#pragma once
// The server side of a remote call: a server base's unimplemented member and
// a dispatch function's case are one line on top of these.
#include <haldun/exception.h>
#include <haldun/ref.h>
#include <zamli/calls/call_values.h>
#include <zamli/calls/server_object.h>

#include <tuple>
#include <type_traits>
#include <utility>

namespace Zamli {
class MethodFault;
}  // namespace Zamli

namespace Zamli::Call {

// -- the server object side: an unimplemented member, boxed for the handler --
template <class R, class... A>
R Unimplemented(ServerObject& self, int member, const A&... args) {
  Args boxed = BoxArgs(args...);
  Haldun::Ref<Any> slot;
  self._Unimplemented(member, boxed, slot);
  if constexpr (!std::is_void_v<R>) return ConvertResult<R>(slot.Get());
}
template <class T, class... A>
void UnimplementedOut(ServerObject& self, int member, Haldun::Ref<T>& out, const A&... args) {
  Args boxed = BoxArgs(args...);
  Haldun::Ref<Any> slot;
  self._Unimplemented(member, boxed, slot);
  Haldun::Ref<T> converted;
  if (slot) ConvertOut(slot.Get(), converted);
  out = std::move(converted);
}

// -- the dispatch side: one member of interface I -----------------------------
template <class I>
I* Target(ManagedObject* obj) {
  if (obj == nullptr) throw Haldun::InvalidArgumentException("no object to dispatch the call to");
  if (auto* target = dynamic_cast<I*>(obj)) return target;
  Haldun::ThrowTypeMismatchException(typeid(I), typeid(*obj));
}

ZAMLI_EXPORT void CheckArgumentCount(const Args& args, size_t declared);

template <class Out>
struct IsOutParameter : std::false_type {};
template <class T>
struct IsOutParameter<Haldun::Ref<T>&> : std::true_type {
  using Target = T;
};

template <class I, class R, class... P, size_t... N>
void ServeWith(I* self, R (I::*operation)(P...), Args& args, Haldun::Ref<Any>& result, std::index_sequence<N...>) {
  // Converted in declared order; the first mismatch stops the call.
  std::tuple<Arg<P>...> converted{Arg<P>(args[N].Get())...};
  if constexpr (std::is_void_v<R>) {
    (self->*operation)(std::get<N>(converted).Get()...);
  } else {
    R value = (self->*operation)(std::get<N>(converted).Get()...);
    result = BoxResult(value);
  }
}

// Whether the last parameter is the result's out-parameter.
template <class... P>
struct LastIsOut : std::false_type {};
template <class P0, class... P>
struct LastIsOut<P0, P...> : IsOutParameter<std::tuple_element_t<sizeof...(P), std::tuple<P0, P...>>> {};

template <class I, class R, class... P>
void Serve(I* self, R (I::*operation)(P...), Args& args, Haldun::Ref<Any>& result) {
  if constexpr (LastIsOut<P...>::value) {
    using Out = typename LastIsOut<P...>::Target;
    CheckArgumentCount(args, sizeof...(P) - 1);
    Haldun::Ref<Out> out;
    auto call = [&]<size_t... N>(std::index_sequence<N...>) {
      std::tuple<Arg<std::tuple_element_t<N, std::tuple<P...>>>...> converted{
          Arg<std::tuple_element_t<N, std::tuple<P...>>>(args[N].Get())...};
      (self->*operation)(std::get<N>(converted).Get()..., out);
    };
    call(std::make_index_sequence<sizeof...(P) - 1>{});
    result = Haldun::Ref<Any>(out.Get());
  } else {
    CheckArgumentCount(args, sizeof...(P));
    ServeWith(self, operation, args, result, std::index_sequence_for<P...>{});
  }
}

// A member index outside the type's members.
[[noreturn]] ZAMLI_EXPORT void NoSuchMember(const char* type, int member, int count);

// Adds the message that names the member of `type` that was called.
ZAMLI_EXPORT void DescribeNotImplemented(MethodFault& fault, const ManagedObjectType* type, int member);

// What a server object of `type` answers for a member it does not implement.
template <class NotImplementedFault>
[[noreturn]] void RaiseNotImplemented(const ManagedObjectType* type, int member) {
  Haldun::Ref<NotImplementedFault> fault(new NotImplementedFault());
  DescribeNotImplemented(*fault, type, member);
  fault->ThrowInternal();
  __builtin_unreachable();  // ThrowInternal always throws
}

}  // namespace Zamli::Call
