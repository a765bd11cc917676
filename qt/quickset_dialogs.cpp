#include "quickset_dialogs.h"

#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include "quickset/address_dlg.h"
#include "quickset/advanced_dlg.h"
#include "quickset/quickset_dlg.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Draws a list: its entries, and the selected one (none when the model selects none).
void PushList(QComboBox* box, const ListControl& list) {
  const QSignalBlocker block(box);
  bool same = box->count() == static_cast<int>(list.items.size());
  for (int i = 0; same && i < box->count(); ++i) same = box->itemText(i) == Q(list.items[i]);
  if (!same) {
    box->clear();
    for (const auto& item : list.items) box->addItem(Q(item));
  }
  if (box->isEditable() != list.editable) {
    box->setEditable(list.editable);
    box->setInsertPolicy(QComboBox::NoInsert);  // a typed text never joins the list
  }
  const int index = list.SelectedIndex();
  box->setCurrentIndex(index);
  if (list.editable && index < 0) box->setEditText(Q(list.text));
}

void PullList(const QComboBox* box, ListControl& list) {
  if (box->isEditable()) list.text = box->currentText().toStdString();
  else list.text = box->currentIndex() >= 0 ? box->currentText().toStdString() : std::string();
}

void PushEdit(QLineEdit* edit, const std::string& text) {
  if (edit->text() != Q(text)) edit->setText(Q(text));
}

QComboBox* NewList(QWidget* parent, int width = 110) {
  auto* box = new QComboBox(parent);
  box->setEditable(false);
  box->setMinimumWidth(width);
  box->setMaxVisibleItems(15);
  return box;
}

QFont SchemeFont(int height) {
  QFont f(QString::fromLatin1(CQuicksetDlg::kFontFace));
  f.setPixelSize(height);
  return f;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Quickset

QuicksetDialog::QuicksetDialog(CQuicksetDlg& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromLatin1(CQuicksetDlg::kCaption));
  auto* top = new QVBoxLayout(this);
  heading_ = new QLabel(this);
  QFont bold = heading_->font();
  bold.setBold(true);
  heading_->setFont(bold);
  top->addWidget(heading_);

  auto* body = new QHBoxLayout;
  top->addLayout(body);
  BuildSchemes(body);
  body->addSpacing(16);
  BuildEntries(body);

  model_.OnInitDialog();
  Push();
}

void QuicksetDialog::BuildSchemes(QHBoxLayout* body) {
  auto* left = new QVBoxLayout;
  body->addLayout(left);
  auto* grid = new QGridLayout;
  grid->setSpacing(6);
  left->addLayout(grid);
  for (size_t i = 0; i < schemeButtons_.size(); ++i) {
    const auto& b = model_.buttons[i];
    auto* button = new QPushButton(QString::fromLatin1(b.caption), this);
    button->setFixedSize(84, 60);
    button->setFont(SchemeFont(CQuicksetDlg::kSmallFont));
    button->setAutoDefault(false);
    schemeButtons_[i] = button;
    if (i < 12) grid->addWidget(button, static_cast<int>(i / 4), static_cast<int>(i % 4));
    else grid->addWidget(button, 3, static_cast<int>(i - 12));
    connect(button, &QPushButton::clicked, this, [this, i] {
      Pull();
      model_.OnSchemeButton(model_.buttons[i].id);
      Push();
    });
  }
  for (auto& line : lines_) {
    line = new QLabel(this);
    left->addWidget(line);
  }
  left->addStretch();
}

void QuicksetDialog::BuildEntries(QHBoxLayout* body) {
  auto* right = new QGridLayout;
  body->addLayout(right);
  int row = 0;
  auto addEdit = [&](const char* label, QLineEdit*& edit) {
    right->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
    edit = new QLineEdit(this);
    edit->setFixedWidth(110);
    right->addWidget(edit, row++, 1);
    // The edits only show the scheme: whatever is typed is put back at once.
    connect(edit, &QLineEdit::textEdited, this, [this] {
      PushEdit(address_, model_.addressText);
      PushEdit(interrogate_, model_.interrogateText);
      PushEdit(tat_, model_.tatText);
    });
  };
  addEdit("Address", address_);
  addEdit("Interrogate", interrogate_);
  addEdit("TAT", tat_);
  right->setRowMinimumHeight(row++, 10);
  right->addWidget(new QLabel(QStringLiteral("Select Power and Gain;"), this), row++, 0, 1, 2);
  right->addWidget(new QLabel(QStringLiteral("Power"), this), row, 0);
  power_ = NewList(this);
  right->addWidget(power_, row++, 1);
  right->addWidget(new QLabel(QStringLiteral("Gain"), this), row, 0);
  gain_ = NewList(this);
  right->addWidget(gain_, row++, 1);
  right->setRowMinimumHeight(row++, 10);
  right->addWidget(new QLabel(QStringLiteral("Click Set to program transponder"), this), row++, 0, 1, 2);
  BuildButtons(right, row);
}

