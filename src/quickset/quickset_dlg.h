// The quickset dialog ("Quickset Wideband "): the operator picks one of a fixed set of
// navigation schemes, each fixing address, channel, turn-around time and interrogation
// channel, and picks power and gain. Rules and state only; a toolkit window draws it.
//
// Use: construct, fill editedStatus and unitModel, run it (IOperator::RunQuicksetDialog, which
// calls OnInitDialog and then the handlers of the buttons pressed), then read applyRequested,
// advancedRequested and editedStatus.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "platform/operator.h"
#include "quickset/dialog_controls.h"
#include "status/unit_status.h"

class CTransponder;

class CQuicksetDlg {
 public:
  static constexpr const char* kCaption = "Quickset Wideband ";
  static constexpr int kTemplateId = 147;
  static constexpr int kSmallFont = 20;  // "Times New Roman" heights of the scheme buttons
  static constexpr int kLargeFont = 40;
  static constexpr const char* kFontFace = "Times New Roman";

  // Control ids of the template.
  enum ControlId {
    IDC_ADDRESS = 1005,
    IDC_INTERROGATE = 1095,
    IDC_TAT = 1097,
    IDC_POWER = 1098,
    IDC_GAIN = 1099,
    IDC_SET = 1100,
    IDC_CANCEL = 1101,
    IDC_ADVANCED = 1116,
    IDC_HEADING = 1138,
    IDC_LINE1 = 1139,  // to 1144
  };

  // One row of a scheme table.
  struct Scheme {
    const char* name;
    int32_t address;
    int32_t channel;
    float tat;
    int32_t altCif;
  };
  static const std::array<Scheme, 12>& Model2Schemes();
  static const std::array<Scheme, 3>& Model3Schemes();

  // A scheme button: control id, caption, the scheme it picks, and how it is shown.
  struct SchemeButton {
    int id;
    const char* caption;
    int scheme;
    bool model3;  // MA to MC
    bool visible = false;
    int fontHeight = kSmallFont;
  };

  explicit CQuicksetDlg(CTransponder* owner = nullptr) : owner(owner) {}

  // ---- members the caller fills and reads ----
  UnitStatus editedStatus;
  int32_t unitModel = 0;
  int32_t schemeIndex = -1;
  bool applyRequested = false;
  bool advancedRequested = false;
  CTransponder* owner = nullptr;

  // ---- the controls ----
  std::string addressText;           // edit 1005
  std::string interrogateText;       // edit 1095
  std::string tatText;               // edit 1097
  ListControl power;                 // 1098
  ListControl gain;                  // 1099
  std::string heading;               // static 1138
  std::array<std::string, 6> lines;  // statics 1139 to 1144
  // clang-format off
  std::array<SchemeButton, 15> buttons = {{
      {1093, "A1", 0, false}, {1102, "A2", 1, false}, {1103, "A3", 2, false}, {1104, "A4", 3, false},
      {1105, "B1", 4, false}, {1107, "B2", 5, false}, {1108, "B3", 6, false}, {1111, "B4", 7, false},
      {1106, "C1", 8, false}, {1109, "C2", 9, false}, {1110, "C3", 10, false}, {1112, "C4", 11, false},
      {1113, "MA", 0, true},  {1115, "MB", 1, true},  {1114, "MC", 2, true},
  }};
  // clang-format on

  // Whether the dialog has been closed, and by which button.
  bool closed = false;
  DialogEnd end = DialogEnd::Cancelled;

  // ---- handlers (the window pulls its controls into the members before each) ----
  void OnInitDialog();
  // A scheme button, by scheme index (0..11 for model 2, 0..2 for model 3).
  void OnScheme(int scheme);
  // A scheme button by its control id; false when the id is no scheme button.
  bool OnSchemeButton(int controlId);
  void OnSet();
  void OnAdvanced();
  void OnCancel();

  // The button of a scheme in the shown group (nullptr when none).
  const SchemeButton* ButtonOf(int scheme) const;
  // The rows of the current model's table.
  int SchemeCount() const { return unitModel == 3 ? 3 : 12; }

 private:
  void ShowButtons();
  void ShowValues();
  void ApplyScheme(int scheme);
};

// Power and gain from the two lists into a status, as the quickset's "Set" and the advanced
// dialog do: the value whose name equals the list's text goes to CPA and CPT (two-level rule)
// and to CPL, CPS and CPU (three-level rule); the gain's value to RxGain. An empty text, or one
// that names no value, changes nothing.
void ApplyPowerAndGain(const std::string& powerText, const std::string& gainText, UnitStatus& status);

// The channel as the quickset shows it: 15 and 16 by their names (wideband or tone), 99 "IRS",
// any other value its decimal text.
std::string QuicksetChannelName(int32_t wideband, int32_t channel);
