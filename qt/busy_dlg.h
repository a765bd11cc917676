// The busy window: modeless, no title bar, a short looping animation above a caption. While it
// is up the main window (and the dialog it was opened over, if any) takes no input. The
// animation runs on the GUI thread's timer, which keeps ticking while the worker thread is
// blocked talking to the unit.
#pragma once
#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;

class BusyAnimation : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFrameMs = 62;  // 16 frames a second
  static constexpr int kFramesPerClip = 16;

  explicit BusyAnimation(QWidget* parent = nullptr);
  // Clip 1 is a row of pulsing dots, clip 2 an acoustic ping; either loops without end.
  void SelectAnimation(int clip);
  int clip() const { return clip_; }
  // Frames drawn since the clip was selected (keeps counting across loops).
  long framesAdvanced() const { return advanced_; }
  bool running() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void Advance();
  QTimer* timer_ = nullptr;
  int clip_ = 2;
  int frame_ = 0;
  long advanced_ = 0;
};

class CBusyDlg : public QWidget {
  Q_OBJECT

 public:
  // Opens over mainWindow: disables it, and the other window that would own a new dialog.
  explicit CBusyDlg(QWidget* mainWindow);
  ~CBusyDlg() override;

  void SetCaption(const QString& caption);  // shown at once
  QString caption() const;
  void SelectAnimation(int clip);
  BusyAnimation* animation() const { return animation_; }
  // Re-enables the windows it disabled and deletes itself.
  void Close();

 private:
  // Disables the main window and the window that would own a new dialog (a modal one open over
  // it), for Restore to enable again.
  void DisableOwners(QWidget* mainWindow);
  void Restore();
  BusyAnimation* animation_ = nullptr;
  QLabel* caption_ = nullptr;
  QPointer<QWidget> disabledMain_;
  QPointer<QWidget> disabledOwner_;
  static QPointer<QWidget> lastOwner_;
};
