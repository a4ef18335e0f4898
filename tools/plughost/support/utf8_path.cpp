#include "support/utf8_path.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace plughost {

#if defined(_WIN32)
std::wstring wideText(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string utf8Text(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::string utf8Text(const wchar_t* wide) {
  return wide ? utf8Text(std::wstring(wide)) : std::string();
}
#endif

std::FILE* openFile(const std::string& path, const char* mode) {
#if defined(_WIN32)
  return _wfopen(wideText(path).c_str(), wideText(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool removeFile(const std::string& path) {
#if defined(_WIN32)
  return DeleteFileW(wideText(path).c_str()) != 0;
#else
  return std::remove(path.c_str()) == 0;
#endif
}

}  // namespace plughost
