// The quickset, advanced and address dialogs drawn with Qt widgets. Each window draws the
// state of its model (quickset/) and forwards every click to it: before a handler it pulls
// the operator's choices into the model, afterwards it pushes the model back to its widgets.
#pragma once
#include <QDialog>
#include <array>
#include <functional>

#include "platform/operator.h"
#include "quickset/dialog_controls.h"

class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class CQuicksetDlg;
class CAdvancedDlg;
class CAddressDlg;

// Runs a dialog modally on its model (the model's OnInitDialog runs first) and returns how it
// was closed. Call on the GUI thread.
DialogEnd ExecQuicksetDialog(QWidget* parent, CQuicksetDlg& model);
DialogEnd ExecAdvancedDialog(QWidget* parent, CAdvancedDlg& model);
DialogEnd ExecAddressDialog(QWidget* parent, CAddressDlg& model);

class QuicksetDialog : public QDialog {
 public:
  // Opens the model (OnInitDialog) and draws it.
  explicit QuicksetDialog(CQuicksetDlg& model, QWidget* parent = nullptr);
  void reject() override;

  QPushButton* schemeButton(int index) const { return schemeButtons_[index]; }
  QPushButton* setButton() const { return set_; }
  QPushButton* advancedButton() const { return advanced_; }
  QComboBox* powerList() const { return power_; }
  QComboBox* gainList() const { return gain_; }
  QLineEdit* addressEdit() const { return address_; }

 private:
  // The window's parts: the scheme buttons with the lines under them on the left, the entries,
  // lists and buttons on the right.
  void BuildSchemes(QHBoxLayout* body);
  void BuildEntries(QHBoxLayout* body);
  void BuildButtons(QGridLayout* right, int row);
  void Pull();
  void Push();
  void AfterHandler();

  CQuicksetDlg& model_;
  std::array<QPushButton*, 15> schemeButtons_{};
  QLabel* heading_ = nullptr;
  std::array<QLabel*, 6> lines_{};
  QLineEdit* address_ = nullptr;
  QLineEdit* interrogate_ = nullptr;
  QLineEdit* tat_ = nullptr;
  QComboBox* power_ = nullptr;
  QComboBox* gain_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* advanced_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class AdvancedDialog : public QDialog {
 public:
  explicit AdvancedDialog(CAdvancedDlg& model, QWidget* parent = nullptr);
  void reject() override;

  // What the 100 ms refresh timer does when it fires.
  void RefreshNow();
  bool RefreshTimerActive() const;

  QRadioButton* schemeRadio(int scheme) const { return radios_[scheme]; }
  QComboBox* addressList() const { return address_; }
  QComboBox* beaconList() const { return beacon_; }
  QLineEdit* replyCodeEdit() const { return replyCode_; }
  QLineEdit* hprTatEdit() const { return hprTat_; }
  QPushButton* setButton() const { return set_; }

 private:
  // The window's parts, top to bottom; ConnectEdits ties the lists and edits to the model.
  QWidget* BuildSchemes();
  QWidget* BuildPowerAndGain();
  QWidget* BuildRanging();
  QHBoxLayout* BuildButtons();
  void ConnectEdits();
  void Pull();
  void Push();
  void SelectionChanged();

  CAdvancedDlg& model_;
  QTimer* refresh_ = nullptr;
  std::array<QRadioButton*, 3> radios_{};
  QComboBox* address_ = nullptr;
  QComboBox* tat_ = nullptr;
  QLineEdit* hprTat_ = nullptr;
  QLabel* interrogateLabel_ = nullptr;
  QComboBox* interrogate_ = nullptr;
  QLabel* beaconLabel_ = nullptr;
  QComboBox* beacon_ = nullptr;
  QLabel* replyLabel_ = nullptr;
  QComboBox* reply_ = nullptr;
  QLineEdit* replyCode_ = nullptr;
  QComboBox* power_ = nullptr;
  QComboBox* gain_ = nullptr;
  QComboBox* cwt_ = nullptr;
  QComboBox* cwr_ = nullptr;
  QComboBox* cwc_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class AddressDialog : public QDialog {
 public:
  explicit AddressDialog(CAddressDlg& model, QWidget* parent = nullptr);
  void reject() override;

  // Shows a refusal of "OK" (an information box by default; a check replaces it).
  std::function<void(QWidget*, const DialogMessage&)> showMessage;

  QComboBox* addressList() const { return address_; }
  QComboBox* hprList() const { return hpr_; }
  QPushButton* okButton() const { return ok_; }

 private:
  void Pull();
  void Push();

  CAddressDlg& model_;
  QLineEdit* heading_ = nullptr;
  QComboBox* address_ = nullptr;
  QLabel* hprLabel_ = nullptr;
  QComboBox* hpr_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
