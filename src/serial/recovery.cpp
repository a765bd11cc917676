// Bringing a unit back by a line break: the bootloader prompt, the comms-break reset of the
// operator's "Reset (Comms break)" button, and the watchdog restart through the bootloader.
#include <cstdio>
#include <cstring>

#include "platform/text_numbers.h"
#include "serial/unit_link.h"

namespace {

// Sends a line (uncounted) and reports whether the reply holds the bootloader prompt.
bool PromptAnswer(CCommPort& port, int seconds) {
  char buf[100];
  TextSpan b(buf);
  b.Assign(" ");
  port.SendLine(b, seconds, true);
  return textnum::Contains(buf, "Boot>");
}

void SendRawText(CCommPort& port, const char* text, int seconds) {
  char buf[100];
  TextSpan b(buf);
  b.Assign(text);
  port.SendRaw(b, seconds, true);
}
}  // namespace

bool UnitLink::EnterBootPrompt() {
  if (!port.Open(true)) return false;
  if (PromptAnswer(port, 1)) return true;
  port.SendBreak();
  port.SetBaudFromText("Config(9600,8,N,1)");
  port.Delay(500);
  if (PromptAnswer(port, 2)) return true;
  return PromptAnswer(port, 2);
}

bool UnitLink::BreakReset(TextSpan message) {
  port.failuresLeft = 3;
  Progress().Step("Sending comms break");
  if (!port.Open(true)) return false;
  port.SendBreak();
  port.Delay(500);
  bool atPrompt = false;
  for (int i = 0; i < 3 && !atPrompt; ++i) atPrompt = EnterBootPrompt();
  if (!atPrompt) {
    message.Assign("Comms break reset failed to go to boot");
    return false;
  }
  port.Delay(100);
  SendRawText(port, "Q", 0);
  port.Delay(10);
  SendRawText(port, "\r\n", 1);
  port.Delay(10);
  Progress().Step("Waiting for Transponder to reboot");
  port.Delay(1000);
  char probe[100] = {};
  bool ready = false;
  for (int i = 0; i < 30 && !ready; ++i) {
    state.timeoutOverride = 0;
    TextSpan p(probe);
    p.Assign("#DASP,0");
    port.SendLine(p, 1, true);
    ready = textnum::Contains(probe, "DASP OK");
  }
  if (!ready) {
    std::string text = "Comms break reset failed to return\rError reply [";
    text += probe;
    text += "]";
    message.Assign(text);
    return false;
  }
  message.Assign("Comms break reset completed correctly");
  return true;
}

bool UnitLink::ResetWatchdog(bool stayInBootloader) {
  Progress().Step("Resetting watchdog timer");
  if (EnterBootPrompt()) {
    port.Delay(100);
    SendRawText(port, "W", 0);
    port.Delay(10);
    SendRawText(port, "x", 0);
    port.Delay(10);
    SendRawText(port, "7", 0);
    port.Delay(10);
    SendRawText(port, "\r\n", 1);
    port.Delay(1000);
    if (stayInBootloader) return true;
  }
  for (int i = 0; i < 12; ++i) {
    char probe[100];
    TextSpan p(probe);
    p.Assign("#DASP,0");
    port.SendLine(p, 1, true);
    if (textnum::Contains(probe, "DASP OK")) return true;
  }
  return false;
}
