// The operator as the Qt program shows it: real message boxes, the animated busy window, the
// wait cursor, the entry, file, port and settings dialogs, and the progress bar. Every call
// may come from the worker thread; it is carried to the GUI thread and the worker waits.
#pragma once
#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/operator.h"
#include "platform/serial_device.h"

#include "busy_dlg.h"
class QWidget;

// The caption of boxes that the platform gives its default caption.
inline constexpr const char* kProgramCaption = "Test terminal";

class QtOperator : public QObject, public IOperator {
 public:
  // provider: lists the machine's ports for the port selection dialog (may be null).
  explicit QtOperator(ISerialProvider* provider, QObject* parent = nullptr);
  ~QtOperator() override;

  // The main window: owner of the boxes and dialogs, disabled by the busy window.
  void SetMainWindow(QWidget* window) { main_ = window; }
  // The progress bar under the reply pane (the main window draws it).
  std::function<void(bool)> showProgress;
  std::function<void(int)> setProgress;

  MbAnswer MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) override;
  void ShowBusy() override;
  void SetBusyCaption(const std::string& caption) override;
  void HideBusy() override;
  void WaitCursor(bool on) override;
  std::optional<std::string> Entry(const std::string& title, const std::string& value, bool useEnterButton) override;
  std::optional<std::string> ChooseFile(const std::string& initialFolder, int kind) override;
  PortChoice SelectPort(const std::vector<bool>& portPresent) override;
  void ShowProgress(bool visible) override;
  void SetProgress(int percent) override;
  DialogEnd RunQuicksetDialog(CQuicksetDlg& dlg) override;
  DialogEnd RunAdvancedDialog(CAdvancedDlg& dlg) override;
  DialogEnd RunAddressDialog(CAddressDlg& dlg) override;

  CBusyDlg* busyWindow() const { return busy_; }

 private:
  ISerialProvider* provider_;
  QPointer<QWidget> main_;
  QPointer<CBusyDlg> busy_;
  int waitCursors_ = 0;
};

// A text of the terminal (CR LF line ends, sometimes a bare CR) as Qt shows it.
QString ToDisplayText(const std::string& text);
