#include "ui/wavestrip.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "cutlist/cutpoint.h"

namespace zembrio {

namespace {

constexpr int kRulerHeight = 18;
constexpr int kGrabDistance = 4;  // pixels either side of a marker that pick it up
constexpr double kMinMsPerPixel = 0.5;
constexpr double kZoomStep = 1.25;

// Ruler steps that give labels at least this far apart.
constexpr int kMinLabelSpacing = 70;
constexpr int64_t kRulerSteps[] = {100,    250,    500,     1000,    2000,   5000,
                                   10000,  15000,  30000,   60000,   120000, 300000,
                                   600000, 900000, 1800000, 3600000, 7200000};

int64_t RoundMs(double ms) {
  return static_cast<int64_t>(std::llround(ms));
}

QString RulerText(int64_t ms, int64_t step) {
  const int64_t seconds = ms / 1000;
  QString text = QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
  if (step < 1000)
    text += QString(".%1").arg((ms % 1000) / 100);
  return text;
}

}  // namespace

int64_t QuietestMsNear(const TStripLevels& levels, int64_t ms, int64_t radiusMs) {
  const auto count = static_cast<int64_t>(levels.PeakDb.size());
  if (count == 0 || levels.StepMs <= 0)
    return ms;
  const auto stepOf = [&levels](int64_t at) { return static_cast<int64_t>(at / levels.StepMs); };
  const int64_t first = std::max<int64_t>(0, stepOf(ms - radiusMs));
  const int64_t last = std::min(count - 1, stepOf(ms + radiusMs));
  const auto peak = [&levels](int64_t step) { return levels.PeakDb[static_cast<size_t>(step)]; };
  // A step not measured yet is never taken for a quiet one.
  float quietest = std::numeric_limits<float>::infinity();
  for (int64_t step = first; step <= last; ++step) {
    if (TStripLevels::Known(peak(step)))
      quietest = std::min(quietest, peak(step));
  }
  if (std::isinf(quietest))
    return ms;
  // A point already in the quietest place stays where the user put it.
  const int64_t own = stepOf(ms);
  if (own >= first && own <= last && peak(own) == quietest)
    return ms;
  double best = -1;
  for (int64_t step = first; step <= last; ++step) {
    const double middle = (step + 0.5) * levels.StepMs;
    if (peak(step) == quietest && (best < 0 || std::abs(middle - ms) < std::abs(best - ms)))
      best = middle;
  }
  return RoundMs(best);
}

TWaveStrip::TWaveStrip(QWidget* parent)
    : QWidget(parent), scrollBar_(new QScrollBar(Qt::Horizontal, this)) {
  setObjectName("WaveStrip");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAccessibleName("Forme d'onde");
  connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
    firstMs_ = value;
    update();
  });
}

// A small window saved earlier still opens as it was: the strip gives way to the grid.
QSize TWaveStrip::sizeHint() const {
  return {400, 150};
}

QSize TWaveStrip::minimumSizeHint() const {
  return {100, 16};
}

void TWaveStrip::SetList(const TCPList* list) {
  list_ = list;
  update();
}

void TWaveStrip::SetLevels(TStripLevels levels) {
  levels_ = std::move(levels);
  cursorMs_ = std::clamp<int64_t>(cursorMs_, 0, DurationMs());
  fitted_ = true;
  ZoomToFit();
}

void TWaveStrip::PlaceLevels(qint64 first, const std::vector<float>& peakDb) {
  if (first < 0)
    return;
  std::vector<float>& steps = levels_.PeakDb;
  const size_t end = static_cast<size_t>(first) + peakDb.size();
  if (steps.size() < end)
    steps.resize(end, TStripLevels::kUnknownDb);
  std::copy(peakDb.begin(), peakDb.end(), steps.begin() + first);
  update();
}

void TWaveStrip::ClearLevels() {
  SetLevels({});
  cursorMs_ = 0;
}

void TWaveStrip::SetSelectedRow(int row) {
  selectedRow_ = row;
  update();
}

void TWaveStrip::SetCursorMs(int64_t ms) {
  cursorMs_ = std::clamp<int64_t>(ms, 0, std::max<int64_t>(DurationMs(), 0));
  // While playing the cursor may run out of sight: the view follows it.
  const int x = XOfMs(cursorMs_);
  if (x < 0 || x >= width())
    ScrollTo(cursorMs_ - static_cast<int64_t>(width() * msPerPixel_ / 4));
  update();
}

int64_t TWaveStrip::DurationMs() const {
  const int64_t fromSteps = RoundMs(static_cast<double>(levels_.PeakDb.size()) * levels_.StepMs);
  return std::max(levels_.DurationMs, fromSteps);
}

