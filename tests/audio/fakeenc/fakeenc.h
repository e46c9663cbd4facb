#pragma once
// A stand-in for the encoder library, loaded through the same binding under another name. It
// exports the LAME entry points the binding resolves, records what it is given, produces
// recognisable bytes, and fails where the test asks. A test reaches its state through
// fakeenc_state() of the loaded library.

#include <cstdint>
#include <vector>

namespace zq::testing {

struct FakeEncSettings {
  int numChannels = -1, inSampleRate = -1, outSampleRate = -1, brate = -1, mode = -1, vbr = -1;
  int writeVbrTag = -1, id3TagAutomatic = -1, copyright = -1, original = -1;
  int errorProtection = -1, extension = -1;
};

struct FakeEncState {
  // Set by the test.
  int bytesPerChunk = 100;  // written by every encode call
  int flushBytes = 7;       // written by the flush
  int tagBytes = 0;         // the Info frame handed out after the flush (kTagByte each)
  bool failInitParams = false;
  int failEncodeCall = -1;  // index of the encode call that fails, -1 for none
  bool failFlush = false;

  // Recorded.
  FakeEncSettings settings;  // of the last stream opened
  int openStreams = 0;
  int flushes = 0;
  int tagRequests = 0;
  std::vector<int> chunkSamples;       // per encode call, every channel's values counted
  std::vector<const short*> chunkPcm;  // where each chunk was read from
  std::vector<std::int16_t> samples;   // everything encoded, in order, interleaved
  std::vector<int> bufferSizes;        // the output size each call was allowed

  // The bytes the fake writes for encode call k, and for the flush.
  static std::uint8_t ChunkByte(int k) { return static_cast<std::uint8_t>(k % 251 + 1); }
  static constexpr std::uint8_t kFlushByte = 0xEE;
  static constexpr std::uint8_t kTagByte = 0xA5;

  void Reset() { *this = FakeEncState{}; }
};

}  // namespace zq::testing

extern "C" zq::testing::FakeEncState* fakeenc_state();
