// The check report: per unit, whether a required status is pending or was applied, when the
// status was last read, and the outcome and time of the acoustic check, the depth-offset
// setting, the hardware self test and the release check; and the report over every unit of
// the current-status file.
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/text_numbers.h"
#include "records/check_report.h"
#include "records/status_xml.h"
#include "records/status_files.h"
#include "status/status_report.h"

namespace {

// Where the report's entries come from: each load fills storedStatus and storedChecks and
// says whether the file holds the unit, as the entry loads of the status files do.
struct EntrySource {
  std::function<bool(int32_t)> loadCurrent;
  std::function<bool(int32_t)> loadNew;
};

std::string Line(const std::string& indent, const std::string& text) { return indent + text + "\r\n"; }

std::string UnitLine(int32_t unitId, const UnitStatus& s) {
  char text[80];
  std::snprintf(text, sizeof text, "Unit %06X (%d%02d)", static_cast<unsigned>(unitId), s.Address, s.Channel);
  return text;
}

std::string Build(StatusFiles& u, int32_t unitId, bool withUnitLine, const EntrySource& source) {
  std::string out;
  const std::string indent = withUnitLine ? "   " : "";
  if (withUnitLine) {
    if (!source.loadCurrent(unitId)) source.loadNew(unitId);
    out += Line("", UnitLine(unitId, u.records.storedStatus));
  }
  if (source.loadNew(unitId)) {
    out += Line(indent, u.records.storedChecks.UpdatedResult ? "Updated " + DateText(u.records.storedChecks.UpdatedTime)
                                                             : std::string("******** Update required ********"));
  } else {
    out += Line(indent, "Update NOT required");
  }
  if (source.loadCurrent(unitId)) {
    const StatusChecks& c = u.records.storedChecks;
    out += Line(indent, "Current status " + DateText(c.LastStatusTime));
    if (!AcousticCheckAvailable(u.records.storedStatus.T7V.c_str()))
      out += Line(indent, "Acoustic check not available");
    else if (NeverDone(c.CI1Time)) out += Line(indent, "No Acoustic check");
    else out += Line(indent, (c.CI1Result ? "Acoustic check passed " : "Acoustic check FAIL ") + DateText(c.CI1Time));
    out += Line(indent, NeverDone(c.DepthOffsetTime) ? std::string("Depth Offset NOT set")
                                                     : "Depth Offset set " + DateText(c.DepthOffsetTime));
    if (NeverDone(c.HardwareTime)) {
      out += Line(indent, "No Self test");
    } else if ((c.HardwareResult & ~0x08) == 0) {
      out += Line(indent, "Self test passed " + DateText(c.HardwareTime));
    } else {
      out += Line(indent, "Self test FAIL error " + std::to_string(c.HardwareResult) + "  " + DateText(c.HardwareTime));
    }
    if (NeverDone(c.ReleaseTime)) {
      out += Line(indent, "No Release check");
    } else if (c.ReleaseResult == 0) {
      out += Line(indent, "Release passed " + DateText(c.ReleaseTime));
    } else {
      out += Line(indent, "Release FAIL " + std::to_string(c.ReleaseResult) + "  " + DateText(c.ReleaseTime));
    }
  } else if (source.loadNew(unitId)) {
    for (const char* text :
         {"NO Current status", "No acoustic check", "Depth Offset NOT set", "No Hardware check", "No Release check"})
      out += Line(indent, text);
  }
  return out;
}

// The leading decimal number of a unit identity or a version, 0 when it has none.
int32_t LeadingNumber(const char* text) { return textnum::LeadingInt(text, textnum::Blanks::kSpaceTab); }

// Reads entries from a document as it was loaded, without going back to the file: one
// look-up in the document's index per unit, so a report over every unit reads each file once.
class LoadedDocument {
 public:
  LoadedDocument(StatusFiles& unit, CStatusXml* doc, bool refuseNoIdentity)
      : unit_(unit), doc_(doc), refuseNoIdentity_(refuseNoIdentity) {}

  bool Load(int32_t unitId) {
    if (refuseNoIdentity_ && unitId == -1) return false;
    if (!cached_ || cachedId_ != unitId) {
      cachedId_ = unitId;
      cached_.emplace();
      char id[16];
      std::snprintf(id, sizeof id, "%d", unitId);
      pugi::xml_node node = doc_ ? doc_->FindUnit(id, false) : pugi::xml_node();
      if (node) *cached_ = CStatusXml::ReadUnit(node);
      else cached_->reset();
    }
    if (!*cached_) return false;
    unit_.records.storedChecks = (*cached_)->checks;
    unit_.records.storedStatus = (*cached_)->status;
    return true;
  }

 private:
  StatusFiles& unit_;
  CStatusXml* doc_;
  bool refuseNoIdentity_;
  int32_t cachedId_ = 0;
  std::optional<std::optional<StatusEntry>> cached_;
};

}  // namespace

bool NeverDone(const DateTime& when) { return !when.valid || when.ToCivil().year <= 2000; }

bool AcousticCheckAvailable(const char* t7v) {
  char version[40];
  if (!reply_text::ExtractValue(t7v, "V", version)) return false;
  const int32_t major = LeadingNumber(version);
  char minorText[40];
  reply_text::ExtractValue(version, ".", minorText);
  const int32_t minor = LeadingNumber(minorText);
  char revision = 0;
  for (const char* p = minorText; *p; ++p) {
    if ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z')) {
      revision = static_cast<char>(*p >= 'a' ? *p - 'a' + 'A' : *p);
      break;
    }
  }
  if (!revision) {
    const size_t n = std::strlen(minorText);
    revision = n ? minorText[n - 1] : ' ';
  }
  if (major < 1) return false;
  if (major == 1 && minor < 1) return false;
  if (major == 1 && minor == 1 && revision < 'J') return false;
  return true;
}

std::string StatusFiles::CheckReport(int32_t unitId, bool withUnitLine) {
  EntrySource source{[this](int32_t id) { return LoadCurrentEntry(id); },
                     [this](int32_t id) { return LoadNewEntry(id); }};
  return Build(*this, unitId, withUnitLine, source);
}

std::string StatusFiles::FileStatusReport() {
  // Both files as they stand on disk now, each read once.
  CloseStatusFiles();
  OpenStatusFiles();
  std::vector<std::string> ids;
  records.currentFile->ListUnitIds(ids);
  LoadedDocument current(*this, records.currentFile.get(), true);
  LoadedDocument pending(*this, records.newFile.get(), false);
  EntrySource source{[&current](int32_t id) { return current.Load(id); },
                     [&pending](int32_t id) { return pending.Load(id); }};
  std::string out;
  for (const std::string& id : ids) out += Build(*this, LeadingNumber(id.c_str()), true, source);
  return out;
}