int64_t TWaveStrip::PointMs(const TCutPoint& point) const {
  return PositionAt(point, 1000);
}

int TWaveStrip::WaveTop() const {
  return kRulerHeight + 2;
}

int TWaveStrip::WaveBottom() const {
  return height() - scrollBar_->sizeHint().height() - 2;
}

int TWaveStrip::XOfMs(int64_t ms) const {
  return static_cast<int>(std::lround((ms - firstMs_) / msPerPixel_));
}

int64_t TWaveStrip::MsOfX(int x) const {
  return std::clamp<int64_t>(firstMs_ + RoundMs(x * msPerPixel_), 0, DurationMs());
}

int TWaveStrip::MarkerX(int row) const {
  const TCutPoint* point = list_ ? list_->Item(row - 1) : nullptr;
  return point ? XOfMs(PointMs(*point)) : -1;
}

void TWaveStrip::ZoomToFit() {
  const int64_t duration = DurationMs();
  msPerPixel_ =
      duration > 0 && width() > 0 ? std::max(kMinMsPerPixel, double(duration) / width()) : 100.0;
  firstMs_ = 0;
  UpdateScrollBar();
  update();
}

void TWaveStrip::ZoomBy(double factor, int anchorX) {
  const int64_t anchorMs = firstMs_ + RoundMs(anchorX * msPerPixel_);
  const double widest =
      width() > 0 ? std::max(kMinMsPerPixel, double(DurationMs()) / width()) : msPerPixel_;
  msPerPixel_ = std::clamp(msPerPixel_ / factor, kMinMsPerPixel, widest);
  fitted_ = msPerPixel_ >= widest;
  UpdateScrollBar();
  ScrollTo(anchorMs - RoundMs(anchorX * msPerPixel_));
}

void TWaveStrip::ScrollTo(int64_t firstMs) {
  const int64_t last = std::max<int64_t>(0, DurationMs() - RoundMs(width() * msPerPixel_));
  firstMs_ = std::clamp<int64_t>(firstMs, 0, last);
  scrollBar_->setValue(static_cast<int>(firstMs_));
  update();
}

void TWaveStrip::UpdateScrollBar() {
  const int64_t visible = RoundMs(width() * msPerPixel_);
  const int64_t last = std::max<int64_t>(0, DurationMs() - visible);
  const QSignalBlocker blocker(scrollBar_);
  scrollBar_->setRange(0, static_cast<int>(std::min<int64_t>(last, INT32_MAX)));
  scrollBar_->setPageStep(static_cast<int>(std::min<int64_t>(visible, INT32_MAX)));
  scrollBar_->setSingleStep(std::max(1, static_cast<int>(visible / 10)));
  firstMs_ = std::min(firstMs_, last);
  scrollBar_->setValue(static_cast<int>(firstMs_));
}

void TWaveStrip::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int barHeight = scrollBar_->sizeHint().height();
  scrollBar_->setGeometry(0, height() - barHeight, width(), barHeight);
  if (fitted_)
    ZoomToFit();
  else
    UpdateScrollBar();
}

// The marker of a grid row under x; the zero row never moves, so it is not picked up.
int TWaveStrip::RowNear(int x) const {
  if (!list_)
    return 0;
  int best = 0, bestDistance = kGrabDistance + 1;
  for (int index = 1; index < list_->Count(); ++index) {
    if ((*list_)[index].IsNew)
      continue;
    const int distance = std::abs(XOfMs(PointMs((*list_)[index])) - x);
    if (distance < bestDistance) {
      best = index + 1;
      bestDistance = distance;
    }
  }
  return best;
}

void TWaveStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || event->position().y() >= WaveBottom() + 2) {
    QWidget::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  const int x = static_cast<int>(event->position().x());
  const int row = RowNear(x);
  if (row > 0 && isEnabled()) {
    dragged_ = list_->Item(row - 1);
    return;
  }
  cursorMs_ = MsOfX(x);
  update();
  emit CursorMoved(cursorMs_);
}

