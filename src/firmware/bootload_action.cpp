#include "firmware/bootload_action.h"

#include <cstdio>

#include "firmware/srecord_image.h"
#include "platform/session_log.h"
#include "unit/transponder.h"

namespace {
const char* const kCaption = "Program Load";
}

bool BootloadNewProgram(CTransponder& unit, std::string& paneText, bool* programmed) {
  IOperator& op = unit.op;
  paneText.clear();
  if (programmed) *programmed = false;

  char path[501] = {};
  if (!CSRecordImage::ChooseFile(op, path, 0)) {
    op.MessageBox("Illegal program file", kCaption, MbButtons::Ok, MbIcon::Exclamation);
    return false;
  }

  unit.ShowBusy();
  if (unit.StartLoad(path) != 0) {
    unit.HideBusy();
    op.MessageBox("Failed to start bootloading", kCaption, MbButtons::Ok, MbIcon::Exclamation);
    return false;
  }

  const CivilTime started = unit.localNow().ToCivil();
  op.SetProgress(0);
  op.ShowProgress(true);

  char message[200] = {};
  int r = 0;
  do {
    r = unit.ContinueLoad(message, 0);
    if (r > 0) op.SetProgress(r);
    if (r < 0) {
      unit.HideBusy();
      char question[300];
      std::snprintf(question, sizeof question, "%s\r\n(Error number %d)\r\nTry to continue programming", message, r);
      if (op.MessageBox(question, kCaption, MbButtons::YesNo, MbIcon::Exclamation) == MbAnswer::Yes)
        r = unit.ContinueLoad(message, 1);
      else unit.ContinueLoad(message, -1);
      unit.ShowBusy();
    }
  } while (r > 0);

  // Also after an abandoned load: the unit is always asked to leave its bootloader.
  const bool cameBack = unit.FinishLoad();
  const CivilTime ended = unit.localNow().ToCivil();
  op.ShowProgress(false);
  if (LogActive()) {
    const CSRecordImage& image = unit.ProgramImage();
    char summary[300];
    std::snprintf(summary, sizeof summary,
                  "summary: %s; %d of %d lines sent, %s; unit %s its bootloader; %02d:%02d:%02d to %02d:%02d:%02d",
                  path, image.recordsRead, image.lineCount, r == 0 ? "load complete" : "load stopped on an error",
                  cameBack ? "came back from" : "did not come back from", started.hour, started.minute, started.second,
                  ended.hour, ended.minute, ended.second);
    LogEvent("load", summary);
  }

  std::string warning;
  if (programmed) *programmed = r == 0 && cameBack;
  if (r == 0 && cameBack) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "Programming complete\r\nStarted %02d:%02d:%02d\r\nEnded %02d:%02d:%02d\r\n"
                  "The address has been changed to 1001",
                  started.hour, started.minute, started.second, ended.hour, ended.minute, ended.second);
    paneText = text;
    warning = "Warning - the address has been changed to 1001";
  } else {
    // Also when the unit did not come back after the load: its program cannot be trusted.
    paneText = "Programming error!!";
    warning = "The program may not now operate\r\nSettings may also have been changed";
  }
  unit.HideBusy();
  op.MessageBox(warning, "Warning", MbButtons::Ok, MbIcon::Exclamation);
  return true;
}
