// A unit's status record as one JSON object: every field of the status files' unit entry, in
// document order, keyed by its element name. Numbers are numbers, the two check flags true or
// false, texts strings, and a time never set (or a real that is not a number) null.
#pragma once
#include <string>
#include <string_view>

#include "status/unit_status.h"

std::string StatusJson(const StatusChecks& checks, const UnitStatus& status);

// A text as a JSON string literal, quotes included. Bytes above 127 are read as Latin-1, so
// whatever a unit sent gives valid JSON.
std::string JsonString(std::string_view text);
