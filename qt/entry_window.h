// The one-line entry dialog drawn with Qt: the prompt (also the window title), the edit box,
// and "Enter" or "OK" at the same place. Esc leaves the model's value unchanged.
#pragma once
#include <QDialog>

#include "ui/small_dialogs.h"

class QLabel;
class QLineEdit;
class QPushButton;

class EntryWindow : public QDialog {
  Q_OBJECT

 public:
  EntryWindow(CEntryDlg& model, QWidget* parent = nullptr);

  QLineEdit* edit() const { return edit_; }
  QPushButton* enterButton() const { return enter_; }
  QPushButton* okButton() const { return ok_; }

 private:
  void AcceptEntry();
  CEntryDlg& model_;
  QLabel* prompt_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* enter_ = nullptr;
  QPushButton* ok_ = nullptr;
};
