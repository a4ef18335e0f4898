#include "value_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace demo {
namespace {

// Copies item `index` of an "A@B@C" list; false when there is no such item.
bool copyNamedItem(const char* names, std::int32_t index, char* text, std::size_t size) {
  if (index < 0) return false;
  const char* item = names;
  for (std::int32_t i = 0; i < index; ++i) {
    item = std::strchr(item, '@');
    if (!item) return false;
    ++item;
  }
  const char* end = std::strchr(item, '@');
  std::size_t length = end ? static_cast<std::size_t>(end - item) : std::strlen(item);
  if (length >= size) length = size - 1;
  std::memcpy(text, item, length);
  text[length] = '\0';
  return true;
}

}  // namespace

void formatValue(const ParameterDefinition& definition, std::int32_t value, char* text,
                 std::size_t size) {
  if (!text || size == 0) return;
  if (definition.valueNames && copyNamedItem(definition.valueNames, value, text, size)) return;
  if (value == definition.minimum && definition.minimumText && *definition.minimumText) {
    std::snprintf(text, size, "%s", definition.minimumText);
  } else if (value == definition.maximum && definition.maximumText && *definition.maximumText) {
    std::snprintf(text, size, "%s", definition.maximumText);
  } else if (definition.decimals <= 0) {
    std::snprintf(text, size, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, size, "%.*f", static_cast<int>(definition.decimals),
                  value / std::pow(10.0, definition.decimals));
  }
}

}  // namespace demo