void TWaveStrip::mouseMoveEvent(QMouseEvent* event) {
  const int x = static_cast<int>(event->position().x());
  emit HoverMoved(MsOfX(x));
  if (!dragged_) {
    setCursor(RowNear(x) > 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
    return;
  }
  // The grid may have re-sorted the list since the last move: the row is looked up anew.
  const int index = list_->IndexOf(dragged_);
  if (index <= 0) {
    dragged_ = nullptr;
    return;
  }
  const int64_t ms = std::max<int64_t>(MsOfX(x), 1);
  if (ms != PointMs(*dragged_))
    emit MarkerDragged(index + 1, ms);
}

void TWaveStrip::mouseReleaseEvent(QMouseEvent* event) {
  const bool dropped = dragged_ != nullptr;
  if (dragged_ && event->button() == Qt::LeftButton)
    mouseMoveEvent(event);
  if (dragged_ && list_ && list_->IndexOf(dragged_) > 0)
    emit MarkerReleased(list_->IndexOf(dragged_) + 1);
  dragged_ = nullptr;
  if (dropped)
    emit MarkerDropped();
  QWidget::mouseReleaseEvent(event);
}

void TWaveStrip::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) {
    event->ignore();
    return;
  }
  if (event->modifiers() & Qt::ShiftModifier)
    ScrollTo(firstMs_ - steps * scrollBar_->singleStep());
  else
    ZoomBy(std::pow(kZoomStep, steps), static_cast<int>(event->position().x()));
  event->accept();
}

void TWaveStrip::leaveEvent(QEvent* event) {
  emit HoverMoved(-1);
  QWidget::leaveEvent(event);
}

int64_t TWaveStrip::Stepped(int64_t ms, int steps) const {
  const double step = std::max(stepMs_, unitMs_);
  // Rounded up: a time shown in CD frames keeps its frame when read back in milliseconds.
  const double onGrid = std::round(ms / step) + steps;
  return std::clamp<int64_t>(static_cast<int64_t>(std::ceil(onGrid * step)), 0, DurationMs());
}

void TWaveStrip::MoveCursorKey(int64_t ms) {
  SetCursorMs(ms);
  emit CursorMoved(cursorMs_);
}

// Page Up/Down: the cursor goes to the nearest cut point before (after) it.
void TWaveStrip::ReachPoint(int direction) {
  if (!list_)
    return;
  int best = 0;
  int64_t bestMs = 0;
  for (int index = 0; index < list_->Count(); ++index) {
    const TCutPoint& point = (*list_)[index];
    const int64_t ms = PointMs(point);
    if (point.IsNew || (direction < 0 ? ms >= cursorMs_ : ms <= cursorMs_))
      continue;
    if (best == 0 || (direction < 0 ? ms > bestMs : ms < bestMs)) {
      best = index + 1;
      bestMs = ms;
    }
  }
  if (best == 0)
    return;
  MoveCursorKey(bestMs);
  emit RowReached(best);
}

// Alt+arrows move the selected point as a drag would; the zero point never moves.
void TWaveStrip::NudgeSelected(int steps) {
  const TCutPoint* point = list_ ? list_->Item(selectedRow_ - 1) : nullptr;
  if (!point || point->IsNew || selectedRow_ < 2 || !isEnabled())
    return;
  const int64_t ms = std::max<int64_t>(Stepped(PointMs(*point), steps), 1);
  if (ms == PointMs(*point))
    return;
  emit MarkerDragged(selectedRow_, ms);
  emit MarkerDropped();
}

void TWaveStrip::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
    const int direction = event->key() == Qt::Key_Left ? -1 : 1;
    if (modifiers == Qt::AltModifier)
      NudgeSelected(direction);
    else if (modifiers == Qt::ShiftModifier)
      MoveCursorKey(std::clamp<int64_t>(cursorMs_ + direction * 1000, 0, DurationMs()));
    else if (modifiers == Qt::ControlModifier)
      MoveCursorKey(std::clamp<int64_t>(cursorMs_ + direction * 10000, 0, DurationMs()));
    else
      MoveCursorKey(Stepped(cursorMs_, direction));
    return;
  }
  switch (event->key()) {
    case Qt::Key_Home:
      MoveCursorKey(0);
      break;
    case Qt::Key_End:
      MoveCursorKey(DurationMs());
      break;
    case Qt::Key_PageUp:
      ReachPoint(-1);
      break;
    case Qt::Key_PageDown:
      ReachPoint(1);
      break;
    case Qt::Key_Insert:
      emit InsertRequested();
      break;
    case Qt::Key_Delete:
      emit DeleteRequested();
      break;
    case Qt::Key_S:
      emit SnapRequested();
      break;
    case Qt::Key_Plus:
      ZoomBy(kZoomStep, XOfMs(cursorMs_));
      break;
    case Qt::Key_Minus:
      ZoomBy(1 / kZoomStep, XOfMs(cursorMs_));
      break;
    case Qt::Key_Space:
      emit PlayToggled();
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void TWaveStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), isEnabled() ? QColor(252, 252, 252) : QColor(236, 236, 236));
  PaintWave(painter);
  PaintMarkers(painter);
  PaintRuler(painter);
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void TWaveStrip::PaintRuler(QPainter& painter) {
  painter.fillRect(0, 0, width(), kRulerHeight, QColor(232, 232, 232));
  painter.setPen(QColor(90, 90, 90));
  painter.drawLine(0, kRulerHeight - 1, width(), kRulerHeight - 1);
  const int64_t duration = DurationMs();
  if (duration <= 0)
    return;
  int64_t step = kRulerSteps[std::size(kRulerSteps) - 1];
  for (const int64_t candidate : kRulerSteps) {
    if (candidate / msPerPixel_ >= kMinLabelSpacing) {
      step = candidate;
      break;
    }
  }
  for (int64_t ms = firstMs_ / step * step; ms <= duration; ms += step) {
    const int x = XOfMs(ms);
    if (x > width())
      break;
    painter.drawLine(x, kRulerHeight - 6, x, kRulerHeight - 1);
    painter.drawText(x + 3, kRulerHeight - 5, RulerText(ms, step));
  }
}

