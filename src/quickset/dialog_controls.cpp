#include "quickset/dialog_controls.h"

#include "quickset/parameter_tables.h"

void FillAddressPairs(ListControl& list, const char* band) {
  CParameterTables tables;
  list.Clear();
  FixedText<16> text;
  for (int32_t a = 1; a <= 47; ++a)
    for (int32_t c = 0; c <= 14; ++c)
      if (tables.AddressText(a, c, band, text)) list.Add(text.view());
}

void FillHprPairs(ListControl& list, const char* band, bool withNone) {
  CParameterTables tables;
  list.Clear();
  FixedText<16> text;
  for (int32_t ms = 0; ms <= 9; ++ms)
    for (int32_t ls = 0; ls <= 9; ++ls)
      if ((withNone || ms != 0 || ls != 0) && tables.HprText(ms, ls, band, text)) list.Add(text.view());
}
