#include "player/frmplay.h"

#include <cmath>
#include <cstdlib>

#include "platform/fileops.h"
#include "platform/profile.h"
#include "player/activemovie.h"

namespace zq {
namespace {

const char kSection[] = "Geral";
const char kLocalPlay[] = "LocalPlay";
const char kLocal[] = "Local";  // the recorder's folder of recordings

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

}  // namespace

TFrmPlay::TFrmPlay(PlayerEnvironment env)
    : env_(std::move(env)),
      control_(env_.makeControl ? env_.makeControl()
                                : std::make_unique<TActiveMovie>(env_.services)),
      timerMusica_(env_.services.timers->CreateTimer()) {
  view_.diretorio = StoredFolder();
  timerMusica_->SetInterval(kTimerMusicaMs);
  timerMusica_->SetOnTimer([this] { Guard([this] { TimerMusicaTimer(); }); });
  control_->OnOpenComplete = [this](TMediaControl*) { Guard([this] { AM_MusicaOpenComplete(); }); };
  control_->OnNextFile = [this](TMediaControl*) { Guard([this] { NextFileStarted(); }); };
  control_->OnError = [this](TMediaControl*) { Guard([this] { ControlFailed(); }); };
}

TFrmPlay::~TFrmPlay() {
  control_->OnOpenComplete = nullptr;
  control_->OnNextFile = nullptr;
  control_->OnError = nullptr;
}

std::string TFrmPlay::StoredFolder() {
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/Studio/Quelvar/Audio";
}

void TFrmPlay::Changed() {
  if (OnViewChanged) OnViewChanged();
}

// ---- Start-up and the folder setting ---------------------------------------------------------

void TFrmPlay::FormCreate() {
  Guard([this] {
    TIniFile ini(env_.iniPath);
    if (!FileExists(env_.iniPath)) {
      try {
        ini.WriteString(kSection, kLocalPlay, view_.diretorio);
      } catch (const EIniFileException& e) {
        env_.services.messages->ShowError(e.what());
      }
    }
    // A file that could not be made says nothing: the stored folder stays.
    if (!FileExists(env_.iniPath)) return;
    // Without a folder of its own the player starts where the recorder records.
    view_.diretorio = ini.ValueExists(kSection, kLocalPlay) ? ini.ReadString(kSection, kLocalPlay)
                                                            : ini.ReadString(kSection, kLocal);
  });
  Changed();
}

void TFrmPlay::FormShow() {
  view_.calendario = DateOf(env_.services.clock->Now());
  Locator.MidnightMode = false;
  Changed();
}

void TFrmPlay::DiretorioExit() {
  Guard([this] {
    TIniFile ini(env_.iniPath);
    const std::string folder = WithoutTrailingSlash(view_.diretorio);
    // Nothing to write when the file holds it already (the edit often loses the focus).
    if (ini.ValueExists(kSection, kLocalPlay) && ini.ReadString(kSection, kLocalPlay) == folder)
      return;
    ini.WriteString(kSection, kLocalPlay, folder);
  });
}

// ---- Playing ----------------------------------------------------------------------------------

void TFrmPlay::BTocarClick() {
  if (!view_.bTocarEnabled) return;
  Guard([this] {
    const std::string folder = view_.diretorio;
    switch (Locator.Request(folder, view_.calendario, view_.ledHora, view_.ledMinuto)) {
      case lrNoFolder:
        env_.services.messages->ShowMessage("Local dos arquivos de áudio inexistente!");
        return;
      case lrNotFound:
        env_.services.messages->ShowMessage("Arquivo de áudio não encontrado...");
        return;
      case lrFound:
        break;
    }
    playFolder_ = folder;
    playDay_ = DateOf(view_.calendario);
    searchedAhead_ = false;
    queued_.clear();
    failedAhead_.clear();
    control_->SetFileName(JoinPath(folder, Locator.SelectedFile));
  });
  Changed();
}

void TFrmPlay::AM_MusicaOpenComplete() {
  Playing = true;
  timerMusica_->Start();
  view_.bTocarEnabled = false;
  DisplayBase = Locator.SegmentStart;
  // The minutes from the segment's start to the one asked for; from the day before across
  // midnight for a request just after it that found the segment crossing it.
  const double minutes = Locator.UserPlay && Locator.MidnightMode && Locator.RequestHour == 0 &&
                                 Locator.RequestMinute <= 10
                             ? (1.0 - Locator.SegmentStart + Locator.TargetTime) * 1440
                             : (Locator.TargetTime - Locator.SegmentStart) * 1440;
  const double offset = std::max(0.0, std::round(minutes));
  Locator.MidnightMode = false;
  control_->SetCurrentPosition(offset * 60);
  Locator.UserPlay = false;
  searchedAhead_ = false;
  queued_.clear();
  failedAhead_.clear();
  Changed();
}

void TFrmPlay::TimerMusicaTimer() {
  const double position = control_->CurrentPosition();
  // Whole seconds, halves to even.
  const double e = std::nearbyint(control_->SelectionEnd());
  const double p = std::nearbyint(position);
  const double share = e > 0 ? 100 - (e - p) * 100 / e : 0;
  if (!Tracking) SetSlider(static_cast<int>(std::trunc(share)));
  view_.meMusica = FormatLongTime(DisplayBase + p / kSecsPerDay);
  Changed();
  if (!Playing) return;
  const double duration = control_->Duration();
  if (position >= duration) {
    // Heard to its last sample; a segment queued behind it takes over by itself.
    if (control_->NextFileName().empty()) Continuation();
  } else if (!searchedAhead_ && duration - position <= kSearchAheadSeconds) {
    SearchAhead();
  }
}

// The continuation's search, made while the segment still plays: what it finds is queued behind
// it, to follow its last sample. Finding nothing changes nothing; the end searches again.
void TFrmPlay::SearchAhead() {
  searchedAhead_ = true;
  TSegmentLocator ahead = Locator;
  if (!ahead.Continue(playFolder_, playDay_, Locator.SelectedFile)) return;
  queuedLocator_ = ahead;
  queued_ = JoinPath(playFolder_, ahead.SelectedFile);
  control_->SetNextFileName(queued_);
}

// The queued segment is being heard: the continuation's steps and those of an open complete,
// without stopping the control or seeking (it plays from its first sample already).
void TFrmPlay::NextFileStarted() {
  if (queued_.empty() || control_->FileName() != queued_) return;
  Locator = queuedLocator_;
  Locator.MidnightMode = false;
  Locator.UserPlay = false;
  DisplayBase = Locator.SegmentStart;
  Playing = true;
  timerMusica_->Restart();
  view_.bTocarEnabled = false;
  SetSlider(0);
  searchedAhead_ = false;
  queued_.clear();
  failedAhead_.clear();
  Changed();
}

void TFrmPlay::Continuation() {
  Playing = false;
  timerMusica_->Stop();
  const std::string finished = Locator.SelectedFile;
  // A segment whose open failed as it was queued is not tried again: playback stops there.
  if (Locator.Continue(playFolder_, playDay_, finished) &&
      JoinPath(playFolder_, Locator.SelectedFile) != failedAhead_) {
    control_->Stop();
    control_->SetFileName(JoinPath(playFolder_, Locator.SelectedFile));
  } else {
    BStopClick();
  }
  SetSlider(0);
  Changed();
}

// The control failed. Stopped (a file that cannot be opened, the device refused or lost): back to
// idle, as "Stop" leaves it. Still playing: the queued segment could not be opened.
void TFrmPlay::ControlFailed() {
  if (control_->PlayState() == mpStopped) {
    BStopClick();
  } else if (!queued_.empty() && control_->NextFileName().empty()) {
    failedAhead_ = queued_;
    queued_.clear();
  }
}

void TFrmPlay::BPausaClick() {
  if (!timerMusica_->Enabled()) return;
  if (Paused) {
    control_->Run();
    Paused = false;
  } else {
    control_->Pause();
    Paused = true;
  }
}

void TFrmPlay::BStopClick() {
  if (!control_->FileName().empty()) {
    control_->Stop();
    view_.bTocarEnabled = true;
  }
  timerMusica_->Stop();
  view_.meMusica = "00:00:00";
  SetSlider(0);
  Paused = false;
  queued_.clear();
  Changed();
}

void TFrmPlay::BFecharClick() {
  if (OnQuit) OnQuit();
}

// ---- The slider -------------------------------------------------------------------------------

void TFrmPlay::SetSlider(int position) {
  view_.tbProgressMusica = position;
  view_.tbProgressMusicaHint = std::to_string(position) + "%";
}

void TFrmPlay::TBProgressMusicaChange(int position) {
  SetSlider(position);
  Changed();
}

void TFrmPlay::TBProgressMusicaTrack(int position) {
  SetSlider(position);
  Tracking = true;
  Changed();
}

void TFrmPlay::TBProgressMusicaTrackEnd(int position) {
  SetSlider(position);
  if (timerMusica_->Enabled())
    control_->SetCurrentPosition(position * control_->SelectionEnd() / 100);
  Tracking = false;
  Changed();
}

}  // namespace zq
