// The port selection dialog drawn with Qt: the "COMM %2d" list (typing allowed), "Select",
// and beside the list the device and description of the entry chosen, so that an operator on
// Linux knows what COM 3 is.
#pragma once
#include <QDialog>
#include <vector>

#include "platform/serial_device.h"
#include "ui/small_dialogs.h"

class QComboBox;
class QLabel;
class QPushButton;

class PortSelectWindow : public QDialog {
  Q_OBJECT

 public:
  // The model's Open() has filled its entries; ports are what the machine lists.
  PortSelectWindow(CPortSelectDlg& model, std::vector<SerialPortInfo> ports, QWidget* parent = nullptr);
  void reject() override;  // Esc: the chosen port stays as it was

  QComboBox* list() const { return list_; }
  QLabel* details() const { return details_; }
  QPushButton* selectButton() const { return select_; }

 private:
  void ShowDetails();
  CPortSelectDlg& model_;
  std::vector<SerialPortInfo> ports_;
  QComboBox* list_ = nullptr;
  QLabel* details_ = nullptr;
  QPushButton* select_ = nullptr;
};
