#include "recorder/frmgravar.h"

#include <exception>

#include "platform/fileops.h"
#include "platform/profile.h"
#include "platform/segments.h"
#include "recorder/formattext.h"
#include "recorder/housekeeping.h"
#include "recorder/priority.h"

namespace zq {
namespace {

// The interval the form stores for the rotation timer; ApplySettings replaces it at start-up.
constexpr std::int64_t kStoredRotationMs = 602000;
constexpr std::int64_t kAutoStartMs = 1000;
constexpr std::int64_t kRetryMs = 2000;
constexpr std::int64_t kDayMs = 86400000;

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

}  // namespace

TFrmGravar::TFrmGravar(RecorderEnvironment env)
    : env_(std::move(env)),
      mixer_(env_.mixer != nullptr ? env_.mixer : &nullMixer_),
      waveIn_(env_.makeWaveIn ? env_.makeWaveIn()
                              : std::make_unique<TMMWaveIn>(nullptr, env_.services)),
      connector_(env_.services),
      mp3_(nullptr, env_.services),
      timerRecord_(env_.services.timers->CreateTimer()),
      timerInicio_(env_.services.timers->CreateTimer()),
      timerMataArquivos_(env_.services.timers->CreateTimer()),
      timerRetry_(env_.services.timers->CreateTimer()) {
  waveIn_->SetName("WaveIn");
  waveIn_->SetBufferSize(4096);
  waveIn_->SetNumBuffers(20);
  waveIn_->SetMode(mStereo);
  waveIn_->SetBitLength(b16Bit);
  waveIn_->SetSampleRate(44100);
  waveIn_->SetTimeFormat(tfMillisecond);
  connector_.SetName("MMConnector1");
  TMMConnector::SetEnterIdle(false);
  mp3_.SetName("MP3");
  mp3_.SetBitrate(br64);
  waveIn_->SetOutput(&connector_);
  connector_.SetOutput(&mp3_);

  waveIn_->OnStart = [this](auto&&...) { Guard([this] { WaveInStart(); }); };
  waveIn_->OnStop = [this](auto&&...) { Guard([this] { WaveInStop(); }); };
  waveIn_->OnBufferReady = [this](auto&&...) { Guard([this] { WaveInBufferReady(); }); };
  waveIn_->OnClose = [this](auto&&...) { Guard([this] { WaveInClose(); }); };

  timerRecord_->SetInterval(kStoredRotationMs);
  timerRecord_->SetOnTimer([this] { TimerRecordTimer(); });
  timerInicio_->SetInterval(kAutoStartMs);
  timerInicio_->SetSingleShot(true);
  timerInicio_->SetOnTimer([this] { TimerInicioTimer(); });
  timerMataArquivos_->SetInterval(kDayMs);
  timerMataArquivos_->SetOnTimer([this] { TimerMataArquivosTimer(); });
  timerMataArquivos_->Start();
  timerRetry_->SetInterval(kRetryMs);
  timerRetry_->SetOnTimer([this] { TimerRetryTimer(); });
}

TFrmGravar::~TFrmGravar() {
  capturing_ = false;  // the program's end, not a failure
  Guard([this] { waveIn_->Close(); });
}

void TFrmGravar::Changed() {
  if (OnViewChanged) OnViewChanged();
}

bool TFrmGravar::Recording() const {
  return waveIn_->Started();
}

std::string TFrmGravar::RecordingFolder() const {
  return settings_[skLocal].empty() ? DefaultRecordingFolder() : settings_[skLocal];
}

std::string TFrmGravar::SegmentPath(const std::string& name) const {
  return JoinPath(RecordingFolder(), name);
}

int TFrmGravar::Number(TSettingKey key) {
  if (auto v = ParseDecimal(settings_[key])) return *v;
  // Shown once per reading of the settings, not at every buffer that uses the value.
  if (reported_.insert(key).second) return SettingInt(settings_, key, *env_.services.messages);
  return *ParseDecimal(DefaultValue(key));
}

// ---- Start-up and settings -------------------------------------------------------------------

void TFrmGravar::FormCreate() {
  ScopeStep = 1;
  SpectrumStep = 1;
  ArmAutoStart();
  UpdateRecordButtons();
  LoadSettings();
  LoadConfigControls();
  // Before anything records: segments a crash or a power cut left under their running name.
  Guard([this] { FinishLeftoverSegments(RecordingFolder(), {}); });
  DeleteOldRecordings();
  Changed();
}

void TFrmGravar::ArmAutoStart() {
  if (FormatLongTime(env_.services.clock->Now()).substr(0, 5) != "00:00") timerInicio_->Start();
}

void TFrmGravar::LoadSettings() {
  Guard([this] {
    TIniFile ini(env_.iniPath);
    try {
      // A missing file, or one made by the player or an older version: without its keys the
      // recorder would never start by itself.
      WriteMissingSettings(ini);
    } catch (const EIniFileException& e) {
      env_.services.messages->ShowError(e.what());
    }
    settings_ = ReadSettings(ini);
    reported_.clear();
    ApplySettings();
  });
  Changed();
}

void TFrmGravar::ApplySettings() {
  UpdateFormatLabel();
  if (!Recording()) {
    const int placa = Number(skPlaca);
    view_.comboPlaca = placa;
    waveIn_->SetDeviceID(placa);
    mixer_->SetDeviceNumber(placa);
  }
  if (!Recording()) {
    // A length of 0 or below, or one whose milliseconds do not fit the timer, would give one
    // endless segment: the default length instead.
    const std::int64_t minutes = Number(skTempoRec);
    const std::int64_t ms = minutes * 60 * 1000;
    timerRecord_->SetInterval(minutes > 0 && ms <= Timer::kMaxIntervalMs
                                  ? ms
                                  : std::int64_t{kDefaultTempoRec} * 60 * 1000);
  }
  if (settings_[skPrioridade] == "S" && WindowsKind() != "98") {
    view_.cbPrioridade = true;
    if (env_.processes != nullptr)
      RaiseOwnProcess(*env_.processes, *env_.services.messages, env_.ownPid);
  }
  view_.cbControle = Number(skControle);
  mixer_->SetInputIsMicrophone(settings_[skControle] != "0");
  mixer_->SelectRecordingLine();
  if (OnConfigLoaded) OnConfigLoaded();
}

void TFrmGravar::LoadConfigControls() {
  view_.cbFormato = Number(skFormato);
  view_.cbCopia = settings_[skCopia] == "S";
  view_.edLocalCopiaEnabled = view_.cbCopia;
  view_.edLocal = settings_[skLocal];
  view_.edLocalCopia = settings_[skLocalCopia];
  view_.cbGravar = settings_[skAutoGravar] == "S";
  view_.diasGravar = settings_[skDiasRec];
  view_.tempoGravar = settings_[skTempoRec];
  if (OnConfigLoaded) OnConfigLoaded();
}

void TFrmGravar::WriteSetting(TIniFile& ini, TSettingKey key, const std::string& value) {
  ini.WriteString(SettingDefs()[key].section, SettingDefs()[key].key, value);
}

void TFrmGravar::BGravaConfigClick() {
  Guard([this] {
    settings_[skFormato] = std::to_string(view_.cbFormato);
    TIniFile ini(env_.iniPath);
    WriteSetting(ini, skFormato, std::to_string(view_.cbFormato));
    WriteSetting(ini, skPlaca, std::to_string(view_.comboPlaca));
    WriteSetting(ini, skLocal, WithoutTrailingSlash(view_.edLocal));
    WriteSetting(ini, skControle, std::to_string(view_.cbControle));
    WriteSetting(ini, skAutoGravar, view_.cbGravar ? "S" : "N");
    WriteSetting(ini, skPrioridade, view_.cbPrioridade ? "S" : "N");
    if (view_.cbCopia) {
      WriteSetting(ini, skCopia, "S");
      WriteSetting(ini, skLocalCopia, WithoutTrailingSlash(view_.edLocalCopia));
    } else {
      WriteSetting(ini, skCopia, "N");
    }
    WriteSetting(ini, skDiasRec, view_.diasGravar);
    WriteSetting(ini, skTempoRec, view_.tempoGravar);
    LoadSettings();
  });
}

// ---- Recording ------------------------------------------------------------------------------

void TFrmGravar::UpdateRecordButtons() {
  view_.bGravarVisible = !Recording();
  view_.bStopVisible = Recording();
  Changed();
}

void TFrmGravar::UpdateFormatLabel() {
  const int formato = Number(skFormato);
  // An index outside the fourteen rates leaves the encoder's rate as it was.
  if (formato >= br32 && formato <= br320) mp3_.SetBitrate(static_cast<TMMBitrates>(formato));
  view_.lFormato = FormatText(formato, mp3_.ChannelMode() == cmStereo);
  Changed();
}

void TFrmGravar::StartNewFile() {
  CurrentName = NameStem(env_.services.clock->Now());
  // A file of this running name can only be audio whose finishing failed: finish it under its
  // last write before a new segment takes the name (the encoder never replaces a file).
  FinishLeftoverSegment(RecordingFolder(), RunningName(CurrentName));
  // Restarted first, so that a segment file that cannot be made is tried again next rotation.
  timerRecord_->Restart();
  // With the capture running, the encoder goes on in the new file between two buffers.
  if (mp3_.Opened()) EnsureFolder(RecordingFolder());
  mp3_.SwitchFile(SegmentPath(RunningName(CurrentName)));
}

void TFrmGravar::StartRecording() {
  StartTime = env_.services.clock->Now();
  UpdateFormatLabel();
  StartNewFile();
  if (!mp3_.FileName().empty()) {
    EnsureFolder(RecordingFolder());  // a failure shows as the encoder's "Unable to create file"
    waveIn_->Open();
    waveIn_->Start();
  }
}

void TFrmGravar::BGravarClick() {
  Guard([this] { StartRecording(); });
  UpdateRecordButtons();
}

void TFrmGravar::BStopClick() {
  Guard([this] {
    capturing_ = false;
    timerRetry_->Stop();
    std::exception_ptr failure;
    try {
      waveIn_->Stop();
    } catch (...) {
      failure = std::current_exception();  // the device is closed all the same
    }
    // After the stop: the buffers it delivers count in ElapsedTime, once.
    AccumulatedTime += ElapsedTime;
    ElapsedTime = 0;
    timerRecord_->Stop();
    UpdateRecordButtons();
    PreviousName = CurrentName;
    EndName = NameStem(env_.services.clock->Now());
    FinishSegment();
    if (failure != nullptr) std::rethrow_exception(failure);
  });
  UpdateRecordButtons();
}

void TFrmGravar::TimerRecordTimer() {
  if (!Recording()) {
    // A start that failed: a full start, as the "Gravar" button makes.
    Guard([this] {
      PreviousName = CurrentName;
      EndName = NameStem(env_.services.clock->Now());
      AccumulatedTime += ElapsedTime;
      ElapsedTime = 0;
    });
    BGravarClick();
    Guard([this] { FinishSegment(); });
    return;
  }
  // The capture runs on; between two of its buffers the encoder moves to the next file.
  Guard([this] {
    const TDateTime now = env_.services.clock->Now();
    PreviousName = CurrentName;
    EndName = NameStem(now);
    // The run's time up to this moment; the next run counts from here.
    AccumulatedTime += now - StartTime;
    ElapsedTime = 0;
    StartTime = now;
    UpdateFormatLabel();
    StartNewFile();
  });
  Guard([this] { FinishSegment(); });
}

void TFrmGravar::FinishSegment() {
  if (PreviousName.empty()) return;
  // Never over an existing file: a name taken already gets its "-2" form (see segments.h).
  const std::string finished =
      FinishSegmentFile(RecordingFolder(), RunningName(PreviousName), PreviousName, EndName);
  if (finished.empty()) return;
  const std::string path = SegmentPath(finished);
  if (settings_[skCopia] == "S" && !settings_[skLocalCopia].empty() && FileExists(path))
    copier_.Enqueue(path, JoinPath(settings_[skLocalCopia], finished));
}

void TFrmGravar::WaveInStart() {
  capturing_ = true;
  timerRetry_->Stop();
  view_.bGravarVisible = false;
  view_.bStopVisible = true;
  view_.iconAnimating = true;
  Changed();
}

void TFrmGravar::WaveInStop() {
  view_.bGravarVisible = true;
  view_.bStopVisible = false;
  view_.iconAnimating = false;
  waveIn_->Close();  // closes the chain, and with it the segment file
  Changed();
}

void TFrmGravar::WaveInClose() {
  if (!capturing_) return;
  // The capture ended unasked (a card pulled, the sound server restarted): the segment is
  // finished now, under its final name, and a new start is tried every two seconds. The capture
  // has told the operator why; the tries say nothing more.
  capturing_ = false;
  AccumulatedTime += ElapsedTime;
  ElapsedTime = 0;
  timerRecord_->Stop();
  PreviousName = CurrentName;
  EndName = NameStem(env_.services.clock->Now());
  FinishSegment();
  timerRetry_->Start();
  UpdateRecordButtons();
}

void TFrmGravar::TimerRetryTimer() {
  if (!Recording()) {
    try {
      StartRecording();
    } catch (...) {
      // Still away: the next try comes in two seconds.
    }
  }
  if (Recording()) timerRetry_->Stop();
  UpdateRecordButtons();
}

void TFrmGravar::WaveInBufferReady() {
  const TDateTime now = env_.services.clock->Now();
  ElapsedTime = now - StartTime;
  const TDateTime duration = AccumulatedTime + ElapsedTime;
  const std::string text = FormatLongTime(duration);
  if (!MidnightPassDone && FormatLongTime(now) == "23:59:59") {
    MidnightPassDone = true;
    DeleteOldRecordings();
    ArmAutoStart();
  }
  // A day of duration: also when no buffer fell within its last second (a stalled machine).
  if (duration >= EncodeTime(23, 59, 59)) {
    ++DayCount;
    StartTime = now;
    AccumulatedTime = 0;
    ElapsedTime = 0;
  }
  view_.lTempo = text;
  view_.lDias = (DayCount < 10 ? "0" : "") + std::to_string(DayCount);
  if (Recording()) {
    UpdateDiskDisplay();
    FreeSpaceGuard();
  }
  Changed();
}

// ---- Housekeeping -----------------------------------------------------------------------------

void TFrmGravar::DeleteOldRecordings() {
  Guard([this] {
    zq::DeleteOldRecordings(RecordingFolder(), Number(skDiasRec), env_.services.clock->Now(),
                            RunningName(CurrentName));
  });
}

void TFrmGravar::UpdateDiskDisplay() {
  const DiskDisplay d = ReadDiskDisplay(*env_.services.disk, RecordingFolder());
  DiskKnown = d.known;
  DiskFreeMB = d.freeMB;
  DiskTotalMB = d.totalMB;
  view_.lLivre = std::to_string(DiskFreeMB) + " MB";
  view_.lOcupado = std::to_string(DiskTotalMB - DiskFreeMB) + " MB";
  view_.progressEspaco = d.occupiedPercent;
  Changed();
}

void TFrmGravar::FreeSpaceGuard() {
  // Free space that could not be read is not "no free space": nothing is deleted for it.
  if (!DiskKnown || Number(skMBLivres) <= DiskFreeMB) return;
  const std::string oldest = OldestFinishedSegment(RecordingFolder(), RunningName(CurrentName));
  if (!oldest.empty()) DeleteFile(SegmentPath(oldest));
}

void TFrmGravar::TimerInicioTimer() {
  Guard([this] {
    timerInicio_->Stop();
    if (settings_[skAutoGravar] != "S") return;
    if (view_.bGravarVisible) BGravarClick();
    if (view_.windowVisible) BOcultarClick();
  });
}

void TFrmGravar::TimerMataArquivosTimer() {
  DeleteOldRecordings();
  ArmAutoStart();
}

// ---- The window ---------------------------------------------------------------------------------

void TFrmGravar::FormShow() {
  view_.windowVisible = true;
  UpdateDiskDisplay();
}

void TFrmGravar::BOcultarClick() {
  view_.windowVisible = false;
  Changed();
  if (OnHide) OnHide();
}

void TFrmGravar::BSairClick() {
  if (Recording()) {
    env_.services.messages->ShowMessage(
        "É necessário parar a gravação antes de finalizar o sistema!");
    return;
  }
  FormClose();
}

void TFrmGravar::FormClose() {
  if (Recording()) BStopClick();
  if (OnQuit) OnQuit();
}

bool TFrmGravar::SegmentArrowsAllowed() {
  if (!Recording()) return true;
  env_.services.messages->ShowMessage("É necessário parar a gravação para efetuar alterações!");
  return false;
}

bool TFrmGravar::FolderBrowserAllowed() {
  return SegmentArrowsAllowed();
}

}  // namespace zq
