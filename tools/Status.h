// Outcome of a tool step: success, or a one-line message for the user.
#pragma once

#include <string>
#include <utility>

class Status {
public:
  static Status Ok() { return Status(); }
  static Status Fail(std::string message) {
    Status status;
    status.m_message = message.empty() ? std::string("failed") : std::move(message);
    return status;
  }

  bool ok() const { return m_message.empty(); }
  const std::string& message() const { return m_message; }

private:
  std::string m_message;
};
