#pragma once
// TActiveMovie: the player's media control (`AM_Musica` on its window). It opens an MP3 file by
// name, reports when it is open, starts by itself, and offers its position, duration, seek, run,
// pause and stop in seconds; a file queued behind it follows its last sample without a gap.
//
// Threads: every operation, property and event is for the main thread. The control owns a
// playback thread that walks the files (TMp3Source) and writes their samples into its output
// (TPlaybackOutput: the ALSA "default" device unless another is given); the events come through
// Services::mainThread and the failures are shown through Services::messages. Destroying the
// control ends and joins its thread; an event posted before then is dropped when it comes.
//
// Opening: SetFileName(path) stops what plays, drops the queue and opens the file. Once every
// frame has been walked (the duration is exact), OnOpenComplete fires and playback starts by
// itself from where the handler leaves the position (the start unless it seeks): no sample is
// output before the handler returns. A newer name, an empty one or Stop before then cancels the
// open, and no OnOpenComplete comes. A file that cannot be opened (missing, empty, not MPEG) is
// shown as FailureText("Open <path>", the system's or the decoder's reason), no OnOpenComplete
// comes, the control stays stopped and OnError fires.
//
// Position: CurrentPosition is the sample being heard (the samples written less the device's
// delay), in seconds; it reaches Duration once the last sample has been heard and stays there.
// SetCurrentPosition(t) seeks to sample round(t x rate) (halves to even), held to 0 .. Duration
// (at or past the end, on the end); the position reads it back at once. A seek drops the audio
// queued in the device and primes the decoder, so the first sample heard is that sample exactly.
// Pause holds the position exactly (the device's own pause, or a drop and a seek back to the
// sample being heard); Run goes on from it. Stop drops the queued audio, the queue of files and
// an open in progress, and sets the position to 0; Run then plays from the start. Underruns are
// recovered and counted (Underruns).
//
// Run-on: SetNextFileName(path) queues a file behind the current one (the one being opened, if
// any); the playback thread walks it while the current one plays and writes its first sample
// straight after the current one's last. When that sample is heard, OnNextFile fires and the
// queued file is the file: FileName, Duration and CurrentPosition are its own (between the
// current file's last sample heard and the event, CurrentPosition is its Duration). Another
// rate or channel count closes and reopens the device after the last sample is heard. Stop, a
// new name or a failed open of the queued file drop the queue; a seek keeps it.
//
// Failures of the device (refused at opening, lost while playing) are shown as FailureText of
// "Open playback device <name>" or "Playback device <name>" with the device's reason; the control
// stops (Run tries again from the position heard), the queue is dropped and OnError fires. A
// decoding failure in the middle of a file ends that file there, without a message.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/services.h"
#include "player/mediacontrol.h"
#include "player/playbackoutput.h"

namespace zq {

class TActiveMovie final : public TMediaControl {
 public:
  // `services` must give mainThread and messages. `output` null means the ALSA "default" device.
  explicit TActiveMovie(const Services& services = DefaultServices(),
                        std::unique_ptr<TPlaybackOutput> output = nullptr);
  ~TActiveMovie() override;

  // Empty when no file was ever given.
  const std::string& FileName() const override { return fileName_; }
  void SetFileName(const std::string& path) override;
  // In seconds; 0 while no file is open.
  double Duration() const override;
  double CurrentPosition() const override;
  void SetCurrentPosition(double seconds) override;
  // The end of the playing range: the whole file.
  double SelectionEnd() const override { return Duration(); }

  void Run() override;
  void Pause() override;
  void Stop() override;
  // Running from the open on, until Pause or Stop; stopped by a failure.
  TMoviePlayState PlayState() const override;

  // The queued file; empty when none. Setting the name already queued keeps it as it is; an
  // empty name drops the queue. Ignored while no file is open or opening.
  const std::string& NextFileName() const override { return nextName_; }
  void SetNextFileName(const std::string& path) override;

  // The same in samples of the current file, and its rate.
  long Rate() const { return rate_; }
  std::int64_t Length() const { return state_ == msOpen ? length_ : 0; }
  std::int64_t Position() const;
  // Underruns of the device recovered so far.
  std::int64_t Underruns() const;

 private:
  class Engine;
  struct Shared;
  enum TOpenState { msIdle, msOpening, msOpen };

  void Command(const std::function<void(Shared&)>& change);
  void OpenCompleted(std::uint64_t serial, long rate, std::int64_t length);
  void NextStarted(std::uint64_t serial, std::uint64_t command, long rate, std::int64_t length);
  void Failed(std::uint64_t serial, const std::string& text, int kind);
  void Post(std::function<void()> call);
  void Fire(const TMovieEvent& event);

  Services services_;
  std::unique_ptr<TPlaybackOutput> output_;
  std::shared_ptr<bool> alive_;  // read by the posted calls, on the main thread

  // Main thread.
  TOpenState state_ = msIdle;
  std::string fileName_, nextName_;
  std::uint64_t lastSerial_ = 0;  // every file given gets the next number
  std::uint64_t serial_ = 0;      // the file being opened or open
  std::uint64_t nextSerial_ = 0;
  std::uint64_t command_ = 0;  // seeks and changes of the queue, counted
  std::uint64_t seekCommand_ = 0;
  std::int64_t seekSample_ = 0;
  long rate_ = 0;
  std::int64_t length_ = 0;

  // Between the main thread and the playback thread.
  mutable std::mutex lock_;
  std::unique_ptr<Shared> shared_;
  std::unique_ptr<Engine> engine_;
  std::thread thread_;
};

}  // namespace zq
