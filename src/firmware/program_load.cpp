// Loading a new program into the unit through its bootloader: the bootloader's rate switch,
// the start (watchdog restart, prompt, 38400 bit/s), one record at a time with the
// bootloader's reply judged by the program image, and the finish (exit, restart by a comms
// break, factory defaults and initialise).
#include <cstring>

#include "firmware/srecord_image.h"
#include "platform/session_log.h"
#include "firmware/program_loader.h"

namespace {
// Sends a line to the bootloader (uncounted) and leaves its reply in buf.
template <size_t N>
void BootSend(CCommPort& port, char (&buf)[N], const char* text, int seconds) {
  TextSpan b(buf);
  b.Assign(text);
  port.SendLine(b, seconds, true);
}

struct WaitCursorScope {
  explicit WaitCursorScope(IOperator& op) : op_(op) { op_.WaitCursor(true); }
  ~WaitCursorScope() { op_.WaitCursor(false); }
  IOperator& op_;
};

// Sends the load buffer as a record; the reply replaces it. One record answered with nothing at
// all is accepted; several in a row are judged as an unrecognised reply. Each file line counts
// once as sent, however often it goes out again.
void SendRecord(CCommPort& port, FirmwareState& firmware, CSRecordImage& image) {
  const std::string record = LogActive() ? std::string(firmware.loadBuffer) : std::string();
  if (!image.atEnd && image.recordsRead > firmware.lastLineSent) {
    firmware.lastLineSent = image.recordsRead;
    ++firmware.recordsSent;
  }
  TextSpan load(firmware.loadBuffer);
  port.SendLine(load, 5, true);
  image.silentRecords = firmware.loadBuffer[0] == '\0' ? image.silentRecords + 1 : 0;
  if (LogActive()) {
    // The trailer's page checks and marker are records of their own, numbered 1 to 9.
    const std::string number = image.atEnd ? "trailer " + std::to_string(image.trailerStep) + "/9"
                                           : std::to_string(image.recordsRead) + "/" + std::to_string(image.lineCount);
    LogEvent("load", "record " + number + " " + EscapeBytes(record) + " reply " + EscapeBytes(firmware.loadBuffer));
  }
}

// The percent of the file's lines read. A file with no lines has nothing to divide by; progress
// never leaves 1 to 100.
int LoadPercent(const CSRecordImage& image) {
  int percent = image.lineCount > 0 ? image.recordsRead * 100 / image.lineCount : 0;
  if (percent < 1) percent = 1;
  if (percent > 100) percent = 100;
  return percent;
}
}  // namespace

CSRecordImage& ProgramLoader::ProgramImage() {
  if (!firmware.programImage) firmware.programImage = std::make_shared<CSRecordImage>();
  return *firmware.programImage;
}

bool ProgramLoader::SetBootBaud(int baud) {
  if (!port.Open(true)) return false;
  const char* command = " ";
  switch (baud) {
    case 4800: command = "Z1x"; break;
    case 9600: command = "Z2x"; break;
    case 19200: command = "Z3x"; break;
    case 38400: command = "Z4x"; break;
    default: break;
  }
  char reply[100];
  BootSend(port, reply, " ", 1);
  BootSend(port, reply, command, 1);
  // Still at the old rate: the bootloader has already switched, so this goes unanswered.
  BootSend(port, reply, " ", 1);
  return true;
}

bool ProgramLoader::RestartAfterLoad() {
  if (!port.Open(true)) return false;
  port.SendBreak();
  port.Delay(500);
  port.SetBaudFromText("Config(9600,8,N,1)");
  char message[200] = {};
  return link.BreakReset(message);
}

int ProgramLoader::StartLoad(const char* path) {
  CSRecordImage& image = ProgramImage();
  // A path that does not fit is left out altogether, so the load stops at "No data file
  // open" rather than opening some other file.
  const size_t length = path ? std::strlen(path) : 0;
  if (length + 1 <= image.path.Capacity()) image.path.Assign(path ? path : "");
  else image.path.Clear();
  WaitCursorScope cursor(op);
  if (!port.Open(true)) return 2;

  Progress().Step("Resetting watchdog timer");
  if (!link.ResetWatchdog(true)) return 2;

  Progress().Step("Entering boot mode");
  port.Delay(100);
  if (!link.EnterBootPrompt()) return 3;

  if (SetBootBaud(38400)) port.SetBaudFromText("Config(38400,8,N,1)");

  Progress().Step("Starting program loading");
  image.Open();  // a file that does not open stops the first record with "No data file open"
  if (LogActive())
    LogEvent("load", "file " + std::string(image.path.c_str()) + ", " + std::to_string(image.lineCount) + " lines");
  firmware.loadBuffer[0] = '\0';
  firmware.recordsSent = 0;
  firmware.lastLineSent = 0;
  return 0;
}

int ProgramLoader::ContinueLoad(TextSpan message, int mode) {
  CSRecordImage& image = ProgramImage();
  Progress().Step("Continuing program load");
  if (!port.Open(true)) {
    // Nothing can come back from a port that will not open.
    CSRecordImage::ErrorText(CSRecordImage::kUnknownReply, message);
    return -CSRecordImage::kUnknownReply;
  }
  char reply[100];
  if (mode > 0) {
    BootSend(port, reply, "Y", 1);
    if (std::strlen(firmware.loadBuffer) >= 2) SendRecord(port, firmware, image);
  } else if (mode < 0) {
    BootSend(port, reply, "X", 1);
  } else {
    const int r = image.NextRecord(TextSpan(firmware.loadBuffer));
    if (r > 0) {
      CSRecordImage::ErrorText(r, message);
      return -r;
    }
    if (r == CSRecordImage::kFinished) {
      if (image.recordsRead > firmware.lastLineSent) {  // the end record, which the trailer stood for
        firmware.lastLineSent = image.recordsRead;
        ++firmware.recordsSent;
      }
      return 0;
    }
    if (std::strlen(firmware.loadBuffer) >= 2) SendRecord(port, firmware, image);
  }
  return LoadPercent(image);
}

bool ProgramLoader::FinishLoad() {
  Progress().Step("Finishing program load");
  ProgramImage().Close();
  bool cameBack = false;
  if (port.Open(true)) {
    char reply[100];
    BootSend(port, reply, "X", 1);
    port.Delay(100);
    if (!std::strchr(reply, '>')) {
      BootSend(port, reply, "X", 1);
      port.Delay(100);
    }
    cameBack = RestartAfterLoad();
  }
  // The bootloader's 38400 bit/s ends with the load. A port that went away under the load (the
  // adapter pulled out) would open again at the rate it had then; once the load is over it
  // opens afresh at 9600, as the program in the unit talks.
  if (!port.isOpen) port.Close();
  // Factory defaults (the address becomes 1001) and initialise; the replies are not examined.
  char reply[kExchangeBufferSize];
  link.Exchange("#ISFD", reply);
  link.Exchange("#INTP", reply);
  return cameBack;
}
