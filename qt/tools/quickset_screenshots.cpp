// Draws the quickset, advanced and address dialogs offscreen and writes their screenshots:
//   quickset-screenshots [--check] [folder]
// The folder defaults to docs/ of the source tree. With --check it also drives each window
// as the operator would (clicks, list choices) and checks that the model follows; the exit
// status is 1 when a check fails.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <cstring>
#include <string>

#include "quickset/address_dlg.h"
#include "quickset/advanced_dlg.h"
#include "quickset/quickset_dlg.h"
#include "quickset_dialogs.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    ++failures;
    std::fprintf(stderr, "FAILED: %s\n", what);
  }
}

UnitStatus QrnUnitOnA3() {
  UnitStatus s;
  s.UnitId = 0x1A2B3C;
  s.SerialNo = "012345-001";
  s.TypeNo = "8120-001";
  s.Band = "MF";
  s.TdrType = "T30";
  s.Address = 15;
  s.Channel = 5;
  s.Tat = 500.0f;
  s.AltCIFChannel = 6;
  s.CIFReplyCHannel = 15;
  s.Enabled = "WDD";
  s.WideBandEnabled = 1;
  s.CPA = 1;
  s.CPL = 1;
  s.RxGain = 4;
  s.HPRms = 5;
  s.HPRls = 7;
  s.CWTIndex = 2;
  s.CWRIndex = 3;
  s.CWCIndex = 4;
  return s;
}

