// The waveform strip of the cut page: the level envelope of the selected source with a time
// ruler, one marker per cut point (labelled with its grid row), the passed-over stretches
// shaded, and the play cursor. It is another view of the cut list: a dragged marker is
// handed on as a new start time, and the grid makes the change.
#pragma once

#include <QWidget>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

class QScrollBar;

namespace zembrio {

class TCPList;
struct TCutPoint;

// The peak level of the source per step of time, in dBFS; steps may still be coming in
// while the source's length is already known. They come in stretches in no set order: a
// step not known yet holds kUnknownDb.
struct TStripLevels {
  static constexpr float kUnknownDb = std::numeric_limits<float>::quiet_NaN();

  double StepMs = 10;
  int64_t DurationMs = 0;
  std::vector<float> PeakDb;

  static bool Known(float peakDb) { return !std::isnan(peakDb); }
};

// The middle of the quietest known step within radiusMs either side of ms, from the levels;
// the nearest of equally quiet steps wins. ms itself when no step is known there.
int64_t QuietestMsNear(const TStripLevels& levels, int64_t ms, int64_t radiusMs);

class TWaveStrip : public QWidget {
  Q_OBJECT

 public:
  // Levels at or below this draw as silence.
  static constexpr double kFloorDb = -60.0;
  static constexpr double kDefaultStepMs = 10.0;

  explicit TWaveStrip(QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  void SetList(const TCPList* list);
  void SetLevels(TStripLevels levels);
  // A stretch of steps of the same source from step first on, drawn as it arrives; it may
  // land beyond the steps known so far (the steps between stay unknown) or over known ones
  // (a finer measure of them).
  void PlaceLevels(qint64 first, const std::vector<float>& peakDb);
  void ClearLevels();
  const TStripLevels& Levels() const { return levels_; }
  // The grid row whose marker stands out (row 1 shows cut point 0).
  void SetSelectedRow(int row);
  void SetCursorMs(int64_t ms);
  // The cursor's and the nudge's step: one MPEG frame, or 10 ms for sources without frames.
  void SetStepMs(double ms) { stepMs_ = ms > 0 ? ms : kDefaultStepMs; }
  double StepMs() const { return stepMs_; }
  // The smallest time the grid shows (a CD frame or a millisecond): no step is shorter.
  void SetTimeUnitMs(double ms) { unitMs_ = ms; }
  int64_t LengthMs() const { return DurationMs(); }
  int64_t CursorMs() const { return cursorMs_; }
  int SelectedRow() const { return selectedRow_; }
  // While a marker is dragged its every move changes the list; the drop ends one change.
  bool Dragging() const { return dragged_ != nullptr; }

  // The view: milliseconds per pixel and the time at the left edge.
  double MsPerPixel() const { return msPerPixel_; }
  int64_t FirstVisibleMs() const { return firstMs_; }
  void ZoomBy(double factor, int anchorX);
  void ZoomToFit();
  int XOfMs(int64_t ms) const;
  int64_t MsOfX(int x) const;
  // The horizontal position of the marker of a grid row; -1 when the row has none.
  int MarkerX(int row) const;

 signals:
  void CursorMoved(qint64 ms);
  // A marker was dragged: the cut point of that grid row should start at ms.
  void MarkerDragged(int row, qint64 ms);
  // The mouse let go of the marker of a grid row, just before MarkerDropped ends the change:
  // what happens to the point now is part of the same change.
  void MarkerReleased(int row);
  // The dragged marker was let go.
  void MarkerDropped();
  // Space: play from the cursor, or stop.
  void PlayToggled();
  // The time under the mouse pointer; -1 when it left the strip.
  void HoverMoved(qint64 ms);
  // Page Up/Down reached the cut point of a grid row: the grid selects it.
  void RowReached(int row);
  // Insert: a cut point at the cursor; Delete: the selected one goes; S: the selected one
  // moves to the quiet nearby.
  void InsertRequested();
  void DeleteRequested();
  void SnapRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int64_t DurationMs() const;
  int64_t PointMs(const TCutPoint& point) const;
  int WaveTop() const;
  int WaveBottom() const;
  int RowNear(int x) const;
  // The point a whole number of steps from ms on the step grid, steps either way.
  int64_t Stepped(int64_t ms, int steps) const;
  void MoveCursorKey(int64_t ms);
  void ReachPoint(int direction);
  void NudgeSelected(int steps);
  void ScrollTo(int64_t firstMs);
  void UpdateScrollBar();
  void PaintRuler(class QPainter& painter);
  void PaintWave(class QPainter& painter);
  void PaintMarkers(class QPainter& painter);

  const TCPList* list_ = nullptr;
  TStripLevels levels_;
  QScrollBar* scrollBar_;
  int selectedRow_ = 0;
  int64_t cursorMs_ = 0;
  double msPerPixel_ = 100;
  int64_t firstMs_ = 0;
  bool fitted_ = true;  // follows the width until the user zooms
  const TCutPoint* dragged_ = nullptr;
  double stepMs_ = kDefaultStepMs;
  double unitMs_ = 1;
};

}  // namespace zembrio
