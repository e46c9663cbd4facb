#pragma once
// TFrmGravar: what the recorder's main window does, without the window. It owns the audio chain
// WaveIn -> MMConnector1 -> MP3, the rotation, auto-start and daily timers and the settings, and
// runs the window's handlers: start-up, settings, recording and its segment files, housekeeping
// of the recording folder and the closing guards. What the window shows lives in View(); the Qt
// window mirrors its status fields after OnViewChanged and its configuration controls after
// OnConfigLoaded, and writes the controls back into it before calling BGravaConfigClick.
//
// Threads: everything runs on the main thread (the capture delivers its buffers there). Backup
// copies run on a thread of their own. The handlers never throw: a failure is shown through the
// operator-message service, as the application's exception handler did, and the program goes on.

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "audio/mmblade.h"
#include "audio/mmconnector.h"
#include "audio/mmwavein.h"
#include "platform/datetime.h"
#include "platform/processes.h"
#include "platform/services.h"
#include "recorder/backupcopier.h"
#include "recorder/mixersteps.h"
#include "recorder/settings.h"

namespace zq {

// What the window shows, and the configuration controls it lets the operator edit.
struct TGravarView {
  bool bGravarVisible = true;  // "Gravar" and "Parar" share one place
  bool bStopVisible = false;
  bool iconAnimating = false;  // the tray icon animation (TimerIcone)
  bool windowVisible = true;
  std::string lTempo = "00:00:00";
  std::string lDias = "00";
  std::string lFormato;
  std::string lLivre = "0 MB";
  std::string lOcupado = "0 MB";
  int progressEspaco = 0;

  // Configuration controls.
  int cbFormato = 4;    // index into the fourteen bit rates
  int comboPlaca = 0;   // card list index
  std::string edLocal;  // recording folder
  int cbControle = 0;   // 0 "Entrada de Linha", 1 "Microfone"
  bool cbGravar = true;
  bool cbCopia = false;
  bool cbPrioridade = false;
  std::string diasGravar = "30";
  std::string tempoGravar = "10";
  std::string edLocalCopia;
  bool edLocalCopiaEnabled = false;
};

struct RecorderEnvironment {
  Services services;
  std::string iniPath;  // cfg.ini beside the executable
  const ProcessTable* processes = nullptr;
  int ownPid = 0;
  // Makes the capture device: TMMWaveIn in the program, a scripted device in tests.
  std::function<std::unique_ptr<TMMCustomWaveIn>()> makeWaveIn;
  RecorderMixer* mixer = nullptr;  // null: the mixer steps change nothing
};

class TFrmGravar {
 public:
  static constexpr int kDefaultTempoRec = 10;

  explicit TFrmGravar(RecorderEnvironment env);
  ~TFrmGravar();
  TFrmGravar(const TFrmGravar&) = delete;
  TFrmGravar& operator=(const TFrmGravar&) = delete;

  // Window creation: arms the auto-start, reads and applies the settings, finishes segments a
  // crash left under their running name, runs the first retention pass.
  void FormCreate();
  void ArmAutoStart();
  void LoadSettings();
  void ApplySettings();
  // The configuration panel: loads its controls from the settings, and saves them.
  void LoadConfigControls();
  void BGravaConfigClick();

  void UpdateRecordButtons();
  void UpdateFormatLabel();
  void StartNewFile();
  void BGravarClick();  // Start
  void BStopClick();    // Stop
  void TimerRecordTimer();
  void FinishSegment();

  void DeleteOldRecordings();
  void UpdateDiskDisplay();
  void FreeSpaceGuard();
  void TimerInicioTimer();
  void TimerMataArquivosTimer();
  // After the capture failed while recording: a new start, every two seconds until one succeeds.
  void TimerRetryTimer();

  // The window is shown (at start-up and on every restore): the disk display.
  void FormShow();
  // "Ocultar" (also pressed by the auto-start).
  void BOcultarClick();
  // "Fechar": refused while recording (the message), otherwise the window closes.
  void BSairClick();
  // Closing the window by any other way (the menu, a signal, the session's end): a recording is
  // stopped first, so its segment is finished and named; then the program ends.
  void FormClose();
  // Pressing the arrows of the segment length or opening the folder browser: refused while
  // recording. True when allowed.
  bool SegmentArrowsAllowed();
  bool FolderBrowserAllowed();

  bool Recording() const;
  const TGravarView& View() const { return view_; }
  TGravarView& EditView() { return view_; }
  const RecorderSettings& Settings() const { return settings_; }

  TMMCustomWaveIn& WaveIn() { return *waveIn_; }
  TMMConnector& MMConnector1() { return connector_; }
  TMMMP3Encoder& MP3() { return mp3_; }
  Timer& TimerRecord() { return *timerRecord_; }
  Timer& TimerInicio() { return *timerInicio_; }
  Timer& TimerMataArquivos() { return *timerMataArquivos_; }
  BackupCopier& Copier() { return copier_; }

  // The recording folder: "Local", or the default folder when "Local" is empty.
  std::string RecordingFolder() const;

  // Fields of the window.
  TDateTime StartTime = 0;
  TDateTime ElapsedTime = 0;
  TDateTime AccumulatedTime = 0;
  int DayCount = 0;
  std::string CurrentName, PreviousName, EndName;
  bool MidnightPassDone = false;
  int DiskTotalMB = 0, DiskFreeMB = 0;
  bool DiskKnown = false;
  int SpectrumStep = 0, ScopeStep = 0;

  std::function<void()> OnViewChanged;   // the status fields changed
  std::function<void()> OnConfigLoaded;  // the configuration controls were loaded
  std::function<void()> OnHide;          // the window is to hide
  std::function<void()> OnQuit;          // the program is to end

 private:
  template <class F>
  void Guard(F&& f) {
    env_.services.messages->Guard(std::forward<F>(f));
  }
  void Changed();
  int Number(TSettingKey key);
  // Start without the button's bracket; throws what failed.
  void StartRecording();
  void WaveInStart();
  void WaveInStop();
  void WaveInClose();
  void WaveInBufferReady();
  void WriteSetting(TIniFile& ini, TSettingKey key, const std::string& value);
  std::string SegmentPath(const std::string& name) const;

  RecorderEnvironment env_;
  NullRecorderMixer nullMixer_;
  RecorderMixer* mixer_;
  TGravarView view_;
  RecorderSettings settings_;
  std::set<int> reported_;  // keys whose bad number was shown since the last load

  std::unique_ptr<TMMCustomWaveIn> waveIn_;
  TMMConnector connector_;
  TMMMP3Encoder mp3_;
  std::unique_ptr<Timer> timerRecord_, timerInicio_, timerMataArquivos_, timerRetry_;
  bool capturing_ = false;  // the capture started and no stop was asked for
  BackupCopier copier_;
};

}  // namespace zq
