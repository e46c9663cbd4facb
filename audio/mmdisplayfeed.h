#pragma once
// What a signal display offers the connector that feeds it (audio/mmconnector.h).
//
// TMMDisplayFeed is the feed contract every display implements; a display widget inherits it
// next to its widget base (it is a plain abstract class with no QObject or TMMComponent in it).
// The connector calls, always one call at a time under its lock:
//   SetFormat(format)  the PCM format of the blocks that follow (valid PCM: 8 or 16 bits, 1 or 2
//                      channels, 4000 .. 100000 Hz). The record is lent for the call; copy what
//                      you keep. A display that cannot show the format throws its own error
//                      ("Invalid WaveFormat") and keeps its previous format.
//   BlockBytes()       bytes of PCM one ProcessData consumes; read before every block, so it may
//                      change between blocks. 0 or less means "feed me nothing".
//   ProcessData(data)  one update from BlockBytes bytes at `data` (lent for the call; never kept).
//                      An exception ends this kind's blocks for the current buffer and reaches
//                      the application's exception handler, never the capture path.
//   ResetDisplay()     back to the idle look (stream stopped, connector disabled).
// Threads: SetFormat and ResetDisplay come on the main thread; ProcessData and the block and
// scope readers on the main thread, or on the capture's delivering thread when the connector's
// RealTime is False.
//
// Lifetime: a connector holds a display by a plain pointer. Destroying the display clears every
// connector slot that holds it (the feed's destructor does it), on the main thread. A display
// that may be fed from another thread (RealTime False) calls DetachFromConnectors() first thing
// in its own destructor, so no block reaches it while its members are being torn down.
//
// The kinds below only give each slot family of the connector its own type, so a level cannot
// be put in a meter slot; scopes and spectrograms add what the connector reads to step through
// their blocks.

#include <vector>

#include "audio/mmsystem.h"
#include "audio/mmutils.h"

namespace zq {

class TMMConnector;

class TMMDisplayFeed {
 public:
  virtual ~TMMDisplayFeed();
  TMMDisplayFeed(const TMMDisplayFeed&) = delete;
  TMMDisplayFeed& operator=(const TMMDisplayFeed&) = delete;

  virtual void SetFormat(const TWaveFormatEx* format) = 0;
  virtual int BlockBytes() const = 0;
  virtual void ProcessData(const void* data) = 0;
  virtual void ResetDisplay() = 0;

 protected:
  TMMDisplayFeed() = default;
  // Clears this display from every connector slot; waits for a block being delivered to it on
  // another thread. Main thread; calling it twice is harmless.
  void DetachFromConnectors();

 private:
  friend class TMMConnector;
  std::vector<TMMConnector*> connectors_;  // connectors with this display in a slot
};

class TMMLevelFeed : public TMMDisplayFeed {};
class TMMMeterFeed : public TMMDisplayFeed {};
class TMMLightFeed : public TMMDisplayFeed {};
class TMMSpectrumFeed : public TMMDisplayFeed {};

// An oscilloscope. In chart-recorder mode with Accelerate the connector steps through the buffer
// by a quarter of FFTLength frames (of the scope's BitLength and Mode) instead of a whole block.
class TMMScopeFeed : public TMMDisplayFeed {
 public:
  virtual bool Scroll() const = 0;
  virtual bool Accelerate() const = 0;
  virtual int FFTLength() const = 0;
  virtual TMMBits BitLength() const = 0;
  virtual TMMMode Mode() const = 0;
};

// A spectrogram: each slot keeps its own read position; a scrolling one steps by a quarter block.
class TMMSpectrogramFeed : public TMMDisplayFeed {
 public:
  virtual bool Scroll() const = 0;
};

}  // namespace zq
