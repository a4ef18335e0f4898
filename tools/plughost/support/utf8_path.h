// plughost keeps every path and text as UTF-8. On Windows the system is
// asked through its wide-character (UTF-16) interfaces, so a path of any
// language works whatever the ANSI code page; these helpers convert at that
// doorway. Natively the bytes go to the system as they are.
#pragma once

#include <cstdio>
#include <string>

namespace plughost {

#if defined(_WIN32)
// UTF-16 from UTF-8; bytes that are not UTF-8 become U+FFFD.
std::wstring wideText(const std::string& utf8);
// UTF-8 from UTF-16; a lone surrogate becomes U+FFFD.
std::string utf8Text(const std::wstring& wide);
std::string utf8Text(const wchar_t* wide);
#endif

// std::fopen for a UTF-8 path; nullptr (errno set) when it fails.
std::FILE* openFile(const std::string& path, const char* mode);

// Removes a file by its UTF-8 path; false when it could not.
bool removeFile(const std::string& path);

}  // namespace plughost
