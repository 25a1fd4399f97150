#pragma once
// How the codecs report bad input: as faults of the base interface, raised
// as their own exception classes, naming the path of the bad value.
#include <string>
#include <string_view>
#include <vector>

namespace Zamli::Wire {

enum class Problem {
  kInvalidArgument,  // malformed, unknown, missing, out of range
  kInvalidType,      // a type name that is unknown or does not fit
  kNotSupported,     // what the codec's version does not include
  kSystemError,      // an error that is not the input's fault
};

// Raises the fault for `problem`; `path` names the value ("hosts[2].name").
[[noreturn]] void Fail(Problem problem, const std::string& path, const std::string& message);

// Where a reader or writer is: a stack of names and array indexes, turned
// into a path only when an error needs one. Pushing and popping are a store
// and a count: they happen for every value.
class Path {
 public:
  void Push(std::string_view name) { Add(Frame{name, -1}); }
  void PushIndex(int index) { Add(Frame{{}, index}); }
  void Pop() { --size_; }
  std::string ToString() const;

  [[noreturn]] void Fail(Problem problem, const std::string& message) const {
    Wire::Fail(problem, ToString(), message);
  }

 private:
  struct Frame {
    std::string_view name;
    int index;
  };
  void Add(const Frame& frame) {
    if (size_ == frames_.size()) Grow();
    frames_[size_++] = frame;
  }
  void Grow();
  std::vector<Frame> frames_;
  size_t size_ = 0;
};

// Bad input as a message may show it: a fault must itself travel, so bytes
// that are not valid UTF-8 and control characters are shown as \xNN, and
// text past `max` bytes is cut ("...").
std::string Printable(std::string_view text, size_t max);

// A quoted excerpt of bad input for messages (Printable, 64 bytes).
std::string Quote(std::string_view text);

}  // namespace Zamli::Wire
