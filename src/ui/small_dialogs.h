// The rules and state of the two small dialogs that the window and the actions share: the
// port selection dialog and the one-line entry dialog. The Qt windows draw them.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "platform/serial_device.h"

// The port selection dialog: lists "COMM %2d" for every port that exists (1 to 10), and turns
// the chosen or typed text into a port number.
class CPortSelectDlg {
 public:
  static constexpr int kLastPort = 10;

  // Sets portPresent[1..10] from the search's flags (a shorter list leaves the rest unset).
  void SetPresent(const std::vector<bool>& flags);
  std::vector<bool> PresentFlags() const { return std::vector<bool>(portPresent.begin(), portPresent.end()); }

  // On opening: chosenPort 0 and the entries filled; false (chosenPort -1) when no port exists.
  bool Open();
  // "Select": the port is the number in the last two characters of the text; an empty text or
  // one that names no port gives 0. A negative number names no port either.
  void Select(const std::string& text);
  static int PortFromText(const std::string& text);
  static std::string EntryText(int port);

  // What the operator sees beside the list for the entry chosen: the device behind the COM
  // number and its description, from the ports the machine lists.
  static std::string DetailsFor(int port, const std::vector<SerialPortInfo>& ports);

  // The port table under the list, one row a port the machine lists: these columns.
  static constexpr int kColumns = 6;
  static const std::array<const char*, kColumns> kColumnTitles;
  static std::array<std::string, kColumns> RowFor(const SerialPortInfo& info);

  // Follows the ports the machine lists now while the dialog is open: a port that appeared is
  // added to the list, one that vanished is taken off. True when the entries changed. The
  // first call only notes what is listed.
  bool FollowPorts(const std::vector<SerialPortInfo>& listed);

  std::array<bool, kLastPort + 1> portPresent{};
  int chosenPort = 0;
  std::string selectedText;
  std::vector<std::string> entries;

 private:
  std::vector<int> listed_;
  bool listedKnown_ = false;
};

inline constexpr const char* kNoPortsText = "Failed to find any Comm ports\r\nCheck for valid device drivers";
inline constexpr const char* kNoPortsCaption = "Error!";
inline constexpr const char* kPortDialogTitle = "Comm port selection";

// The one-line entry dialog: the title is the prompt, the value the default in and the result
// out. Either "Enter" or "OK" is shown, never both.
class CEntryDlg {
 public:
  bool useEnterButton = false;
  std::string title;
  std::string value;
  std::string editText;

  // On opening: the edit box gets the value.
  void Open() { editText = value; }
  // "Enter" or "OK": the edit text becomes the value.
  void Accept() { value = editText; }
  // Esc leaves the value as it was.
  const char* ButtonText() const { return useEnterButton ? "Enter" : "OK"; }
};
