// The advanced settings dialog ("Advanced TPDR settings"): every ranging setting one by one,
// for the three navigation schemes Wideband, HPR and tone. Rules and state only; a toolkit
// window draws it.
//
// Use: construct, fill editedStatus, run it (IOperator::RunAdvancedDialog, which calls
// OnInitDialog and then the handlers), then read applied and editedStatus.
//
// The delayed refresh: a change of selection in the address or beacon list asks for a one-shot
// timer of kRefreshDelayMs (OnAddressOrBeaconChanged returns true when the window is to start
// it); when it fires the window calls OnRefreshTimer. Tests call OnRefreshTimer directly.
#pragma once
#include <cstdint>
#include <string>

#include "platform/operator.h"
#include "quickset/dialog_controls.h"
#include "status/unit_status.h"

class CTransponder;

class CAdvancedDlg {
 public:
  static constexpr const char* kCaption = "Advanced TPDR settings";
  static constexpr int kTemplateId = 148;
  static constexpr int kRefreshDelayMs = 100;

  enum NavScheme { kWideband = 0, kHpr = 1, kTone = 2 };

  enum ControlId {
    IDC_WIDEBAND = 1140,
    IDC_HPR = 1141,
    IDC_TONE = 1142,
    IDC_ADDRESS = 1005,
    IDC_TAT = 1152,
    IDC_HPR_TAT = 1154,
    IDC_INTERROGATE = 1149,
    IDC_BEACON = 1051,
    IDC_REPLY = 1150,
    IDC_REPLY_CODE = 1155,
    IDC_POWER = 1098,
    IDC_GAIN = 1099,
    IDC_CWT = 1129,
    IDC_CWR = 1131,
    IDC_CWC = 1130,
    IDC_SET = 1100,
    IDC_CANCEL = 1101,
  };

  explicit CAdvancedDlg(CTransponder* owner = nullptr) : owner(owner) {}

  // ---- members the caller fills and reads ----
  UnitStatus editedStatus;
  int32_t navScheme = -1;
  bool hprCapable = false;
  bool widebandTexts = false;
  bool applied = false;
  bool refreshPending = false;
  CTransponder* owner = nullptr;

  // ---- the controls ----
  ListControl address;        // 1005
  ListControl tat;            // 1152
  std::string hprTatText;     // edit 1154, "30" or "60"
  ListControl interrogate;    // 1149
  ListControl beacon;         // 1051
  ListControl reply;          // 1150
  std::string replyCodeText;  // edit 1155
  ListControl power;          // 1098
  ListControl gain;           // 1099
  ListControl cwt, cwr, cwc;  // 1129, 1131, 1130: never shown

  // What is shown (the timing lists and their labels never are).
  struct Shown {
    bool hprRadio = true;
    bool tatList = false;
    bool hprTatEdit = false;
    bool beacon = false;       // label and list
    bool interrogate = false;  // label and list
    bool replyLabel = false;
    bool replyList = false;
    bool replyEdit = false;
  } shown;

  bool closed = false;
  DialogEnd end = DialogEnd::Cancelled;

  // ---- handlers (the window pulls its controls into the members before each) ----
  void OnInitDialog();
  // A radio button of the "Nav scheme" group.
  void OnNavScheme(int scheme);
  // A change of selection in the address or beacon list: true when the window is to start
  // the refresh timer (none is pending yet).
  bool OnAddressOrBeaconChanged();
  // The refresh timer fired: apply, refill, re-show and re-select.
  void OnRefreshTimer();
  // The operator typed into one of the two derived edits: they follow the working copy again.
  void OnDerivedEditChanged();
  void OnSet();
  void OnCancel();

  // Writes the controls into editedStatus, in the dialog's fixed order.
  void ApplyControls();

 private:
  void FillLists();
  void ShowControls();
  void SelectValues();
  void FillInterrogate();
};
