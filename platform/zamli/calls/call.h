#pragma once
// The typed ends of a remote call: boxing arguments and results into runtime
// values and back. Client stubs, server objects and dispatch functions are
// one line per member on top of these templates.
#include <haldun/exception.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <zamli/calls/managed_object.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/narrow.h>
#include <zamli/values/primitive.h>

#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace Zamli::Call {

using Args = std::vector<Haldun::Ref<Any>>;

// -- arguments, caller side: each becomes a runtime value -------------------
template <class T>
Haldun::Ref<Any> BoxArg(T* value) {  // data objects, references, arrays: shared
  return Haldun::Ref<Any>(value);
}
inline Haldun::Ref<Any> BoxArg(bool value) { return Box(value); }
inline Haldun::Ref<Any> BoxArg(int value) { return Box(value); }
inline Haldun::Ref<Any> BoxArg(long value) { return Box(value); }
inline Haldun::Ref<Any> BoxArg(float value) { return Box(value); }
inline Haldun::Ref<Any> BoxArg(const Haldun::System::DateTime& value) { return Box(value); }
inline Haldun::Ref<Any> BoxArg(const std::string& value) { return Box(value); }
inline Haldun::Ref<Any> BoxArg(const std::vector<unsigned char>& value) { return Box(value); }
template <class V>
Haldun::Ref<Any> BoxArg(const Haldun::Optional<V>& value) {  // unset: null
  return value.IsSet() ? Box(value.GetValue()) : Haldun::Ref<Any>();
}

template <class... A>
Args BoxArgs(const A&... args) {
  Args boxed;
  boxed.reserve(sizeof...(A));
  (boxed.push_back(BoxArg(args)), ...);
  return boxed;
}

// -- arguments, serving side: each runtime value becomes the declared type ---
template <class P>
struct Arg;  // P is the declared parameter type

template <class T>
struct Arg<T*> {  // null stays null; anything else must be a T
  T* value;
  explicit Arg(Any* e) : value(NarrowTo<T>(e)) {}
  T* Get() const { return value; }
};

// A required value cannot be absent: refused rather than dereferenced.
[[noreturn]] ZAMLI_EXPORT void MissingValue(const std::type_info& expected);

template <class V>
V Unbox(Any* e) {
  auto* box = NarrowTo<Primitive<V>>(e);
  if (box == nullptr) MissingValue(typeid(Primitive<V>));
  return box->GetValue();
}

template <class V>
struct PlainArg {
  V value;
  explicit PlainArg(Any* e) : value(Unbox<V>(e)) {}
  const V& Get() const { return value; }
};
template <>
struct Arg<bool> : PlainArg<bool> {
  using PlainArg::PlainArg;
};
template <>
struct Arg<int> : PlainArg<int> {
  using PlainArg::PlainArg;
};
template <>
struct Arg<long> : PlainArg<long> {
  using PlainArg::PlainArg;
};
template <>
struct Arg<const std::string&> : PlainArg<std::string> {
  using PlainArg::PlainArg;
};
template <>
struct Arg<float> : PlainArg<float> {
  using PlainArg::PlainArg;
};
template <>
struct Arg<const Haldun::System::DateTime&> : PlainArg<Haldun::System::DateTime> {
  using PlainArg::PlainArg;
};
template <>
struct Arg<const std::vector<unsigned char>&> : PlainArg<std::vector<unsigned char>> {
  using PlainArg::PlainArg;
};
template <class V>
struct Arg<const Haldun::Optional<V>&> {  // null: unset
  Haldun::Optional<V> value;
  explicit Arg(Any* e) {
    if (e != nullptr) value = Unbox<V>(e);
  }
  const Haldun::Optional<V>& Get() const { return value; }
};

// -- results, serving side: the operation's result as a runtime value --------
template <class R>
Haldun::Ref<Any> BoxResult(const R& value) {
  if constexpr (std::is_same_v<R, bool> || std::is_same_v<R, int> || std::is_same_v<R, long> ||
                std::is_same_v<R, float> || std::is_same_v<R, std::string> ||
                std::is_same_v<R, Haldun::System::DateTime> || std::is_same_v<R, std::vector<unsigned char>>) {
    return Box(value);
  } else {
    return BoxArg(value);  // optionals: null when unset
  }
}

// -- results, caller side: the runtime value as the declared result ----------
template <class T>
void ConvertOut(Any* v, Haldun::Ref<T>& out) {
  if constexpr (std::is_same_v<T, Any>) {
    out = Haldun::Ref<Any>(v);
  } else if constexpr (std::is_base_of_v<Collection, T>) {
    // No value: a new, empty array of the declared class.
    out = v == nullptr ? Haldun::Ref<T>(new T()) : Haldun::Ref<T>(NarrowTo<T>(v));
  } else {
    out = Haldun::Ref<T>(NarrowTo<T>(v));
  }
}

template <class R>
struct OptionalOf {
  using type = void;
};
template <class V>
struct OptionalOf<Haldun::Optional<V>> {
  using type = V;
};

// By-value results; an optional one comes back unset for no value.
template <class R>
R ConvertResult(Any* v) {
  using V = typename OptionalOf<R>::type;
  if constexpr (!std::is_void_v<V>) {
    return v == nullptr ? R() : R(Unbox<V>(v));
  } else {
    return Unbox<R>(v);
  }
}

// -- the stub side of member k ----------------------------------------------
// With a by-value result R.
template <class R, class... A>
R Invoke(StubImpl& stub, ManagedMethod* method, const A&... args) {
  Args boxed = BoxArgs(args...);
  Haldun::Ref<Any> slot;
  stub._Invoke_Task(method, boxed, slot);
  return ConvertResult<R>(slot.Get());
}
// Without a result.
template <class... A>
void InvokeVoid(StubImpl& stub, ManagedMethod* method, const A&... args) {
  Args boxed = BoxArgs(args...);
  stub._Invoke_Task(method, boxed);
}
// With a result through an out-parameter, assigned only once converted.
template <class T, class... A>
void InvokeOut(StubImpl& stub, ManagedMethod* method, Haldun::Ref<T>& out, const A&... args) {
  Args boxed = BoxArgs(args...);
  Haldun::Ref<Any> slot;
  stub._Invoke_Task(method, boxed, slot);
  Haldun::Ref<T> converted;
  ConvertOut(slot.Get(), converted);
  out = std::move(converted);
}
template <class... A>
void Start(StubImpl& stub, ManagedMethod* method, const CompletionCallback& callback,
           Haldun::Ref<Haldun::System::ScheduledItem>& item, const A&... args) {
  stub._StartInvoke_Task(method, BoxArgs(args...), callback, item);
}

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

// What a server object answers for a member it does not implement.
template <class NotImplementedFault>
[[noreturn]] void RaiseNotImplemented() {
  Haldun::Ref<NotImplementedFault> fault(new NotImplementedFault());
  fault->ThrowInternal();
  __builtin_unreachable();  // ThrowInternal always throws
}

}  // namespace Zamli::Call
