// The port selection dialog drawn with Qt: the "COMM %2d" list (typing allowed), "Select",
// and beside the list the device and description of the entry chosen, so that an operator on
// Linux knows what COM 3 is. Under them a table of the machine's ports (device, USB ids,
// serial number, the stable by-id name); once a second the ports are listed again, and the
// list and table follow an adapter plugged in or pulled out while the dialog is open.
#pragma once
#include <QDialog>
#include <functional>
#include <vector>

#include "platform/serial_device.h"
#include "ui/small_dialogs.h"

class DialogUnits;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

class PortSelectWindow : public QDialog {
  Q_OBJECT

 public:
  // The model's Open() has filled its entries; ports are what the machine lists.
  // rescan lists the machine's ports again (none: the list stays as it is).
  PortSelectWindow(CPortSelectDlg& model, std::vector<SerialPortInfo> ports, QWidget* parent = nullptr,
                   std::function<std::vector<SerialPortInfo>()> rescan = {});
  void reject() override;  // Esc: the chosen port stays as it was

  QComboBox* list() const { return list_; }
  QLabel* details() const { return details_; }
  QPushButton* selectButton() const { return select_; }
  QTableWidget* table() const { return table_; }
  // Lists the ports again and follows what changed (the timer calls it every second).
  void Rescan();

 private:
  void ShowDetails();
  void FillList();
  void FillTable();
  // The table of the machine's ports, under the dialog's own controls (its rows: FillTable).
  void BuildTable(const DialogUnits& du);
  CPortSelectDlg& model_;
  std::vector<SerialPortInfo> ports_;
  QComboBox* list_ = nullptr;
  QLabel* details_ = nullptr;
  QPushButton* select_ = nullptr;
  QTableWidget* table_ = nullptr;
  QTimer* rescanTimer_ = nullptr;
  std::function<std::vector<SerialPortInfo>()> rescan_;
};
