#include "support/system_message.h"

#include "support/utf8_path.h"

namespace plughost {

std::string systemMessage(DWORD code, const std::string& file) {
  wchar_t buffer[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 buffer, sizeof buffer / sizeof buffer[0], nullptr);
  std::string message = utf8Text(buffer);
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
