#pragma once
// TFrmPlay: what the player's window does, without the window. It keeps the folder of
// recordings in cfg.ini (key "LocalPlay"), finds the segment that covers the chosen date, hour
// and minute ("Play"), plays it from that minute through the media control `AM_Musica`, shows the
// time of day being heard and the share played, and runs on into the day's following segments
// without a gap: a few seconds before a segment's end the next one is looked for and queued
// behind it, and when its first sample is heard it is the segment shown. What the window shows
// lives in View(); the Qt window mirrors it after OnViewChanged and writes its inputs (date,
// hour, minute, folder) into EditView() before calling a handler.
//
// Threads: everything runs on the main thread (the control's events and the timer come there).
// The handlers never throw: a failure is shown through the operator-message service, and the
// program goes on.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/datetime.h"
#include "platform/services.h"
#include "player/locator.h"
#include "player/mediacontrol.h"

namespace zq {

// What the window shows, and the inputs it lets the operator edit.
struct TPlayView {
  // Inputs: the calendar's date (`Calendario`), the spinners (`LedHora` 0..23, `LedMinuto`
  // 0..59) and the folder edit (`Diretorio`).
  TDateTime calendario = 0;
  int ledHora = 0;
  int ledMinuto = 0;
  std::string diretorio;

  bool bTocarEnabled = true;          // "Play"
  std::string meMusica = "00:00:00";  // the time of day being heard (`MEMusica`)
  int tbProgressMusica = 0;           // the slider, 0..100 (`TBProgressMusica`)
  std::string tbProgressMusicaHint = "0%";
};

struct PlayerEnvironment {
  Services services;
  std::string iniPath;  // cfg.ini, shared with the recorder
  // Makes the media control: TActiveMovie on the ALSA "default" device when not given.
  std::function<std::unique_ptr<TMediaControl>()> makeControl;
};

class TFrmPlay {
 public:
  static constexpr std::int64_t kTimerMusicaMs = 100;
  // How long before a segment's end the next one is looked for and queued.
  static constexpr double kSearchAheadSeconds = 5.0;

  explicit TFrmPlay(PlayerEnvironment env);
  ~TFrmPlay();
  TFrmPlay(const TFrmPlay&) = delete;
  TFrmPlay& operator=(const TFrmPlay&) = delete;

  // Window creation: a missing cfg.ini gets "LocalPlay" (the stored folder), then the folder is
  // read into `Diretorio`; a cfg.ini without "LocalPlay" but with the recorder's "Local" starts
  // on the recorder's folder.
  void FormCreate();
  // The window is shown: the calendar on today.
  void FormShow();
  // The folder edit lost the focus, or a folder was picked by browsing: "LocalPlay" is written.
  void DiretorioExit();

  void BTocarClick();   // "Play"
  void BPausaClick();   // "Pause"
  void BStopClick();    // "Stop"
  void BFecharClick();  // "Fechar": the program ends

  void AM_MusicaOpenComplete();
  void TimerMusicaTimer();
  // The end of the segment: the next one of the day is opened, or playback stops.
  void Continuation();

  // The slider: any change of its position, a drag in progress, a drag released.
  void TBProgressMusicaChange(int position);
  void TBProgressMusicaTrack(int position);
  void TBProgressMusicaTrackEnd(int position);

  const TPlayView& View() const { return view_; }
  TPlayView& EditView() { return view_; }
  TMediaControl& AM_Musica() { return *control_; }
  Timer& TimerMusica() { return *timerMusica_; }

  // "$HOME/Studio/Quelvar/Audio": the folder the window stores, written when cfg.ini is missing.
  static std::string StoredFolder();

  // The locator's state (shared with the controller) and the controller's.
  TSegmentLocator Locator;
  bool Playing = false;
  bool Tracking = false;
  bool Paused = false;
  TDateTime DisplayBase = 0;

  std::function<void()> OnViewChanged;
  std::function<void()> OnQuit;

 private:
  template <class F>
  void Guard(F&& f) {
    env_.services.messages->Guard(std::forward<F>(f));
  }
  void Changed();
  void SetSlider(int position);
  void SearchAhead();
  void NextFileStarted();
  void ControlFailed();

  PlayerEnvironment env_;
  TPlayView view_;
  std::unique_ptr<TMediaControl> control_;
  std::unique_ptr<Timer> timerMusica_;

  // Taken at "Play": the continuations stay in that folder and on that day.
  std::string playFolder_;
  TDateTime playDay_ = 0;
  // The run-on: the search ahead ran for the segment playing; what it queued (the locator's
  // state once that segment is heard); a queued segment that could not be opened.
  bool searchedAhead_ = false;
  std::string queued_;
  TSegmentLocator queuedLocator_;
  std::string failedAhead_;
};

}  // namespace zq
