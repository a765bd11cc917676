#include "quickset/quickset_flow.h"

#include "quickset/address_dlg.h"
#include "quickset/advanced_dlg.h"
#include "quickset/quickset_dlg.h"
#include "serial/diagnostic_trace.h"
#include "unit/transponder.h"

namespace {

namespace qt = quickset_text;

void PullFields(const MainWindowHooks& w) {
  if (w.pullFields) w.pullFields();
}
void SetPaneText(const MainWindowHooks& w, const std::string& text) {
  if (w.setPaneText) w.setPaneText(text);
}
void PushFields(const MainWindowHooks& w) {
  if (w.pushFields) w.pushFields();
}
void ShowReply(CTransponder& unit, const MainWindowHooks& w, const char* text, int header) {
  if (w.showReply) w.showReply(text, header);
  else unit.HideBusy();
}

MbAnswer Ask(CTransponder& unit, const std::string& text, const char* caption) {
  return unit.op.MessageBox(text, caption, MbButtons::YesNo, MbIcon::Question);
}
void Tell(CTransponder& unit, const std::string& text) {
  unit.op.MessageBox(text, qt::kCaption, MbButtons::Ok, MbIcon::Information);
}

// Reads the unit without a message box, inside the busy window.
void ReadBack(CTransponder& unit) {
  unit.ShowBusy();
  unit.GetStatus("", TextSpan(unit.status.replyText), false);
  unit.HideBusy();
}

// The dialogs: the quickset dialog for a QRN unit (with the advanced one on request), the
// advanced dialog for any other. True when the operator asked for the settings to be sent;
// they are then in `chosen`.
bool ChooseSettings(CTransponder& unit, UnitStatus& chosen) {
  CQuicksetDlg quick(&unit);
  CAdvancedDlg advanced(&unit);
  if (unit.status.unitModel == 2 || unit.status.unitModel == 3) {
    quick.editedStatus = unit.status.currentStatus;
    quick.unitModel = unit.status.unitModel;
    unit.op.RunQuicksetDialog(quick);
    if (!quick.advancedRequested) {
      chosen = quick.editedStatus;
      return quick.applyRequested;
    }
    advanced.editedStatus = quick.editedStatus;
  } else {
    advanced.editedStatus = unit.status.currentStatus;
  }
  unit.op.RunAdvancedDialog(advanced);
  chosen = advanced.editedStatus;
  return advanced.applied;
}

// Update, read back (retrying the reading at the operator's word) and verify (retrying the
// whole update at the operator's word).
bool UpdateAndVerify(CTransponder& unit) {
  for (;;) {
    unit.ShowBusy();
    unit.UpdateStatus();
    for (;;) {
      ReadBack(unit);
      if (unit.status.partialMask == 0) break;
      if (Ask(unit, qt::kRecoveryFault + unit.status.statusMessage + qt::kRetry, qt::kRecoveryCaption) !=
          MbAnswer::Yes) {
        Tell(unit, qt::kUncertain);
        return false;
      }
    }
    char report[1000];
    if (unit.CheckStatus(TextSpan(report))) {
      Tell(unit, qt::kSetCorrectly);
      return true;
    }
    std::string message = std::string(qt::kNotSetCorrectly) + report;
    Trace().Write("\r\nQuickset result\r\n");
    Trace().Write(message);
    message += qt::kRetry;
    if (Ask(unit, message, qt::kCaption) != MbAnswer::Yes) return false;
    // A retry sends requiredStatus as the last update left it.
  }
}

}  // namespace

bool RunQuickset(CTransponder& unit, const MainWindowHooks& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) {
    unit.HideBusy();
    return false;
  }
  unit.GetStatus("", TextSpan(unit.status.replyText), true);
  unit.HideBusy();
  if (unit.status.partialMask != 0) {
    SetPaneText(window, qt::kAborted + unit.status.statusMessage);
    PushFields(window);
    return false;
  }

  UnitStatus chosen;
  bool verified = false;
  if (ChooseSettings(unit, chosen)) {
    unit.status.requiredStatus = chosen;
    verified = UpdateAndVerify(unit);
  }

  if (Ask(unit, qt::kEnableOrDisable, qt::kCaption) == MbAnswer::No) {
    unit.ShowBusy();
    unit.DisableUnit();
    unit.GetStatus("", TextSpan(unit.status.replyText), false);
    unit.HideBusy();
  }
  ShowReply(unit, window, unit.status.replyText, kNoReplyHeader);
  return verified;
}

void RunSetAddressAndChannels(CTransponder& unit, const MainWindowHooks& window) {
  if (!unit.CheckComms(3)) return;
  PullFields(window);
  SetPaneText(window, "");
  unit.ShowBusy();
  unit.op.WaitCursor(true);
  if (unit.GetStatus("", TextSpan(unit.status.replyText), true)) {
    unit.status.requiredStatus = unit.status.currentStatus;
    CAddressDlg dialog(&unit);
    const UnitStatus& s = unit.status.currentStatus;
    dialog.Address = s.Address;
    dialog.Channel = s.Channel;
    dialog.HPRms = s.HPRms;
    dialog.HPRls = s.HPRls;
    dialog.TdrType = s.TdrType.view();
    dialog.SerialNo = s.SerialNo.view();
    dialog.Band = s.Band.view();
    dialog.TypeNo = s.TypeNo.view();
    dialog.unitModel = unit.status.unitModel;
    unit.HideBusy();
    unit.op.RunAddressDialog(dialog);
    unit.ShowBusy();
    if (dialog.changed) {
      unit.status.requiredStatus.Address = dialog.Address;
      unit.status.requiredStatus.Channel = dialog.Channel;
      unit.status.requiredStatus.HPRms = dialog.HPRms;
      unit.status.requiredStatus.HPRls = dialog.HPRls;
      unit.UpdateStatus();
    }
  }
  unit.GetStatus("", TextSpan(unit.status.replyText), true);
  ShowReply(unit, window, unit.status.replyText, kNoReplyHeader);
  unit.op.WaitCursor(false);
}
