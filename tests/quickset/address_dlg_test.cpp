#include "quickset/address_dlg.h"

#include <gtest/gtest.h>

#include "sim/scripted_operator.h"

namespace {

CAddressDlg Opened(const char* band) {
  CAddressDlg dlg;
  dlg.Band = band, dlg.TypeNo = "8120-001", dlg.SerialNo = "012345-001", dlg.TdrType = "T30";
  dlg.unitModel = 2, dlg.Address = 10, dlg.Channel = 5, dlg.HPRms = 5, dlg.HPRls = 7;
  dlg.OnInitDialog();
  return dlg;
}

}  // namespace

// Each dialog opens on address 10, channel 5 and the HPR pair 5, 7 of a unit in its band; OK
// either takes what differs (and says whether anything did) or refuses and stays open, taking
// nothing.
TEST(AddressDialog, OkTakesWhatDiffersOrRefusesAndStaysOpen) {
  const char* const kAddress = "Illegal unit address";
  const char* const kHpr = "Illegal HPR channels";
  const struct {
    const char* band;
    const char* address;  // typed, or null to leave the text as opened
    const char* hpr;
    const char* refusal;  // "": taken
    int taken[4];         // address, channel, HPR pair afterwards
    bool changed;
  } cases[] = {
      {"MF", "1600", nullptr, kAddress, {10, 5, 5, 7}, false},
      {"MF", "1203", "66", kHpr, {10, 5, 5, 7}, false},  // a good address with a refused pair
      {"MF", nullptr, nullptr, "", {10, 5, 5, 7}, false},
      {"MF", "3314", "NF", "", {33, 14, 0, 0}, true},
      {"HMF", nullptr, "09", "", {10, 5, 0, 9}, true},  // only the HPR pair differs
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.band) + " " + (c.address ? c.address : "-") + " " + (c.hpr ? c.hpr : "-"));
    CAddressDlg dlg = Opened(c.band);
    if (c.address) dlg.address.text = c.address;
    if (c.hpr) dlg.hpr.text = c.hpr;
    const bool taken = *c.refusal == '\0';
    EXPECT_EQ(dlg.OnOk(), taken);
    EXPECT_EQ(dlg.closed, taken);
    EXPECT_EQ(dlg.end == DialogEnd::Ok, taken);
    EXPECT_EQ(dlg.refusals.size(), taken ? 0u : 1u);
    for (const auto& r : dlg.refusals) EXPECT_EQ(r.text + " / " + r.caption, c.refusal + std::string(" / Entry error"));
    EXPECT_EQ((std::vector<int>{dlg.Address, dlg.Channel, dlg.HPRms, dlg.HPRls}),
              (std::vector<int>(c.taken, c.taken + 4)));
    EXPECT_EQ(dlg.changed, c.changed);
  }
  // Cancel takes nothing of what was typed.
  CAddressDlg cancelled = Opened("MF");
  cancelled.address.text = "3314";
  cancelled.OnCancel();
  EXPECT_EQ(cancelled.end, DialogEnd::Cancelled);
  EXPECT_FALSE(cancelled.changed);
  EXPECT_EQ(cancelled.Address, 10);
}