void QuicksetDialog::BuildButtons(QGridLayout* right, int row) {
  set_ = new QPushButton(QStringLiteral("Set"), this);
  advanced_ = new QPushButton(QStringLiteral("Advanced"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* b : {set_, advanced_, cancel_}) {
    b->setAutoDefault(false);
    right->addWidget(b, row++, 0, 1, 2);
  }
  right->setRowStretch(row, 1);

  connect(set_, &QPushButton::clicked, this, [this] {
    Pull();
    model_.OnSet();
    AfterHandler();
  });
  connect(advanced_, &QPushButton::clicked, this, [this] {
    Pull();
    model_.OnAdvanced();
    AfterHandler();
  });
  connect(cancel_, &QPushButton::clicked, this, &QuicksetDialog::reject);
}

void QuicksetDialog::Pull() {
  PullList(power_, model_.power);
  PullList(gain_, model_.gain);
}

void QuicksetDialog::Push() {
  heading_->setText(Q(model_.heading));
  for (size_t i = 0; i < lines_.size(); ++i) lines_[i]->setText(Q(model_.lines[i]));
  for (size_t i = 0; i < schemeButtons_.size(); ++i) {
    const auto& b = model_.buttons[i];
    schemeButtons_[i]->setFont(SchemeFont(b.fontHeight));
    schemeButtons_[i]->setVisible(b.visible);
  }
  PushEdit(address_, model_.addressText);
  PushEdit(interrogate_, model_.interrogateText);
  PushEdit(tat_, model_.tatText);
  PushList(power_, model_.power);
  PushList(gain_, model_.gain);
}

void QuicksetDialog::AfterHandler() {
  Push();
  if (model_.closed) done(model_.end == DialogEnd::Cancelled ? QDialog::Rejected : QDialog::Accepted);
}

void QuicksetDialog::reject() {
  if (!model_.closed) model_.OnCancel();
  QDialog::reject();
}

DialogEnd ExecQuicksetDialog(QWidget* parent, CQuicksetDlg& model) {
  QuicksetDialog dlg(model, parent);
  dlg.exec();
  if (!model.closed) model.OnCancel();
  return model.end;
}

// ---------------------------------------------------------------------------------------------
// Advanced

AdvancedDialog::AdvancedDialog(CAdvancedDlg& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromLatin1(CAdvancedDlg::kCaption));
  refresh_ = new QTimer(this);
  refresh_->setSingleShot(true);
  refresh_->setInterval(CAdvancedDlg::kRefreshDelayMs);
  connect(refresh_, &QTimer::timeout, this, &AdvancedDialog::RefreshNow);

  auto* top = new QVBoxLayout(this);
  top->addWidget(new QLabel(QStringLiteral("Set entries as required then press Set to set up the unit"), this));
  auto* upper = new QHBoxLayout;
  top->addLayout(upper);
  upper->addWidget(BuildSchemes());
  upper->addWidget(BuildPowerAndGain());
  top->addWidget(BuildRanging());
  top->addLayout(BuildButtons());
  ConnectEdits();

  model_.OnInitDialog();
  Push();
}

QWidget* AdvancedDialog::BuildSchemes() {
  auto* nav = new QGroupBox(QStringLiteral("Nav scheme"), this);
  auto* navLayout = new QVBoxLayout(nav);
  const char* names[3] = {"Wideband", "HPR", "Dranmere tone"};
  for (int i = 0; i < 3; ++i) {
    radios_[i] = new QRadioButton(QString::fromLatin1(names[i]), nav);
    navLayout->addWidget(radios_[i]);
    connect(radios_[i], &QRadioButton::clicked, this, [this, i] {
      Pull();
      model_.OnNavScheme(i);
      Push();
    });
  }
  return nav;
}

