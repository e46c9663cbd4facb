#pragma once
// The output table of the media control: the whole contract between its playback thread and a
// sound device. The program plays into ALSA ("default"); tests use a null output that paces
// itself by the clock seam or takes everything at once, and logs every sample it is given.
//
// Threads: every operation is called from the playback thread only, except Name, ErrorText and
// Wake, which any thread may call. Results are 0 (or a count) or a negative error code that
// ErrorText explains. An output is made closed; Open on an open output closes it first.

#include <cstdint>
#include <memory>
#include <string>

namespace zq {

class TPlaybackOutput {
 public:
  virtual ~TPlaybackOutput() = default;

  // The device's name as the operator knows it, for messages.
  virtual std::string Name() const = 0;
  virtual std::string ErrorText(int code) const = 0;

  // Opens the device for interleaved signed 16-bit samples at `rate` with `channels`.
  virtual int Open(long rate, int channels) = 0;
  // Harmless when closed; what was queued is dropped.
  virtual void Close() = 0;
  // Queues up to `frames` frames without blocking: how many it took (0 when full). Playback starts
  // with the first write after Open, Drop or Recover. -EPIPE: the device ran dry while playing
  // (an underrun) and took nothing; Recover makes it ready again.
  virtual long Write(const std::int16_t* pcm, long frames) = 0;
  // After -EPIPE or -ESTRPIPE: ready to write again; the queue starts empty.
  virtual int Recover(int code) = 0;
  // The frames written that have not been heard yet; 0 once everything written was played.
  virtual int Delay(long& frames) = 0;
  // Discards what is queued and stops; the next Write starts again.
  virtual int Drop() = 0;
  // Holds playback with the queue kept (true) or goes on (false). -ENOSYS for a device that
  // cannot; the caller then drops instead.
  virtual int Pause(bool hold) = 0;
  // Waits until `timeoutMs` has passed or Wake is called, and with `forRoom` also until the
  // device can take more frames.
  virtual void Wait(int timeoutMs, bool forRoom) = 0;
  // Ends the current Wait, or the next one if none is under way.
  virtual void Wake() = 0;
};

// ALSA playback on the PCM `device` (the system's "default" in the program): a ring of about
// half a second, written without blocking; Delay is snd_pcm_delay's; error texts are
// snd_strerror's.
std::unique_ptr<TPlaybackOutput> MakeAlsaPlaybackOutput(const std::string& device = "default");

}  // namespace zq