void TWaveStrip::PaintWave(QPainter& painter) {
  const int top = WaveTop(), bottom = WaveBottom();
  const int middle = (top + bottom) / 2, half = std::max(1, (bottom - top) / 2);
  painter.setPen(QColor(200, 200, 200));
  painter.drawLine(0, middle, width(), middle);
  if (levels_.StepMs <= 0)
    return;
  const QColor wave = isEnabled() ? QColor(40, 90, 160) : QColor(150, 150, 150);
  const QColor unknown(225, 225, 225);
  const auto stepOf = [this](double ms) { return static_cast<int64_t>(ms / levels_.StepMs); };
  const int64_t count = static_cast<int64_t>(levels_.PeakDb.size());
  // Steps beyond those handed over so far, up to the source's length, are not known yet.
  const int64_t steps = std::max(count, stepOf(static_cast<double>(DurationMs())));
  for (int x = 0; x < width(); ++x) {
    const int64_t first = stepOf(firstMs_ + x * msPerPixel_);
    const int64_t last = std::max(first + 1, stepOf(firstMs_ + (x + 1) * msPerPixel_));
    if (first >= steps)
      break;
    float peak = static_cast<float>(kFloorDb);
    bool known = false;
    for (int64_t step = first; step < std::min(last, count); ++step) {
      const float level = levels_.PeakDb[static_cast<size_t>(step)];
      if (TStripLevels::Known(level)) {
        peak = std::max(peak, level);
        known = true;
      }
    }
    // A column still being measured is shaded over its whole height, so that it never
    // reads as silence.
    if (!known) {
      painter.setPen(unknown);
      painter.drawLine(x, top, x, bottom);
      continue;
    }
    const double share = std::clamp((peak - kFloorDb) / -kFloorDb, 0.0, 1.0);
    const int extent = static_cast<int>(std::lround(share * half));
    painter.setPen(wave);
    painter.drawLine(x, middle - extent, x, middle + extent);
  }
}

void TWaveStrip::PaintMarkers(QPainter& painter) {
  if (!list_)
    return;
  const int top = WaveTop(), bottom = WaveBottom();
  const int64_t duration = DurationMs();
  // The stretches that no fragment is written for, shaded.
  for (int index = 0; index < list_->Count(); ++index) {
    const TCutPoint& point = (*list_)[index];
    if (!point.IsSkipped() || point.IsNew)
      continue;
    const TCutPoint* next = list_->Item(index + 1);
    const int64_t end = next && !next->IsNew ? PointMs(*next) : duration;
    const int left = XOfMs(PointMs(point)), right = XOfMs(end);
    painter.fillRect(QRect(left, top, std::max(1, right - left), bottom - top),
                     QColor(0, 0, 0, 40));
  }
  const QFontMetrics metrics(painter.font());
  for (int index = 0; index < list_->Count(); ++index) {
    const TCutPoint& point = (*list_)[index];
    if (point.IsNew)
      continue;
    const int row = index + 1;
    const bool selected = row == selectedRow_;
    const int x = XOfMs(PointMs(point));
    if (x < -40 || x > width())
      continue;
    painter.setPen(QPen(selected ? QColor(210, 30, 30) : QColor(60, 60, 60), selected ? 2 : 1));
    painter.drawLine(x, top, x, bottom);
    const QString label = QString::number(row);
    const QRect box(x + 1, top, metrics.horizontalAdvance(label) + 6, metrics.height());
    painter.fillRect(box, selected ? QColor(210, 30, 30) : QColor(60, 60, 60));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, label);
  }
  const int cursorX = XOfMs(cursorMs_);
  painter.setPen(QPen(QColor(0, 150, 60), 1));
  painter.drawLine(cursorX, top, cursorX, bottom);
}

}  // namespace zembrio
