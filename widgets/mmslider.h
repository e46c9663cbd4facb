#pragma once
// TMMSlider: a track bar whose thumb stands for a 64-bit position in MinValue ... MaxValue (the
// player's position in the recording, sought when the user lets go).
//
// Notifications: OnChange (the position changed, by the program or the user), OnTrack (the user
// moves: every left press, every thumb movement while dragging, every key that moved the
// position) and OnTrackEnd (the user has finished: the left release, or a key release, once per
// track started). A write whose clamped value equals the current one fires nothing. Keys'
// auto-repeated releases are ignored, so a held key ends its track once, at the real release.
// When the mouse is lost without a release (the slider hidden, disabled or destroyed, its window
// deactivated) a held button ends as if released, with OnTrackEnd; a slider destroyed in a drag
// fires it from its destructor, so an owner destroying a visible slider from its own destructor
// clears OnTrackEnd first.
//
// Range: MaxValue is raised to at least MinValue + 1 (not while loading; with MinValue the
// largest 64-bit value, MinValue comes down one instead). Orientation follows the shape: a resize
// makes it orHorizontal when Width >= Height, else orVertical (larger values higher).
//
// Geometry (e = BevelExtent): the track is BevelClientRect less PicLeft and PicRight at its start
// and end; L = track length - thumb length, R = MaxValue - MinValue. The thumb lies at the track
// start + round((position - MinValue) x L / R) (halves to even; from the bottom when vertical),
// across the track centred, or at the edge away from a shown scale; at the track start when L or
// R is not above 0. The groove runs the track's length, GrooveSize plus its frame thick, centred
// across the thumb. A shown Scale (widgets/mmscale.h) lies ScaleDistance from the thumb's band
// and runs from the thumb centre at MinValue to that at MaxValue. A click off the thumb jumps to
// round((pointer - track start - thumb length div 2) x R / L) (halves to even); a drag moves by
// travel x R / L rounded as MulDivRound (halves away from zero, either way).
//
// Focus and pointer events, in Qt's order: a press on an unfocused slider gives it the focus
// first (OnEnter when the focus came from another control of the window, then OnGetFocus), then
// the press (OnChange, OnTrack). Losing the focus fires OnLostFocus, then OnExit when the focus
// goes to another control of the window (a deactivated window fires only OnLostFocus, and its
// reactivation only OnGetFocus). OnMouseEnter and OnMouseLeave follow Qt's enter and leave, which
// Qt holds back while a button is held: a drag that leaves the slider reports the leave after the
// release (after OnTrackEnd). The pointer over the thumb is the thumb's (the hand, 2005, with
// HandCursor; else ThumbCursor); elsewhere Cursor().
//
// Painting composes the whole control in an off-screen bitmap shared (TBitmapCache) by every
// slider of the same size, then copies it. Blinking (FocusAction faFocusThumb or faAll): one
// process-wide 500 ms timer, from the services of the focused slider that owns it, toggles the
// parity pattern on its thumb (held on while dragging); losing the focus or destroying the slider
// stops and frees it. Main thread only.

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/services.h"
#include "widgets/mmbevel.h"
#include "widgets/mmcontrols.h"
#include "widgets/mmscale.h"
#include "widgets/pointers.h"
#include "widgets/rangemath.h"

namespace zq {

enum TMMThumbStyle { tsRect, tsOwnerDraw };
enum TMMGrooveStyle { gsRect, gsOwnerDraw };

// Off-screen bitmaps shared by size: each user of a size holds one count; the bitmap goes with its
// last user and the list with its last bitmap.
class TBitmapCache {
 public:
  static QImage* Acquire(int width, int height);
  static void Release(QImage* bitmap);
  static bool Exists();
  static int Entries();
  static int UseCount(int width, int height);
};

class TMMCustomSlider : public TMMCustomControl {
 public:
  // How the focus shows; the slider's own (the mixer wheel has another of the same name).
  enum TMMFocusAction { faNone, faFocusThumb, faFocusRect, faFocusColor, faAll };
  // The indexed colour family.
  enum { scFocusColor, scGrooveColor, scThumbColor, scDisabledColor, scColorCount };

