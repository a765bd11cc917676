#include "port_select_window.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "dialog_units.h"

PortSelectWindow::PortSelectWindow(CPortSelectDlg& model, std::vector<SerialPortInfo> ports, QWidget* parent,
                                   std::function<std::vector<SerialPortInfo>()> rescan)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      model_(model),
      ports_(std::move(ports)),
      rescan_(std::move(rescan)) {
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
  FillList();
  details_ = new QLabel(this);
  details_->setGeometry(du.Rect(95, 7, 352, 50));
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
  BuildTable(du);
  FillTable();
  setFixedSize(du.Size(454, 152));
  ShowDetails();
  model_.FollowPorts(ports_);
  if (rescan_) {
    rescanTimer_ = new QTimer(this);
    connect(rescanTimer_, &QTimer::timeout, this, [this] { Rescan(); });
    rescanTimer_->start(1000);
  }
}

void PortSelectWindow::BuildTable(const DialogUnits& du) {
  // Beside the dialog's own controls: the machine's ports, one row each.
  table_ = new QTableWidget(0, CPortSelectDlg::kColumns, this);
  table_->setObjectName("portTable");
  table_->setAccessibleName("Ports of this machine");
  table_->setGeometry(du.Rect(7, 61, 440, 84));
  table_->setWordWrap(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  QStringList titles;
  for (const char* t : CPortSelectDlg::kColumnTitles) titles << t;
  table_->setHorizontalHeaderLabels(titles);
}

void PortSelectWindow::FillList() {
  const QString typed = list_->currentText();
  list_->clear();
  for (const auto& e : model_.entries) list_->addItem(QString::fromStdString(e));
  // Nothing is chosen until the operator picks or types a port; a refresh keeps the choice.
  const int at = list_->findText(typed);
  list_->setCurrentIndex(at);
  if (at < 0) list_->setEditText(typed);
}

void PortSelectWindow::FillTable() {
  table_->setRowCount(static_cast<int>(ports_.size()));
  for (int r = 0; r < static_cast<int>(ports_.size()); ++r) {
    const auto row = CPortSelectDlg::RowFor(ports_[static_cast<size_t>(r)]);
    for (int c = 0; c < CPortSelectDlg::kColumns; ++c)
      table_->setItem(r, c, new QTableWidgetItem(QString::fromStdString(row[static_cast<size_t>(c)])));
  }
  table_->resizeColumnsToContents();
}

void PortSelectWindow::Rescan() {
  if (!rescan_) return;
  std::vector<SerialPortInfo> now = rescan_();
  const bool tableChanged = now.size() != ports_.size() ||
                            !std::equal(now.begin(), now.end(), ports_.begin(), [](const auto& a, const auto& b) {
                              return CPortSelectDlg::RowFor(a) == CPortSelectDlg::RowFor(b);
                            });
  ports_ = std::move(now);
  if (model_.FollowPorts(ports_)) FillList();
  if (tableChanged) {
    FillTable();
    ShowDetails();
  }
}

void PortSelectWindow::ShowDetails() {
  const int port = CPortSelectDlg::PortFromText(list_->currentText().toStdString());
  QString text = QString::fromStdString(CPortSelectDlg::DetailsFor(port, ports_));
  if (list_->currentText().isEmpty()) text = "Choose the port the unit is on";
  details_->setText(text);
}

void PortSelectWindow::reject() { QDialog::reject(); }
