#pragma once
// Boxing the arguments and results of a remote call into runtime values and
// back: what the client and the server side of calls share.
#include <haldun/exception.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
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

}  // namespace Zamli::Call