QWidget* AdvancedDialog::BuildPowerAndGain() {
  auto* powerBox = new QGroupBox(QStringLiteral("Power and Gain"), this);
  auto* powerGrid = new QGridLayout(powerBox);
  powerGrid->addWidget(new QLabel(QStringLiteral("TX Power"), powerBox), 0, 0);
  power_ = NewList(powerBox);
  powerGrid->addWidget(power_, 0, 1);
  powerGrid->addWidget(new QLabel(QStringLiteral("RX Gain"), powerBox), 1, 0);
  gain_ = NewList(powerBox);
  powerGrid->addWidget(gain_, 1, 1);
  return powerBox;
}

QWidget* AdvancedDialog::BuildRanging() {
  auto* ranging = new QGroupBox(QStringLiteral("Ranging"), this);
  auto* grid = new QGridLayout(ranging);
  grid->addWidget(new QLabel(QStringLiteral("Address"), ranging), 0, 0);
  address_ = NewList(ranging);
  grid->addWidget(address_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("TAT"), ranging), 1, 0);
  tat_ = NewList(ranging);
  grid->addWidget(tat_, 1, 1);
  hprTat_ = new QLineEdit(ranging);
  grid->addWidget(hprTat_, 1, 1);  // over the TAT list
  interrogateLabel_ = new QLabel(QStringLiteral("Interrogate on"), ranging);
  grid->addWidget(interrogateLabel_, 2, 0);
  interrogate_ = NewList(ranging);
  grid->addWidget(interrogate_, 2, 1);
  beaconLabel_ = new QLabel(QStringLiteral("Beacon"), ranging);
  grid->addWidget(beaconLabel_, 3, 0);
  beacon_ = NewList(ranging);
  grid->addWidget(beacon_, 3, 1);
  replyLabel_ = new QLabel(QStringLiteral("Reply on"), ranging);
  grid->addWidget(replyLabel_, 4, 0);
  reply_ = NewList(ranging);
  grid->addWidget(reply_, 4, 1);
  replyCode_ = new QLineEdit(ranging);
  grid->addWidget(replyCode_, 4, 1);  // over the reply list
  // The timing lists are never shown; their labels neither.
  cwt_ = NewList(ranging);
  cwr_ = NewList(ranging);
  cwc_ = NewList(ranging);
  for (QComboBox* hidden : {cwt_, cwr_, cwc_}) hidden->hide();
  return ranging;
}

