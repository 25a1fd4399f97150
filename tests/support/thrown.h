#pragma once
// Catching what a call must throw, to check what the error says.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace PelkTest {

// Runs `call`, which must throw E: answers a copy of what it threw, or
// nothing (having reported a failure) when it threw nothing. Whatever else
// it throws goes on.
template <class E>
std::optional<E> Thrown(const std::function<void()>& call, const std::string& what = "") {
  try {
    call();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << what << (what.empty() ? "" : ": ") << "nothing thrown";
  return std::nullopt;
}

}  // namespace PelkTest
