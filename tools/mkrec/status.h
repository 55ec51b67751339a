// The outcome of an operation that can fail for reasons a user must be told:
// either fine, or a one-line message saying what went wrong.
#pragma once

#include <string>
#include <utility>

namespace vesk::mkrec {

class Status {
 public:
  static Status Ok() { return Status(); }
  static Status Error(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }

 private:
  Status() = default;
  explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  std::string message_;
};

}  // namespace vesk::mkrec
