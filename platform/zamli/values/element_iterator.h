#pragma once
// A random-access iterator that yields the stored elements converted, so that
// a typed array can present its shared storage as T* or E values to range-for
// and the standard algorithms.
#include <compare>
#include <cstddef>
#include <iterator>
#include <utility>

namespace Zamli {

template <class Inner, class Convert>
class ElementIterator {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using iterator_concept = std::random_access_iterator_tag;
  using value_type = decltype(Convert{}(*std::declval<Inner>()));
  using difference_type = std::ptrdiff_t;
  using reference = value_type;
  using pointer = void;

  ElementIterator() = default;
  explicit ElementIterator(Inner inner) : inner_(inner) {}

  value_type operator*() const { return Convert{}(*inner_); }
  value_type operator[](difference_type n) const { return Convert{}(inner_[n]); }

  ElementIterator& operator++() {
    ++inner_;
    return *this;
  }
  ElementIterator operator++(int) { return ElementIterator(inner_++); }
  ElementIterator& operator--() {
    --inner_;
    return *this;
  }
  ElementIterator operator--(int) { return ElementIterator(inner_--); }
  ElementIterator& operator+=(difference_type n) {
    inner_ += n;
    return *this;
  }
  ElementIterator& operator-=(difference_type n) {
    inner_ -= n;
    return *this;
  }
  friend ElementIterator operator+(ElementIterator i, difference_type n) { return i += n; }
  friend ElementIterator operator+(difference_type n, ElementIterator i) { return i += n; }
  friend ElementIterator operator-(ElementIterator i, difference_type n) { return i -= n; }
  friend difference_type operator-(const ElementIterator& a, const ElementIterator& b) { return a.inner_ - b.inner_; }
  friend bool operator==(const ElementIterator& a, const ElementIterator& b) { return a.inner_ == b.inner_; }
  friend auto operator<=>(const ElementIterator& a, const ElementIterator& b) { return a.inner_ <=> b.inner_; }

 private:
  Inner inner_{};
};

}  // namespace Zamli
