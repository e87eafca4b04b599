// Where library code sends the few messages it shows to the user (the
// message boxes of the Windows design). The application connects one that
// opens a message box; tests record the texts. Without a sink, messages are
// dropped.
#pragma once

#include <string>
#include <vector>

enum : unsigned { MB_OK = 0x0, MB_ICONERROR = 0x10, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40 };

class CMessageSink {
public:
  virtual ~CMessageSink() = default;
  // Shows `text` with an optional caption; returns the button chosen (IDOK = 1).
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned style) = 0;
};

// Keeps every message, for tests and headless tools.
class CRecordingMessageSink : public CMessageSink {
public:
  struct Message {
    std::string text;
    std::string caption;
    unsigned style;
  };
  int ShowMessage(const std::string& text, const std::string& caption, unsigned style) override {
    messages.push_back({text, caption, style});
    return 1;
  }
  std::vector<Message> messages;
};

// Sends a message to `sink` when there is one.
inline int ShowMessageTo(CMessageSink* sink, const std::string& text, const std::string& caption = "",
                         unsigned style = MB_OK) {
  return sink ? sink->ShowMessage(text, caption, style) : 1;
}
