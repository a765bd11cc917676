// Reading values out of the unit's reply text: the two helpers every reader of replies uses.
// Text alone: no port and no unit, so the parsers of replies (and their fuzzers) need neither.
#pragma once
#include <cstddef>

#include "platform/fixed_text.h"

namespace reply_text {

// An exchange's reply buffer holds up to this many characters, terminator included.
inline constexpr size_t kExchangeBufferSize = 1000;

// The text after the first occurrence of key in source, leading blanks skipped, to the end of
// its line; a single space when the key is missing (then false).
bool ExtractValue(const char* source, const char* key, TextSpan value);
// The first comma-separated field of source: up to the first comma, control byte or its end.
void CopyField(TextSpan destination, const char* source);

}  // namespace reply_text
