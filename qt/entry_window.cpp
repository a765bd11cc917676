#include "entry_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialog_units.h"

EntryWindow::EntryWindow(CEntryDlg& model, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), model_(model) {
  setObjectName("entryDialog");
  const DialogUnits du(font());
  model_.Open();
  const QString title = QString::fromStdString(model_.title);
  setWindowTitle(title);
  prompt_ = new QLabel(title, this);
  prompt_->setGeometry(du.Rect(7, 7, 226, 10));
  edit_ = new QLineEdit(this);
  edit_->setGeometry(du.Rect(7, 20, 150, 14));
  edit_->setText(QString::fromStdString(model_.editText));
  edit_->setAccessibleName(title);
  prompt_->setBuddy(edit_);
  enter_ = new QPushButton("Enter", this);
  ok_ = new QPushButton("OK", this);
  for (auto* b : {enter_, ok_}) {
    b->setGeometry(du.Rect(170, 20, 63, 14));
    b->setAccessibleName(b->text());
    connect(b, &QPushButton::clicked, this, [this] { AcceptEntry(); });
  }
  enter_->setVisible(model_.useEnterButton);
  ok_->setVisible(!model_.useEnterButton);
  (model_.useEnterButton ? enter_ : ok_)->setDefault(true);
  setFixedSize(du.Size(240, 41));
  edit_->selectAll();
  edit_->setFocus();
}

void EntryWindow::AcceptEntry() {
  model_.editText = edit_->text().toStdString();
  model_.Accept();
  accept();
}
