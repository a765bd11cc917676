// One model of a unit's state, the same for every reader (the status line's note, the dossier,
// history, diff and due, on this PC and from the site): field by field, the latest value a step
// actually read. A field a step did not read is no value: the status files' "not read" values
// (-1, -1.00, -9999.00, an empty text where the reader failed) and the fields of readers that
// failed neither overwrite the last value read nor show as a change. The results of the checks
// (self test, release test, the others) go with their own times: the latest check wins, whichever
// bench reported it, and a bench that never ran one does not set it back to "never".
#pragma once
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"

namespace history {

// Which fields a step read.
using FieldMask = std::bitset<kFieldCount>;

// The texts of a record nothing was read into: the status files' "not read" values.
const FieldTexts& NotReadTexts();

// What a step read, from what it left in the record. statusRead: the step read the unit's status
// (failedReaders: a bit for each of its readers that failed); without it only the checks it
// carries with their times (and the sensors' values) are its own.
FieldMask FieldsRead(bool statusRead, int32_t failedReaders, const FieldTexts& texts);

// What an event stored before the store kept each event's mask read: the non-empty fields of the
// state after it (all of them for a status read, the checks with a time otherwise).
FieldMask FieldsHeld(bool statusRead, const FieldTexts& state);

// Takes a step's reading into a unit's state (the steps taken in the order of their times): each
// field read replaces the value held; a check's time and result are taken together, when the
// check is later than the one held. Returns the fields whose value changed.
std::vector<int> TakeReading(FieldTexts& state, const FieldTexts& reading, const FieldMask& read);

// A mask as the store keeps it (24 hex digits) and back; an empty or bad text gives nothing read.
std::string MaskText(const FieldMask& mask);
FieldMask MaskOfText(std::string_view text);

// How the operator reads a field in the status report ("AD" for the address and channel, "Batt"
// for the voltage) and its value there ("1207", "14.5V"), from a whole state. The label is empty
// for a field the report does not show.
struct ShownField {
  std::string label, value;
};
ShownField ShownAs(int field, const FieldTexts& state);

// ---- times for people and for files ----
// On screen: local time with its zone ("2026-11-30 15:02 UTC+01:00"; seconds with withSeconds).
std::string LocalTimeText(const DateTime& utc, bool withSeconds = false);
// In JSON and CSV: ISO 8601 in UTC ("2026-11-30T14:02:05Z"); empty for a time never set.
std::string IsoTimeText(const DateTime& utc);

}  // namespace history