void Settle(QWidget& w) {
  w.show();
  w.adjustSize();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(QWidget& w, const QString& path) {
  Settle(w);
  const bool ok = w.grab().save(path, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
  return ok;
}

int IndexOf(QComboBox* box, const char* text) { return box->findText(QString::fromLatin1(text)); }

void CheckQuickset() {
  CQuicksetDlg model;
  model.editedStatus = QrnUnitOnA3();
  model.unitModel = 2;
  QuicksetDialog dlg(model);
  Settle(dlg);
  QPushButton* a3 = dlg.schemeButton(2);
  QPushButton* b1 = dlg.schemeButton(4);
  Check(a3->font().pixelSize() == 40 && b1->font().pixelSize() == 20, "quickset: A3 drawn at height 40, B1 at 20");
  Check(QFontInfo(a3->font()).family().contains(QStringLiteral("Serif")) ||
            QFontInfo(a3->font()).family().contains(QStringLiteral("Times")),
        "quickset: a Times-like serif face for the scheme buttons");
  Check(dlg.schemeButton(12)->isHidden() && !b1->isHidden(), "quickset: model 2 shows A1-C4, hides MA-MC");
  b1->click();
  Check(model.schemeIndex == 4 && dlg.addressEdit()->text() == QStringLiteral("1401"), "quickset: B1 click");
  Check(b1->font().pixelSize() == 40 && a3->font().pixelSize() == 20, "quickset: B1 now large");
  dlg.addressEdit()->setText(QStringLiteral("999"));
  emit dlg.addressEdit()->textEdited(QStringLiteral("999"));
  Check(dlg.addressEdit()->text() == QStringLiteral("1401"), "quickset: typed address put back");
  dlg.powerList()->setCurrentIndex(IndexOf(dlg.powerList(), "High"));
  dlg.gainList()->setCurrentIndex(IndexOf(dlg.gainList(), "Medium"));
  dlg.setButton()->click();
  Check(model.applyRequested && model.end == DialogEnd::Set && dlg.result() == QDialog::Accepted,
        "quickset: Set closes with apply");
  Check(model.editedStatus.CPU == 2 && model.editedStatus.CPA == 2 && model.editedStatus.RxGain == 2,
        "quickset: power and gain read from the lists");
  Check(model.editedStatus.Address == 14 && model.editedStatus.Channel == 1, "quickset: B1 row applied");

  CQuicksetDlg cancelled;
  cancelled.editedStatus = QrnUnitOnA3();
  cancelled.unitModel = 2;
  QuicksetDialog dlg2(cancelled);
  Settle(dlg2);
  dlg2.reject();  // the window's own cancel
  Check(cancelled.closed && cancelled.end == DialogEnd::Cancelled && !cancelled.applyRequested,
        "quickset: window cancel");
}

void CheckAdvanced() {
  CAdvancedDlg model;
  model.editedStatus = QrnUnitOnA3();
  AdvancedDialog dlg(model);
  Settle(dlg);
  Check(!dlg.schemeRadio(1)->isHidden() && dlg.schemeRadio(0)->isChecked(), "advanced: MF unit opens in Wideband");
  Check(dlg.replyCodeEdit()->isVisible() && dlg.replyCodeEdit()->text() == QStringLiteral("1505"),
        "advanced: reply code shown");
  QComboBox* address = dlg.addressList();
  const int i = IndexOf(address, "1203");
  address->setCurrentIndex(i);
  emit address->activated(i);
  Check(dlg.RefreshTimerActive() && model.refreshPending, "advanced: address choice starts the refresh");
  Check(dlg.replyCodeEdit()->text() == QStringLiteral("1505"), "advanced: reply code waits for the refresh");
  dlg.RefreshNow();
  Check(!dlg.RefreshTimerActive() && dlg.replyCodeEdit()->text() == QStringLiteral("1203"),
        "advanced: reply code follows the address");
  dlg.schemeRadio(1)->click();
  Check(model.navScheme == 1 && dlg.beaconList()->isVisible() && dlg.hprTatEdit()->isVisible() &&
            !dlg.replyCodeEdit()->isVisible(),
        "advanced: HPR shows beacon and HPR TAT");
  Check(dlg.beaconList()->currentText() == QStringLiteral("57") && dlg.hprTatEdit()->text() == QStringLiteral("60"),
        "advanced: beacon selected from the unit");
  dlg.setButton()->click();
  Check(model.applied && model.editedStatus.Enabled == "DDE" && model.editedStatus.Address == 12,
        "advanced: Set applies");
}

void CheckAddress() {
  CAddressDlg model;
  model.Band = "MF";
  model.Address = 10;
  model.Channel = 5;
  model.HPRms = 0;
  model.HPRls = 0;
  AddressDialog dlg(model);
  std::string shown;
  dlg.showMessage = [&](QWidget*, const DialogMessage& m) { shown = m.caption + ": " + m.text; };
  Settle(dlg);
  dlg.addressList()->setCurrentIndex(-1);
  dlg.okButton()->click();
  Check(shown == "Entry error: Illegal unit address" && dlg.isVisible(), "address: refusal shown, dialog open");
  // The list takes typing: an address the rules refuse is refused, the typed text stays.
  shown.clear();
  Check(dlg.addressList()->isEditable(), "address: the list is editable");
  dlg.addressList()->setEditText(QStringLiteral("1600"));
  dlg.okButton()->click();
  Check(shown == "Entry error: Illegal unit address" && dlg.isVisible() &&
            dlg.addressList()->currentText() == QStringLiteral("1600"),
        "address: typed 1600 refused");
  dlg.addressList()->setCurrentIndex(IndexOf(dlg.addressList(), "1203"));
  dlg.okButton()->click();
  Check(model.changed && model.Address == 12 && model.Channel == 3 && dlg.result() == QDialog::Accepted,
        "address: OK takes the new address");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bool check = false;
  QString folder = QStringLiteral(VT_SOURCE_DIR "/docs");
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check") == 0) check = true;
    else folder = QString::fromLocal8Bit(argv[i]);
  }
  QDir().mkpath(folder);
  bool saved = true;
  {
    CQuicksetDlg model;
    model.editedStatus = QrnUnitOnA3();
    model.unitModel = 2;
    QuicksetDialog dlg(model);
    saved &= Save(dlg, folder + QStringLiteral("/quickset-dialog.png"));
  }
  {
    CAdvancedDlg model;
    model.editedStatus = QrnUnitOnA3();
    AdvancedDialog dlg(model);
    saved &= Save(dlg, folder + QStringLiteral("/advanced-dialog.png"));
  }
  {
    CAddressDlg model;
    const UnitStatus s = QrnUnitOnA3();
    model.Address = s.Address;
    model.Channel = s.Channel;
    model.HPRms = s.HPRms;
    model.HPRls = s.HPRls;
    model.Band = s.Band.view();
    model.TypeNo = s.TypeNo.view();
    model.SerialNo = s.SerialNo.view();
    model.TdrType = s.TdrType.view();
    model.unitModel = 2;
    AddressDialog dlg(model);
    saved &= Save(dlg, folder + QStringLiteral("/address-dialog.png"));
  }
  Check(saved, "screenshots written");
  if (check) {
    CheckQuickset();
    CheckAdvanced();
    CheckAddress();
  }
  if (failures == 0 && check) std::printf("all dialog checks passed\n");
  return failures == 0 ? 0 : 1;
}
