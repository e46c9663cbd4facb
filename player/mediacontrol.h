#pragma once
// TMediaControl: the media control as the player's window uses it (`AM_Musica`): a file opened by
// name, reported when open, started by itself, with its position, duration, seek, run, pause and
// stop in seconds, and a file queued behind it that follows its last sample without a gap. The
// program's control is TActiveMovie (player/activemovie.h, which states the whole contract);
// tests script one. Main thread only.

#include <functional>
#include <string>

namespace zq {

enum TMoviePlayState { mpStopped, mpPaused, mpRunning };

class TMediaControl {
 public:
  using TMovieEvent = std::function<void(TMediaControl* sender)>;

  virtual ~TMediaControl() = default;

  // Empty when no file was ever given. Setting a name stops what plays, drops the queue and
  // opens the file; OnOpenComplete follows once it is open, or OnError when it cannot be.
  virtual const std::string& FileName() const = 0;
  virtual void SetFileName(const std::string& path) = 0;
  // In seconds; 0 while no file is open. The position is the sample being heard; it reaches the
  // duration once the last sample has been heard. A position written reads back at once.
  virtual double Duration() const = 0;
  virtual double CurrentPosition() const = 0;
  virtual void SetCurrentPosition(double seconds) = 0;
  // The end of the playing range: the whole file.
  virtual double SelectionEnd() const = 0;

  virtual void Run() = 0;
  virtual void Pause() = 0;
  // Drops the queued audio, the queued file and an open in progress (no OnOpenComplete comes).
  virtual void Stop() = 0;
  // Stopped also after a failure of the device or of the open.
  virtual TMoviePlayState PlayState() const = 0;

  // The file queued behind the current one; empty when none. When its first sample is heard,
  // OnNextFile fires and it is the file. A queued file that cannot be opened is dropped (OnError)
  // and the current one plays on.
  virtual const std::string& NextFileName() const = 0;
  virtual void SetNextFileName(const std::string& path) = 0;

  TMovieEvent OnOpenComplete;
  TMovieEvent OnNextFile;
  TMovieEvent OnError;

 protected:
  TMediaControl() = default;
  TMediaControl(const TMediaControl&) = delete;
  TMediaControl& operator=(const TMediaControl&) = delete;
};

}  // namespace zq
