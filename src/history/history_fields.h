// The fields of a unit as texts: which fields go where, their values in series, and the JSON
// objects the history keeps them in (in its database and on a site).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"

namespace history {

bool IsDateField(int field);
bool IsChecksField(int field);
// Whether a field is listed among the differences between two visits.
bool ComparedInDiff(int field);
// A field's text as a value of its series; nothing for a value that was not read.
std::optional<double> SeriesValue(int field, const std::string& text);

// A JSON object of the named fields ("Voltage": "12.30", ...), every value a string.
std::string FieldsJson(const FieldTexts& texts, const std::vector<int>& which);
std::string FieldsJson(const FieldTexts& texts);
// Sets the fields an object names (unknown names are passed over); false when it does not parse.
bool ApplyFieldsJson(std::string_view json, FieldTexts& texts, std::vector<int>* changed = nullptr);
void AppendJsonString(std::string& out, std::string_view text);

// A unit's identity from its hex text ("12D687", with or without 0x).
std::optional<int32_t> UnitIdOfHex(std::string_view hex);

}  // namespace history
