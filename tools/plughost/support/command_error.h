// A failure that ends the command with one line on stderr and exit status 1.
#pragma once

#include <stdexcept>
#include <string>

namespace plughost {

class CommandError : public std::runtime_error {
 public:
  explicit CommandError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace plughost
