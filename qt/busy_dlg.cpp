#include "busy_dlg.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "dialog_units.h"

QPointer<QWidget> CBusyDlg::lastOwner_;

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent) {
  setAccessibleName("Busy animation");
  timer_ = new QTimer(this);
  timer_->setInterval(kFrameMs);
  connect(timer_, &QTimer::timeout, this, [this] { Advance(); });
}

void BusyAnimation::SelectAnimation(int clip) {
  clip_ = clip == 1 ? 1 : 2;
  frame_ = 0;
  advanced_ = 0;
  timer_->start();
  update();
}

bool BusyAnimation::running() const { return timer_->isActive(); }

void BusyAnimation::Advance() {
  frame_ = (frame_ + 1) % kFramesPerClip;
  ++advanced_;
  update();
}

void BusyAnimation::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = rect();
  const QColor sea(18, 74, 112);
  const QColor wave(120, 200, 235);
  if (clip_ == 1) {
    // A row of eight dots; the bright one walks along and back.
    const int n = 8;
    const int lit = frame_ < n ? frame_ : kFramesPerClip - 1 - frame_;
    const double step = r.width() / n;
    const double radius = std::min(step, r.height()) * 0.25;
    for (int i = 0; i < n; ++i) {
      p.setPen(Qt::NoPen);
      p.setBrush(i == lit ? wave : sea);
      p.drawEllipse(QPointF(step * (i + 0.5), r.center().y()), radius, radius);
    }
    return;
  }
  // An acoustic ping: a transponder on the left sends rings that spread to the right and fade.
  p.fillRect(r, QColor(232, 242, 248));
  const double cy = r.center().y();
  const double body = r.height() * 0.28;
  p.setPen(Qt::NoPen);
  p.setBrush(sea);
  p.drawRoundedRect(QRectF(4, cy - body, body * 1.4, body * 2), 3, 3);
  const double origin = 4 + body * 1.4;
  const double span = r.width() - origin - 4;
  for (int k = 0; k < 3; ++k) {
    const double phase = std::fmod(frame_ / double(kFramesPerClip) + k / 3.0, 1.0);
    const double radius = 6 + phase * span;
    QColor c = wave.darker(100 + int(phase * 60));
    c.setAlphaF(1.0 - phase * 0.85);
    p.setPen(QPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.arcMoveTo(QRectF(origin - radius, cy - radius, 2 * radius, 2 * radius), -40);
    arc.arcTo(QRectF(origin - radius, cy - radius, 2 * radius, 2 * radius), -40, 80);
    p.drawPath(arc);
  }
}

CBusyDlg::CBusyDlg(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  // A top-level window of its own, so disabling the main window leaves it drawn as it is.
  if (mainWindow) setFont(mainWindow->font());
  setAttribute(Qt::WA_DeleteOnClose, false);
  setAccessibleName("Busy");
  setObjectName("busyWindow");
  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Box | QFrame::Plain);
  frame->setLineWidth(1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(frame);
  auto* layout = new QVBoxLayout(frame);
  const DialogUnits du(font());
  animation_ = new BusyAnimation(frame);
  animation_->setFixedSize(du.Size(137, 26));
  caption_ = new QLabel(frame);
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setAccessibleName("Busy caption");
  caption_->setMinimumWidth(du.X(160));
  layout->addWidget(animation_, 0, Qt::AlignHCenter);
  layout->addWidget(caption_);

  DisableOwners(mainWindow);
  // Place it over the centre of the main window and show and paint it at once.
  adjustSize();
  if (mainWindow) {
    const QRect m = mainWindow->frameGeometry();
    move(m.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  raise();
  repaint();
}

void CBusyDlg::DisableOwners(QWidget* mainWindow) {
  // The window that would own a new dialog: the active modal one, else the active window.
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  if (owner && owner->window() == mainWindow) owner = nullptr;
  if (!owner) {
    owner = lastOwner_;  // forgotten by QPointer when it has gone
  } else {
    lastOwner_ = owner;
  }
  if (owner && owner != this && owner->isEnabled() && owner->isVisible()) {
    owner->setEnabled(false);
    disabledOwner_ = owner;
  }
  if (mainWindow && mainWindow->isEnabled()) {
    mainWindow->setEnabled(false);
    disabledMain_ = mainWindow;
  }
}

CBusyDlg::~CBusyDlg() { Restore(); }

void CBusyDlg::SetCaption(const QString& caption) {
  caption_->setText(caption);
  caption_->repaint();
}

QString CBusyDlg::caption() const { return caption_->text(); }

void CBusyDlg::SelectAnimation(int clip) { animation_->SelectAnimation(clip); }

void CBusyDlg::Restore() {
  if (disabledOwner_) disabledOwner_->setEnabled(true);
  if (disabledMain_) disabledMain_->setEnabled(true);
  disabledOwner_ = nullptr;
  disabledMain_ = nullptr;
}

void CBusyDlg::Close() {
  Restore();
  hide();
  deleteLater();
}
