#include "ui/quickset_flow.h"

#include "quickset/address_dlg.h"
#include "quickset/advanced_dlg.h"
#include "quickset/quickset_dlg.h"
#include "serial/diagnostic_trace.h"
#include "unit/transponder.h"

namespace {

namespace qt = quickset_text;

MbAnswer Ask(CTransponder& unit, Question id, const std::string& text, const char* caption, int step = 0) {
  return unit.op.AskAt(id, step, text, caption, MbIcon::Question);
}
void Tell(CTransponder& unit, const std::string& text) {
  unit.op.MessageBox(text, qt::kCaption, MbButtons::Ok, MbIcon::Information);
}

// Reads the unit without a message box, inside the busy window.
void ReadBack(CTransponder& unit, IMainWindow& window) {
  unit.Progress().Shown();
  unit.GetStatus("", window.Reply(), false);
  unit.Progress().Ended();
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
// whole update at the operator's word). Done when verified; otherwise Refused with the last
// verification's differences, or with why the unit could not be read back.
Outcome UpdateAndVerify(CTransponder& unit, IMainWindow& window) {
  // Each update starts a read-back of its own: its "Retry?" is a step apart from the last
  // update's, while the verification's "Retry?" is one step however often it comes.
  for (int update = 1;; ++update) {
    unit.Progress().Shown();
    unit.UpdateStatus(window.Reply());
    for (;;) {
      ReadBack(unit, window);
      if (unit.status.partialMask == 0) break;
      if (Ask(unit, Question::StatusRecoveryRetry, qt::kRecoveryFault + unit.status.statusMessage + qt::kRetry,
              qt::kRecoveryCaption, update) != MbAnswer::Yes) {
        Tell(unit, qt::kUncertain);
        Outcome o = MakeOutcome(OutcomeKind::Refused, {}, "the unit could not be read back: its status is uncertain");
        o.failedReaders = unit.status.partialMask;
        return o;
      }
    }
    char report[1000];
    if (unit.CheckStatus(TextSpan(report))) {
      Tell(unit, qt::kSetCorrectly);
      return MakeOutcome(OutcomeKind::Done, {});
    }
    std::string message = std::string(qt::kNotSetCorrectly) + report;
    Trace().Write("\r\nQuickset result\r\n");
    Trace().Write(message);
    message += qt::kRetry;
    if (Ask(unit, Question::SettingsRetry, message, qt::kCaption) != MbAnswer::Yes) {
      Outcome o = MakeOutcome(OutcomeKind::Refused, {}, "the unit was not set correctly");
      o.differences = report;
      return o;
    }
    // A retry sends requiredStatus as the last update left it.
  }
}

}  // namespace

Outcome RunQuickset(CTransponder& unit, IMainWindow& window) {
  unit.Progress().Shown();
  if (!unit.CheckComms(3)) {
    unit.Progress().Ended();
    return MakeOutcome(OutcomeKind::NoUnit, {});
  }
  unit.GetStatus("", window.Reply(), true);
  unit.Progress().Ended();
  if (unit.status.partialMask != 0) {
    window.PaneText() = qt::kAborted + unit.status.statusMessage;
    window.Push();
    Outcome o = MakeOutcome(OutcomeKind::Refused, {}, "the status read was incomplete: quick set aborted");
    o.failedReaders = unit.status.partialMask;
    return o;
  }

  UnitStatus chosen;
  Outcome outcome = MakeOutcome(OutcomeKind::Declined, {}, "the settings dialog was closed without setting");
  if (ChooseSettings(unit, chosen)) {
    unit.status.requiredStatus = chosen;
    outcome = UpdateAndVerify(unit, window);
  }

  if (Ask(unit, Question::EnableOrDisable, qt::kEnableOrDisable, qt::kCaption) == MbAnswer::No) {
    unit.Progress().Shown();
    unit.DisableUnit();
    unit.GetStatus("", window.Reply(), false);
    unit.Progress().Ended();
  }
  window.ShowReply(window.Reply().c_str(), kNoReplyHeader);
  return outcome;
}

Outcome RunSetAddressAndChannels(CTransponder& unit, IMainWindow& window) {
  if (!unit.CheckComms(3)) return MakeOutcome(OutcomeKind::NoUnit, {});
  Outcome outcome;
  window.Pull();
  window.PaneText().clear();
  unit.Progress().Shown();
  unit.op.WaitCursor(true);
  if (!unit.GetStatus("", window.Reply(), true)) {
    outcome = MakeOutcome(OutcomeKind::Refused, {}, "the status read was incomplete");
    outcome.failedReaders = unit.status.partialMask;
  } else {
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
    unit.Progress().Ended();
    unit.op.RunAddressDialog(dialog);
    unit.Progress().Shown();
    if (dialog.changed) {
      unit.status.requiredStatus.Address = dialog.Address;
      unit.status.requiredStatus.Channel = dialog.Channel;
      unit.status.requiredStatus.HPRms = dialog.HPRms;
      unit.status.requiredStatus.HPRls = dialog.HPRls;
      unit.UpdateStatus(window.Reply());
    } else {
      outcome = MakeOutcome(OutcomeKind::Declined, {}, "the address dialog was closed without a change");
    }
  }
  unit.GetStatus("", window.Reply(), true);
  window.ShowReply(window.Reply().c_str(), kNoReplyHeader);
  unit.op.WaitCursor(false);
  return outcome;
}
