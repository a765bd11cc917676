#include "platform/progress.h"

#include "platform/operator.h"
#include "platform/session_log.h"

void BusyWindowProgress::Shown() {
  if (shown_) return;
  op_.ShowBusy();
  shown_ = true;
}

void BusyWindowProgress::Step(const std::string& caption, int /*percent*/) {
  // Only a busy window that is shown takes a caption.
  if (!shown_) return;
  // A caption cleared to nothing says nothing: no line.
  if (!caption.empty() && LogActive()) LogEvent("caption", EscapeBytes(caption.c_str()));
  op_.SetBusyCaption(caption);
}

void BusyWindowProgress::Ended() {
  if (shown_) op_.HideBusy();
  shown_ = false;
}
