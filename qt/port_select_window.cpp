#include "port_select_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialog_units.h"

PortSelectWindow::PortSelectWindow(CPortSelectDlg& model, std::vector<SerialPortInfo> ports, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      model_(model),
      ports_(std::move(ports)) {
  setObjectName("portSelectDialog");
  setWindowTitle(kPortDialogTitle);
  const DialogUnits du(font());
  auto* label = new QLabel("Port", this);
  label->setGeometry(du.Rect(7, 7, 80, 9));
  list_ = new QComboBox(this);
  list_->setEditable(true);
  list_->setInsertPolicy(QComboBox::NoInsert);
  list_->setGeometry(du.Rect(7, 18, 80, 14));
  list_->setAccessibleName("Comm port");
  label->setBuddy(list_);
  for (const auto& e : model_.entries) list_->addItem(QString::fromStdString(e));
  // Nothing is chosen until the operator picks or types a port.
  list_->setCurrentIndex(-1);
  list_->setEditText(QString());
  details_ = new QLabel(this);
  details_->setGeometry(du.Rect(95, 7, 150, 40));
  details_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  details_->setWordWrap(true);
  details_->setAccessibleName("Port details");
  select_ = new QPushButton("Select", this);
  select_->setGeometry(du.Rect(7, 40, 80, 14));
  select_->setAccessibleName("Select");
  select_->setDefault(true);
  connect(list_, &QComboBox::currentTextChanged, this, [this] { ShowDetails(); });
  connect(select_, &QPushButton::clicked, this, [this] {
    model_.Select(list_->currentText().toStdString());
    accept();
  });
  setFixedSize(du.Size(252, 61));
  ShowDetails();
}

void PortSelectWindow::ShowDetails() {
  const int port = CPortSelectDlg::PortFromText(list_->currentText().toStdString());
  QString text = QString::fromStdString(CPortSelectDlg::DetailsFor(port, ports_));
  if (list_->currentText().isEmpty()) text = "Choose the port the unit is on";
  details_->setText(text);
}

void PortSelectWindow::reject() { QDialog::reject(); }
