// The address and channel dialog ("Address and channel setting"): address with channel, and
// the HPR channel pair. Rules and state only; a toolkit window draws it.
//
// Use: construct, fill Address, Channel, HPRms, HPRls, TdrType, SerialNo, Band, TypeNo and
// unitModel, run it (IOperator::RunAddressDialog), then read changed and the four values.
// "OK" with a value the rules refuse keeps the dialog open and leaves a message ("Entry error")
// in `refusals` for the window to show.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fixed_text.h"
#include "platform/operator.h"
#include "quickset/dialog_controls.h"

class CTransponder;

class CAddressDlg {
 public:
  static constexpr const char* kCaption = "Address and channel setting";
  static constexpr int kTemplateId = 130;
  static constexpr const char* kEntryErrorCaption = "Entry error";
  static constexpr const char* kIllegalAddress = "Illegal unit address";
  static constexpr const char* kIllegalHpr = "Illegal HPR channels";

  enum ControlId {
    IDC_HEADING = 1047,
    IDC_ADDRESS = 1005,
    IDC_HPR = 1051,
    IDC_HPR_LABEL = 1053,
    IDC_OK = 1000,
    IDC_CANCEL = 1054,
  };

  explicit CAddressDlg(CTransponder* owner = nullptr) : owner(owner) {}

  // ---- members the caller fills and reads ----
  int32_t Address = -1;
  int32_t Channel = -1;
  int32_t HPRms = -1;
  int32_t HPRls = -1;
  FixedText<20> TdrType;
  FixedText<20> SerialNo;
  FixedText<10> Band;
  FixedText<40> TypeNo;
  int32_t unitModel = 0;
  bool changed = false;
  CTransponder* owner = nullptr;

  // ---- the controls ----
  std::string heading;   // read-only edit 1047
  ListControl address;   // 1005
  ListControl hpr;       // 1051
  bool hprShown = true;  // label 1053 and list 1051

  // Every refusal of "OK", in order; the window shows each as an information box when it comes
  // (the last one is the newest) and the dialog stays open.
  std::vector<DialogMessage> refusals;

  bool closed = false;
  DialogEnd end = DialogEnd::Cancelled;

  // ---- handlers (the window pulls its controls into the members before each) ----
  void OnInitDialog();
  // True when the dialog closes; false when it refused the entry (see refusals).
  bool OnOk();
  void OnCancel();
};
