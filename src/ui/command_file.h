// Command files: up to six lines, one per command button, each "caption^command" then a
// terminator ('^' or the line's end) and an optional time-out ("-" and up to three digits).
// And the two actions that use them: loading a file into the buttons and running a button.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/fixed_text.h"
#include "platform/outcome.h"

class CTransponder;
class CTesterDlg;

struct CommandEntry {
  FixedText<50> caption;   // at most 49 characters; a longer caption is cut
  FixedText<200> command;  // at most 199 characters; a longer command is cut
  int32_t timeout = 3;     // whole seconds; negative: no comms check before sending
};

inline constexpr int kCommandButtons = 6;
// One line of a command file holds at most this many characters; the rest of a longer line
// counts as the next line.
inline constexpr size_t kCommandLineMax = 249;

// One line as read, its newline included when it had one.
CommandEntry ParseCommandLine(const char* line);

// Reads up to six lines from the file; entries[i] is set for each line read. Returns how many
// lines were read (fewer at the end of the file: the later entries are left alone).
int ReadCommandFile(std::FILE* file, CommandEntry entries[kCommandButtons]);

// "Load test commands": the operator chooses a file; its lines give the buttons their
// entries (a short file leaves the later buttons as they were). Declined when no file was
// chosen, BadFile when it would not open.
Outcome LoadCommandFile(CTransponder& unit, CTesterDlg& window);

// A command button (index 0..5): the comms check unless its time-out is negative, then the
// hardware check, the release test, the serial number, or the command itself. Done when the
// command got its answer (for the release test and the serial number: when they were done).
Outcome RunCommandButton(CTransponder& unit, CTesterDlg& window, int index);

// The note after the reply of a unit that does not know the hardware check.
inline constexpr const char* kPreHardwareCheckNote = "\r\nThis is normal pre V1.02";
