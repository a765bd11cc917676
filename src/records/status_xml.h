// One XML status document in memory: the units the terminal has handled, one Velmoor element
// per unit under the root Velmoors, each with eleven groups of field elements. CStatusXml
// loads the file, finds, creates and rewrites one unit's element, reads a unit back, lists the
// units and saves the document. It never shows anything to the operator; Load and Save say what
// happened and the caller decides what to tell.
//
// A file that exists but cannot be read, is too large, does not parse, or is not a status
// document is "damaged": the document is emptied (nothing is found, writes do nothing) and Save
// refuses to replace the file, so no unit's history is ever lost to a bad read.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "records/status_file_io.h"
#include "status/unit_status.h"

// What one unit element holds: the Checks group and all the other groups.
struct StatusEntry {
  StatusChecks checks;
  UnitStatus status = UnitStatus::ForReading();
};

class CStatusXml {
 public:
  // Files larger than this are not read: the DOM of a file needs several times its size in
  // memory. A unit as the terminal writes it takes about 3.4 KB, so this holds about 38,000.
  static constexpr uint64_t kMaxFileBytes = uint64_t{128} << 20;
  // Nor are files with more tags than this (about 38,000 units at 216 tags each): it bounds the
  // memory of a file made of many tiny elements.
  static constexpr uint64_t kMaxTags = uint64_t{8} << 20;

  enum class LoadOutcome {
    Loaded,         // the file was read; the document holds it
    Unchanged,      // the file holds exactly what the document was last loaded from or saved as
    Missing,        // no file: the document keeps what it held
    Unreadable,     // damaged: the file exists but cannot be read
    TooLarge,       // damaged: over kMaxFileBytes or kMaxTags
    Empty,          // damaged: no content, or blanks only
    NotWellFormed,  // damaged: not XML, or cut short
    NotStatusFile,  // damaged: XML, but not a Velmoors document
  };
  struct LoadResult {
    LoadOutcome outcome = LoadOutcome::Missing;
    std::string reason;  // for a damaged file: what is wrong, in words for the operator
    bool Damaged() const;
  };
  struct SaveResult {
    bool saved = false;
    bool refused = false;  // the file was found damaged at the last load, so it was not touched
    bool changed = false;  // SaveIfUnchanged: the file was no longer as last loaded, and was not touched
    std::string error;     // why the write failed
  };

  // A new object holds an empty status document (the root and no units).
  CStatusXml();
  virtual ~CStatusXml();
  CStatusXml(const CStatusXml&) = delete;
  CStatusXml& operator=(const CStatusXml&) = delete;

  // Reads the file into the document. A missing file leaves the document as it was (an empty
  // document if it held none). A damaged file empties it and marks it damaged.
  LoadResult Load(const std::filesystem::path& path);
  // Replaces the file with the whole document, atomically, written raw: no declaration, no
  // indentation, no line breaks (line breaks inside values are written as character references).
  // Refused while the document is marked damaged.
  SaveResult Save(const std::filesystem::path& path);
  // Save, but only over the file that the last Load of this path read, still holding the same
  // bytes (or still missing, when it was missing): checked just before the file is replaced.
  // Otherwise nothing is written and the result says changed; the caller loads again and
  // redoes its change. A document not loaded from path since it was last saved counts as
  // changed.
  SaveResult SaveIfUnchanged(const std::filesystem::path& path);

  bool Damaged() const { return damaged_; }
  pugi::xml_node Root() const { return root_; }

  // The unit element whose General/UnitId text is exactly idText; when several match, the last
  // in document order. With create set, a missing unit is added (not when damaged).
  pugi::xml_node FindUnit(std::string_view idText, bool create);
  // Appends a new unit element with every group and field, all empty but General/UnitId.
  pugi::xml_node CreateUnit(std::string_view idText);
  // Stores the entry as the element of status.UnitId (created when new). A UnitId of -1 writes
  // nothing. Date-times at or before the zero date are not written, so they keep the file's.
  void WriteUnit(const StatusChecks& checks, const UnitStatus& status);
  // The unit's entry: fresh records (Fitted 0) overlaid with every field its element holds.
  // A unit that is not there gives the fresh records.
  StatusEntry ReadUnit(std::string_view idText);
  static StatusEntry ReadUnit(pugi::xml_node unit);
  // The text of every /Velmoors/Velmoor/General/UnitId that holds text, in document order.
  int ListUnitIds(std::vector<std::string>& ids) const;
  // One line per unit, "%06X  Address %4d" from UnitId and Address x 100 + Channel; empty when
  // the three columns differ in count.
  int ListUnits(std::vector<std::string>& lines) const;
  // The field element at "Group/Element" under the unit, created (and its group) when absent.
  pugi::xml_node FindOrCreatePath(pugi::xml_node unit, std::string_view path);
  // The field's text, or nothing when the element or its text is absent.
  static std::optional<std::string_view> GetFieldValue(pugi::xml_node unit, std::string_view path);

  // Every unit by its identity text (the last element of each identity), built once per load
  // and kept up to date as units are created: FindUnit is one look-up, so reading all units of
  // a file is linear in its size.
  const std::unordered_map<std::string, pugi::xml_node>& UnitIndex();

  // The document may be changed only through the members above (they keep the unit index and
  // the record of what is on disk right); elements found are for reading.

 private:
  void MakeEmpty();
  void MarkDamaged();
  SaveResult Write(const std::filesystem::path& path, const std::optional<FileStamp>& expected);
  // Parses the buffer (taken over); returns the outcome and reason.
  LoadResult Parse(char* bytes, size_t size);
  // Parse's steps: empties the document and gives the outcome; the document's one element.
  LoadResult Damage(LoadOutcome outcome, std::string reason);
  LoadResult FindRoot(pugi::xml_node& element);

  pugi::xml_document doc_;
  pugi::xml_node root_;
  bool damaged_ = false;
  // The digest and size of the bytes the document was last parsed from or saved as; empty
  // while the document differs from any file (after a write, a failed save, a damaged load).
  std::optional<std::pair<uint64_t, size_t>> inSyncWith_;
  // The path of the last load that found a sound file or none, and what it found there; what
  // SaveIfUnchanged expects to replace. Cleared by every save.
  std::optional<std::pair<std::filesystem::path, FileStamp>> loadedFrom_;
  std::unordered_map<std::string, pugi::xml_node> index_;
  bool indexBuilt_ = false;
};

// Conversions of field texts by kind, shared with the tests. Each gives nothing for a text that
// does not convert; numbers beyond the field's range are clamped to it.
namespace status_text {
std::optional<int32_t> ToInteger(std::string_view text);
std::optional<uint32_t> ToUnsigned(std::string_view text);
std::optional<uint8_t> ToByte(std::string_view text);  // through a 16-bit value, its low 8 bits
std::optional<bool> ToFlag(std::string_view text);     // a number (not 0: true), or true/false
std::optional<float> ToReal(std::string_view text);    // a point as the decimal separator
std::string FromReal(float value);                     // two decimals and a point
// The leading decimal number of a text (blanks and a sign allowed), 0 without one; clamped.
int32_t LeadingNumber(std::string_view text);
}  // namespace status_text
