#include "serial/reply_text.h"

#include <cstring>
#include <string_view>

namespace reply_text {

bool ExtractValue(const char* source, const char* key, TextSpan value) {
  value.Assign(" ");
  if (!source || !key) return false;
  const char* found = std::strstr(source, key);
  if (!found) return false;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(found + std::strlen(key));
  while (*s && (*s <= 32 || *s > 127)) ++s;
  const unsigned char* e = s;
  while (*e && *e >= 32 && *e <= 127) ++e;
  if (e > s) value.Assign(std::string_view(reinterpret_cast<const char*>(s), static_cast<size_t>(e - s)));
  return true;
}

void CopyField(TextSpan destination, const char* source) {
  const char* s = source ? source : "";
  const char* e = s;
  while (*e && *e != ',' && static_cast<unsigned char>(*e) >= 32 && static_cast<unsigned char>(*e) <= 127) ++e;
  destination.Assign(std::string_view(s, static_cast<size_t>(e - s)));
}

}  // namespace reply_text
