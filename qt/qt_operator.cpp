#include "qt_operator.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "busy_dlg.h"
#include "entry_window.h"
#include "firmware/srecord_image.h"
#include "gui_thread.h"
#include "platform/text_encoding.h"
#include "port_select_window.h"
#include "quickset_dialogs.h"
#include "ui/small_dialogs.h"

QString ToDisplayText(const std::string& text) {
  // The unit's and the records' text is code page 1252.
  const std::string utf8 = text_encoding::Cp1252ToUtf8(text, false);
  QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  s.replace("\r\n", "\n");
  s.replace('\r', '\n');
  return s;
}

QtOperator::QtOperator(ISerialProvider* provider, QObject* parent) : QObject(parent), provider_(provider) {}

QtOperator::~QtOperator() {
  if (busy_) delete busy_.data();
  while (waitCursors_-- > 0) QApplication::restoreOverrideCursor();
}

MbAnswer QtOperator::MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) {
  return RunOnGui(this, [&] {
    QMessageBox box(main_);
    box.setWindowTitle(caption.empty() ? QString(kProgramCaption) : QString::fromStdString(caption));
    box.setText(ToDisplayText(text));
    switch (icon) {
      case MbIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
      case MbIcon::Question: box.setIcon(QMessageBox::Question); break;
      case MbIcon::Information: box.setIcon(QMessageBox::Information); break;
      case MbIcon::Stop: box.setIcon(QMessageBox::Critical); break;
      case MbIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
      case MbButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
      case MbButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
      case MbButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    }
    const int r = box.exec();
    switch (r) {
      case QMessageBox::Yes: return MbAnswer::Yes;
      case QMessageBox::No: return MbAnswer::No;
      case QMessageBox::Cancel: return MbAnswer::Cancel;
      default: return buttons == MbButtons::YesNo ? MbAnswer::No : MbAnswer::Ok;
    }
  });
}

void QtOperator::ShowBusy() {
  RunOnGui(this, [this] {
    if (busy_) return;
    busy_ = new CBusyDlg(main_);
    busy_->SelectAnimation(2);
  });
}

void QtOperator::SetBusyCaption(const std::string& caption) {
  RunOnGui(this, [&] {
    if (busy_) busy_->SetCaption(QString::fromStdString(caption));
  });
}

void QtOperator::HideBusy() {
  RunOnGui(this, [this] {
    if (busy_) busy_->Close();
    busy_ = nullptr;
  });
}

void QtOperator::WaitCursor(bool on) {
  RunOnGui(this, [&] {
    if (on) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      ++waitCursors_;
    } else if (waitCursors_ > 0) {
      QApplication::restoreOverrideCursor();
      --waitCursors_;
    }
  });
}

std::optional<std::string> QtOperator::Entry(const std::string& title, const std::string& value, bool useEnterButton) {
  return RunOnGui(this, [&]() -> std::optional<std::string> {
    CEntryDlg model;
    model.useEnterButton = useEnterButton;
    model.title = title;
    model.value = value;
    EntryWindow window(model, main_);
    if (window.exec() != QDialog::Accepted) return std::nullopt;
    return model.value;
  });
}

std::optional<std::string> QtOperator::ChooseFile(const std::string& initialFolder, int kind) {
  return RunOnGui(this, [&]() -> std::optional<std::string> {
    int count = 0;
    const CSRecordImage::Filter* filters = CSRecordImage::FileFilters(kind, count);
    QStringList list;
    // Qt reads the patterns from the descriptions themselves: "Programs (*.a07)".
    for (int i = 0; i < count; ++i) list << QString::fromLatin1(filters[i].description);
    QFileDialog dialog(nullptr, QString(), QString::fromStdString(initialFolder));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(list);
    if (!list.isEmpty()) dialog.selectNameFilter(list.front());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
  });
}

PortChoice QtOperator::SelectPort(const std::vector<bool>& portPresent) {
  // The machine's list is read here, on the thread that uses the ports.
  std::vector<SerialPortInfo> ports = provider_ ? provider_->ListPorts() : std::vector<SerialPortInfo>{};
  return RunOnGui(this, [&] {
    CPortSelectDlg model;
    model.SetPresent(portPresent);
    if (!model.Open()) return PortChoice{-1};
    std::function<std::vector<SerialPortInfo>()> rescan;
    if (provider_) rescan = [this] { return provider_->ListPorts(); };
    PortSelectWindow window(model, ports, main_, rescan);
    window.exec();
    return PortChoice{model.chosenPort};
  });
}

void QtOperator::ShowProgress(bool visible) {
  RunOnGui(this, [&] {
    if (showProgress) showProgress(visible);
  });
}

void QtOperator::SetProgress(int percent) {
  RunOnGui(this, [&] {
    if (setProgress) setProgress(percent);
  });
}

DialogEnd QtOperator::RunQuicksetDialog(CQuicksetDlg& dlg) {
  return RunOnGui(this, [&] { return ExecQuicksetDialog(main_, dlg); });
}

DialogEnd QtOperator::RunAdvancedDialog(CAdvancedDlg& dlg) {
  return RunOnGui(this, [&] { return ExecAdvancedDialog(main_, dlg); });
}

DialogEnd QtOperator::RunAddressDialog(CAddressDlg& dlg) {
  return RunOnGui(this, [&] { return ExecAddressDialog(main_, dlg); });
}
