#include "support/system_message.h"

namespace plughost {

std::string systemMessage(DWORD code, const std::string& file) {
  char buffer[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 buffer, sizeof buffer, nullptr);
  std::string message = buffer;
  const std::string name = file.empty() ? "the file" : file.substr(file.find_last_of("\\/") + 1);
  for (auto at = message.find("%1"); at != std::string::npos; at = message.find("%1", at)) {
    message.replace(at, 2, name);
    at += name.size();
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace plughost