  using TThumbDrawEvent = std::function<void(TMMCustomSlider* sender, TCanvas& canvas,
                                             const TRect& rect, bool dragged, bool focused)>;
  using TGrooveDrawEvent =
      std::function<void(TMMCustomSlider* sender, TCanvas& canvas, TRect& rect)>;
  using TKeyEvent = std::function<void(TMMControl* sender, int& key, Qt::KeyboardModifiers shift)>;
  using TKeyPressEvent = std::function<void(TMMControl* sender, QChar& key)>;

  explicit TMMCustomSlider(QWidget* parent = nullptr, const Services& services = DefaultServices(),
                           TMMComponent* owner = nullptr);
  ~TMMCustomSlider() override;

  std::int64_t MinValue() const { return minValue_; }
  void SetMinValue(std::int64_t value);
  std::int64_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int64_t value);
  std::int64_t Position() const;
  void SetPosition(std::int64_t value);
  // Moves the thumb as the user does (assistive technology): Position, OnTrack if it moved, then
  // OnTrackEnd.
  void TrackTo(std::int64_t position);
  std::int64_t LineSize() const { return lineSize_; }
  void SetLineSize(std::int64_t value) { lineSize_ = value; }
  std::int64_t PageSize() const { return pageSize_; }
  void SetPageSize(std::int64_t value) { pageSize_ = value; }
  TMMOrientation Orientation() const { return orientation_; }
  int ThumbWidth() const { return thumbWidth_; }
  void SetThumbWidth(int value);  // 0 ... 255
  int ThumbHeight() const { return thumbHeight_; }
  void SetThumbHeight(int value);  // 0 ... 255
  TMMThumbStyle ThumbStyle() const { return thumbStyle_; }
  void SetThumbStyle(TMMThumbStyle value);
  bool ThumbBorder() const { return thumbBorder_; }
  void SetThumbBorder(bool value);
  int GrooveSize() const { return grooveSize_; }
  void SetGrooveSize(int value);  // 0 ... 255
  TMMBevel& Groove() { return *groove_; }
  void SetGroove(const TMMBevel& value) { groove_->Assign(value); }
  TMMGrooveStyle GrooveStyle() const { return grooveStyle_; }
  void SetGrooveStyle(TMMGrooveStyle value);
  TMMFocusAction FocusAction() const { return focusAction_; }
  void SetFocusAction(TMMFocusAction value);
  // One writer serves the four colours; an index outside 0 ... 3 is ignored (and reads as black).
  TColor Colors(int index) const;
  void SetColors(int index, TColor value);
  TColor FocusColor() const { return Colors(scFocusColor); }
  void SetFocusColor(TColor v) { SetColors(scFocusColor, v); }
  TColor GrooveColor() const { return Colors(scGrooveColor); }
  void SetGrooveColor(TColor v) { SetColors(scGrooveColor, v); }
  TColor ThumbColor() const { return Colors(scThumbColor); }
  void SetThumbColor(TColor v) { SetColors(scThumbColor, v); }
  TColor DisabledColor() const { return Colors(scDisabledColor); }
  void SetDisabledColor(TColor v) { SetColors(scDisabledColor, v); }
  bool HandCursor() const { return handCursor_; }
  void SetHandCursor(bool value);
  int ThumbCursor() const { return thumbCursor_; }
  void SetThumbCursor(int value);
  TMMScale& Scale() { return *scale_; }
  void SetScale(const TMMScale& value) { scale_->Assign(value); }
  TMMScalePos ScalePosition() const { return scalePosition_; }
  void SetScalePosition(TMMScalePos value);
  int ScaleDistance() const { return scaleDistance_; }
  void SetScaleDistance(int value);
  const QImage& PicLeft() const { return picLeft_; }
  void SetPicLeft(const QImage& value);
  const QImage& PicRight() const { return picRight_; }
  void SetPicRight(const QImage& value);
  bool Logarithmic() const { return logarithmic_; }
  void SetLogarithmic(bool value);
  int Sensitivity() const { return sensitivity_; }
  void SetSensitivity(int value);  // -96 ... -20
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);

  // The internal position, and the geometry of the next paint.
  std::int64_t InternalPosition() const { return internal_; }
  TRect TrackRect() const;
  TRect ThumbRect() const;
  TRect GrooveRect() const;
  bool Dragging() const { return dragging_; }
  bool Blinking() const { return blink_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnTrack;
  TNotifyEvent OnTrackEnd;
  TThumbDrawEvent OnDrawThumb;
  TGrooveDrawEvent OnDrawGroove;
  TNotifyEvent OnGetFocus;
  TNotifyEvent OnLostFocus;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;

 protected:
  void Loaded() override;
  void CursorChanged() override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Geometry {
    TRect track;
    int length = 0;  // L: the track's length less the thumb's
    TRect thumb;
    TRect groove;
  };
  Geometry Layout() const;
  TWide Range() const { return TWide{maxValue_} - minValue_; }
  // Stores v clamped; repaints when the thumb moves; OnChange when the position changed.
  // Returns whether it changed.
  bool SetInternal(TWide v, bool rangeChanged = false);
  void RangeChanged();
  std::int64_t ValueAt(QPoint p) const;
  void Track();
  void TrackEnd();
  // A held left button ends: the drag stops, the slider repaints, OnTrackEnd.
  void EndPress();
  int ThumbPointer() const { return handCursor_ ? crLibraryHand : thumbCursor_; }
  void ShowPointer(bool overThumb);
  void StartBlink();
  void StopBlink();
  void BlinkTick();
  void AcquireBitmap();
  void Compose(QImage& bitmap);
  void PaintThumb(TCanvas& canvas, const TRect& thumb);

  Services services_;
  std::unique_ptr<TMMBevel> groove_;
  std::unique_ptr<TMMScale> scale_;
  std::int64_t minValue_ = 0;
  std::int64_t maxValue_ = 10;
  std::int64_t internal_ = 0;
  std::int64_t lineSize_ = 1;
  std::int64_t pageSize_ = 5;
  TMMOrientation orientation_ = orHorizontal;
  int thumbWidth_ = 11;
  int thumbHeight_ = 23;
  TMMThumbStyle thumbStyle_ = tsRect;
  bool thumbBorder_ = true;
  int grooveSize_ = 3;
  TMMGrooveStyle grooveStyle_ = gsRect;
  TMMFocusAction focusAction_ = faFocusRect;
  TColor colors_[scColorCount] = {clActiveCaption, clBtnFace, clBtnFace, clWhite};
  bool handCursor_ = false;
  int thumbCursor_ = 0;
  TMMScalePos scalePosition_ = spBelowOrRight;
  int scaleDistance_ = 10;
  QImage picLeft_, picRight_;
  QImage keyedLeft_, keyedRight_;
  bool logarithmic_ = false;
  int sensitivity_ = -24;
  bool tabStop_ = true;

  TRect paintedThumb_;
  bool pressed_ = false;   // the left button is held
  bool dragging_ = false;  // ... and was pressed on the thumb
  int dragFrom_ = 0;       // the pointer along the track at the press
  std::int64_t dragPosition_ = 0;
  bool tracking_ = false;  // a track started since the last OnTrackEnd
  bool overThumb_ = false;
  bool blink_ = false;
  QImage* bitmap_ = nullptr;
};

class TMMSlider : public TMMCustomSlider {
 public:
  using TMMCustomSlider::TMMCustomSlider;
};

}  // namespace zq
