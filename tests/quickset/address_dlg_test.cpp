#include "quickset/address_dlg.h"

#include <gtest/gtest.h>

#include "sim/scripted_operator.h"

namespace {

CAddressDlg Opened(const char* band, int address, int channel, int ms, int ls, int model = 2) {
  CAddressDlg dlg;
  dlg.Band = band, dlg.TypeNo = "8120-001", dlg.SerialNo = "012345-001", dlg.TdrType = "T30";
  dlg.unitModel = model, dlg.Address = address, dlg.Channel = channel, dlg.HPRms = ms, dlg.HPRls = ls;
  dlg.OnInitDialog();
  return dlg;
}

}  // namespace

TEST(AddressDialog, OkRefusesIllegalEntriesAndStaysOpen) {
  CAddressDlg dlg = Opened("MF", 10, 5, 5, 7);
  dlg.address.text = "1600";
  EXPECT_FALSE(dlg.OnOk());
  EXPECT_FALSE(dlg.closed);
  ASSERT_EQ(dlg.refusals.size(), 1u);
  EXPECT_EQ(dlg.refusals[0].text, "Illegal unit address");
  EXPECT_EQ(dlg.refusals[0].caption, "Entry error");
  EXPECT_EQ(dlg.Address, 10);

  // A good address with a refused HPR pair: nothing is taken.
  dlg.address.text = "1203";
  dlg.hpr.text = "66";
  EXPECT_FALSE(dlg.OnOk());
  EXPECT_EQ(dlg.refusals.back().text, "Illegal HPR channels");
  EXPECT_EQ(dlg.Address, 10);
  EXPECT_EQ(dlg.Channel, 5);
  EXPECT_FALSE(dlg.changed);

  // An HPR pair in an LMF band is refused, whatever the text.
  CAddressDlg lmf = Opened("LMF", 3, 4, 0, 0);
  lmf.hpr.text = "57";
  EXPECT_FALSE(lmf.OnOk());
  EXPECT_EQ(lmf.refusals.back().text, "Illegal HPR channels");
}

TEST(AddressDialog, OkTakesWhatDiffersAndSetsChanged) {
  CAddressDlg same = Opened("MF", 10, 5, 5, 7);
  EXPECT_TRUE(same.OnOk());
  EXPECT_EQ(same.end, DialogEnd::Ok);
  EXPECT_FALSE(same.changed);

  CAddressDlg dlg = Opened("MF", 10, 5, 5, 7);
  dlg.address.text = "3314";
  dlg.hpr.text = "NF";
  EXPECT_TRUE(dlg.OnOk());
  EXPECT_TRUE(dlg.changed);
  EXPECT_EQ(dlg.Address, 33);
  EXPECT_EQ(dlg.Channel, 14);
  EXPECT_EQ(dlg.HPRms, 0);
  EXPECT_EQ(dlg.HPRls, 0);

  // Only the HPR pair differs.
  CAddressDlg hpr = Opened("HMF", 10, 5, 5, 7);
  hpr.hpr.text = "09";
  EXPECT_TRUE(hpr.OnOk());
  EXPECT_TRUE(hpr.changed);
  EXPECT_EQ(hpr.HPRms, 0);
  EXPECT_EQ(hpr.HPRls, 9);

  CAddressDlg cancelled = Opened("MF", 10, 5, 5, 7);
  cancelled.OnCancel();
  EXPECT_FALSE(cancelled.changed);
  EXPECT_EQ(cancelled.end, DialogEnd::Cancelled);
}
