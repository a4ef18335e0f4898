#include "installation/installation_rules.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace installation {
namespace {

constexpr char kForbidden[] = "\\/:*?\"<>|";

bool isPrintableAscii(char c) {
  return c >= 0x20 && c <= 0x7E;
}

bool isReservedDeviceName(const std::string& name) {
  // Windows reserves the device names whatever extension follows them.
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string effectNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name.size() > kMaxNameLength) {
    return "is longer than " + std::to_string(kMaxNameLength) + " characters";
  }
  for (char c : name) {
    if (!isPrintableAscii(c)) return "holds a character other than printable ASCII";
  }
  const auto bad = name.find_first_of(kForbidden);
  if (bad != std::string::npos)
    return std::string("holds '") + name[bad] + "', which file names cannot";
  if (name.back() == '.' || name.back() == ' ') return "ends in a dot or a space";
  if (isReservedDeviceName(name)) return "is a name Windows reserves for a device";
  return "";
}

std::string guidProblem(const std::string& guid) {
  static constexpr char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  bool fits = guid.size() == sizeof(kShape) - 1;
  for (std::size_t i = 0; fits && i < guid.size(); ++i) {
    fits = kShape[i] == 'X' ? std::isxdigit(static_cast<unsigned char>(guid[i])) != 0
                            : guid[i] == kShape[i];
  }
  return fits ? "" : std::string("is not a GUID in braces like ") + kShape;
}

bool parseUniqueId(const std::string& text, std::int32_t& id, std::string& error) {
  const std::size_t digitsFrom = !text.empty() && text[0] == '-' ? 1 : 0;
  const bool number = text.size() > digitsFrom &&
                      text.find_first_not_of("0123456789", digitsFrom) == std::string::npos;
  if (number) {
    // More than ten digits lie outside the range whatever they are.
    const std::size_t significant = text.find_first_not_of('0', digitsFrom);
    const std::size_t digitCount = significant == std::string::npos ? 0 : text.size() - significant;
    const long long value = digitCount > 10 ? 0 : std::stoll(text);
    if (digitCount > 10 || value < INT32_MIN || value > static_cast<long long>(UINT32_MAX)) {
      error = "bad plug-in ID '" + text + "': a number must lie within " +
              std::to_string(INT32_MIN) + ".." + std::to_string(UINT32_MAX);
      return false;
    }
    id = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  } else if (text.size() == 4 && isPrintableAscii(text[0]) && isPrintableAscii(text[1]) &&
             isPrintableAscii(text[2]) && isPrintableAscii(text[3])) {
    std::uint32_t value = 0;
    for (char c : text) value = (value << 8) | static_cast<unsigned char>(c);
    id = static_cast<std::int32_t>(value);
  } else {
    error = "bad plug-in ID '" + text + "': give a number or exactly four characters";
    return false;
  }
  if (id == 0) {
    error = "ID 0 is no ID: hosts tell effects apart by it";
    return false;
  }
  return true;
}

std::string channelCountProblem(std::int64_t count) {
  if (count >= 0 && count <= kMaxChannels) return "";
  return "channel counts must lie within 0.." + std::to_string(kMaxChannels);
}

std::string processIndexProblem(std::int64_t index) {
  if (index >= 0 && index <= INT32_MAX) return "";
  return index < 0 ? "the process index must not be negative"
                   : "the process index must lie within 0.." + std::to_string(INT32_MAX);
}

std::string vendorNameProblem(const std::string& vendor) {
  if (vendor.empty()) return "is empty";
  if (vendor.size() > kMaxNameLength) {
    return "is longer than " + std::to_string(kMaxNameLength) + " characters";
  }
  for (char c : vendor) {
    if (!isPrintableAscii(c)) return "holds a character other than printable ASCII";
  }
  if (vendor.front() == ' ' || vendor.back() == ' ') return "starts or ends with a space";
  if (vendor.size() >= 2 && vendor.front() == vendor.back() &&
      (vendor.front() == '"' || vendor.front() == '\'')) {
    return "is in quotes, which the profile reader drops";
  }
  return "";
}

bool parseVendorVersion(const std::string& text, std::int32_t& version, std::string& error) {
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  // More than ten significant digits lie outside the range whatever they are.
  const std::size_t significant = text.find_first_not_of('0');
  const bool fits = significant == std::string::npos || text.size() - significant <= 10;
  const long long value = digits && fits ? std::stoll(text) : -1;
  if (value < 0 || value > INT32_MAX) {
    error = "bad vendor version '" + text + "': give a whole number within 0.." +
            std::to_string(INT32_MAX);
    return false;
  }
  version = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace installation
