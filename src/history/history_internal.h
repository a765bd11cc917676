// What the history's files share: the fields' texts as JSON, and which fields go where.
#pragma once
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

}  // namespace history