QHBoxLayout* AdvancedDialog::BuildButtons() {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  set_ = new QPushButton(QStringLiteral("Set"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* b : {set_, cancel_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  connect(set_, &QPushButton::clicked, this, [this] {
    refresh_->stop();
    Pull();
    model_.OnSet();
    Push();
    done(QDialog::Accepted);
  });
  connect(cancel_, &QPushButton::clicked, this, &AdvancedDialog::reject);
  return buttons;
}

void AdvancedDialog::ConnectEdits() {
  connect(address_, &QComboBox::activated, this, &AdvancedDialog::SelectionChanged);
  connect(beacon_, &QComboBox::activated, this, &AdvancedDialog::SelectionChanged);
  for (QLineEdit* derived : {hprTat_, replyCode_}) {
    connect(derived, &QLineEdit::textEdited, this, [this] {
      model_.OnDerivedEditChanged();
      PushEdit(hprTat_, model_.hprTatText);
      PushEdit(replyCode_, model_.replyCodeText);
    });
  }
}

void AdvancedDialog::SelectionChanged() {
  Pull();
  if (model_.OnAddressOrBeaconChanged()) refresh_->start();
}

void AdvancedDialog::RefreshNow() {
  refresh_->stop();
  Pull();
  model_.OnRefreshTimer();
  Push();
}

bool AdvancedDialog::RefreshTimerActive() const { return refresh_->isActive(); }

void AdvancedDialog::Pull() {
  PullList(address_, model_.address);
  PullList(tat_, model_.tat);
  PullList(interrogate_, model_.interrogate);
  PullList(beacon_, model_.beacon);
  PullList(reply_, model_.reply);
  PullList(power_, model_.power);
  PullList(gain_, model_.gain);
  PullList(cwt_, model_.cwt);
  PullList(cwr_, model_.cwr);
  PullList(cwc_, model_.cwc);
}

void AdvancedDialog::Push() {
  for (int i = 0; i < 3; ++i) {
    const QSignalBlocker block(radios_[i]);
    radios_[i]->setChecked(model_.navScheme == i);
  }
  radios_[CAdvancedDlg::kHpr]->setVisible(model_.shown.hprRadio);
  PushList(address_, model_.address);
  PushList(tat_, model_.tat);
  PushList(interrogate_, model_.interrogate);
  PushList(beacon_, model_.beacon);
  PushList(reply_, model_.reply);
  PushList(power_, model_.power);
  PushList(gain_, model_.gain);
  PushList(cwt_, model_.cwt);
  PushList(cwr_, model_.cwr);
  PushList(cwc_, model_.cwc);
  PushEdit(hprTat_, model_.hprTatText);
  PushEdit(replyCode_, model_.replyCodeText);

  const auto& shown = model_.shown;
  tat_->setVisible(shown.tatList);
  hprTat_->setVisible(shown.hprTatEdit);
  beaconLabel_->setVisible(shown.beacon);
  beacon_->setVisible(shown.beacon);
  interrogateLabel_->setVisible(shown.interrogate);
  interrogate_->setVisible(shown.interrogate);
  replyLabel_->setVisible(shown.replyLabel);
  reply_->setVisible(shown.replyList);
  replyCode_->setVisible(shown.replyEdit);
}

void AdvancedDialog::reject() {
  refresh_->stop();
  if (!model_.closed) model_.OnCancel();
  QDialog::reject();
}

DialogEnd ExecAdvancedDialog(QWidget* parent, CAdvancedDlg& model) {
  AdvancedDialog dlg(model, parent);
  dlg.exec();
  if (!model.closed) model.OnCancel();
  return model.end;
}

// ---------------------------------------------------------------------------------------------
// Address

AddressDialog::AddressDialog(CAddressDlg& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(QString::fromLatin1(CAddressDlg::kCaption));
  showMessage = [](QWidget* owner, const DialogMessage& m) {
    QMessageBox::information(owner, Q(m.caption), Q(m.text));
  };
  auto* top = new QVBoxLayout(this);
  heading_ = new QLineEdit(this);
  heading_->setReadOnly(true);
  heading_->setMinimumWidth(460);
  top->addWidget(heading_);

  auto* grid = new QGridLayout;
  top->addLayout(grid);
  grid->addWidget(new QLabel(QStringLiteral("Address"), this), 0, 0);
  address_ = NewList(this);
  grid->addWidget(address_, 1, 0);
  hprLabel_ = new QLabel(QStringLiteral("HPR"), this);
  grid->addWidget(hprLabel_, 0, 1);
  hpr_ = NewList(this);
  grid->addWidget(hpr_, 1, 1);
  grid->setColumnStretch(2, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  ok_->setDefault(true);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  top->addLayout(buttons);

  connect(ok_, &QPushButton::clicked, this, [this] {
    Pull();
    const size_t before = model_.refusals.size();
    const bool closes = model_.OnOk();
    Push();
    if (closes) {
      done(QDialog::Accepted);
    } else if (model_.refusals.size() > before && showMessage) {
      showMessage(this, model_.refusals.back());
    }
  });
  connect(cancel_, &QPushButton::clicked, this, &AddressDialog::reject);

  model_.OnInitDialog();
  Push();
}

void AddressDialog::Pull() {
  PullList(address_, model_.address);
  PullList(hpr_, model_.hpr);
}

void AddressDialog::Push() {
  PushEdit(heading_, model_.heading);
  PushList(address_, model_.address);
  PushList(hpr_, model_.hpr);
  hprLabel_->setVisible(model_.hprShown);
  hpr_->setVisible(model_.hprShown);
}

void AddressDialog::reject() {
  if (!model_.closed) model_.OnCancel();
  QDialog::reject();
}

DialogEnd ExecAddressDialog(QWidget* parent, CAddressDlg& model) {
  AddressDialog dlg(model, parent);
  dlg.exec();
  if (!model.closed) model.OnCancel();
  return model.end;
}
