#include "quickset/address_dlg.h"

#include <cstdio>

#include "quickset/parameter_tables.h"

void CAddressDlg::OnInitDialog() {
  closed = false;
  end = DialogEnd::Cancelled;
  refusals.clear();
  char buf[200];
  std::snprintf(buf, sizeof buf,
                unitModel == 2 ? "%s band QRN type %s Serial number %s Transducer %s"
                               : "%s band Velmoor type %s Serial number %s Transducer %s",
                Band.c_str(), TypeNo.c_str(), SerialNo.c_str(), TdrType.c_str());
  heading = buf;

  CParameterTables tables;
  FixedText<16> text;
  FillAddressPairs(address, Band.c_str());
  address.editable = true;  // an address may be typed; OK judges it
  tables.AddressText(Address, Channel, Band.c_str(), text);
  address.Select(text.view());
  FillHprPairs(hpr, Band.c_str(), true);
  tables.HprText(HPRms, HPRls, Band.c_str(), text);
  hpr.Select(text.view());

  changed = false;
  hprShown = CParameterTables::BandHas(Band.c_str(), "MF");
}

bool CAddressDlg::OnOk() {
  CParameterTables tables;
  FixedText<16> text;

  const int32_t n = CParameterTables::LeadingNumber(address.text.c_str());
  const int32_t address = n / 100;
  const int32_t channel = n % 100;
  if (!tables.AddressText(address, channel, Band.c_str(), text)) {
    refusals.push_back({kIllegalAddress, kEntryErrorCaption});
    return false;
  }

  int32_t ms = 0;
  int32_t ls = 0;
  if (hpr.text != "NF") {
    const int32_t h = CParameterTables::LeadingNumber(hpr.text.c_str());
    ms = h / 10;
    ls = h % 10;
  }
  if (!tables.HprText(ms, ls, Band.c_str(), text)) {
    refusals.push_back({kIllegalHpr, kEntryErrorCaption});
    return false;
  }

  auto take = [this](int32_t& field, int32_t value) {
    if (field != value) {
      field = value;
      changed = true;
    }
  };
  take(Address, address);
  take(Channel, channel);
  take(HPRms, ms);
  take(HPRls, ls);
  closed = true;
  end = DialogEnd::Ok;
  return true;
}

void CAddressDlg::OnCancel() {
  changed = false;
  closed = true;
  end = DialogEnd::Cancelled;
}
