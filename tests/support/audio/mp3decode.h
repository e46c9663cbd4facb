#pragma once
// What a decoder (libmpg123, in gapless mode: an Info frame's encoder delay and padding are cut)
// makes of an MP3 stream, for tests that check what was written.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace zq::testing {

struct Decoded {
  std::string error;  // empty when every byte decoded as audio frames
  long rate = 0;
  int channels = 0;
  long samples = 0;  // per channel
  std::set<int> bitrates, modes, flags, layers, versions;
  std::vector<std::int16_t> pcm;  // interleaved, when asked for
};

Decoded Decode(const std::uint8_t* data, std::size_t size, bool keepPcm = false);
Decoded Decode(const std::vector<std::uint8_t>& bytes, bool keepPcm = false);
Decoded DecodeFile(const std::string& path, bool keepPcm = false);

// The frequency of a tone in one channel of interleaved PCM, from its upward zero crossings.
double ToneFrequency(const std::vector<std::int16_t>& pcm, int channels, long rate);

// The upward zero crossings of the first channel of interleaved PCM between frames `from` and
// `to`, in frames with the fraction between the two samples.
std::vector<double> ToneCrossings(const std::vector<std::int16_t>& pcm, int channels,
                                  std::size_t from, std::size_t to);
// How many spans between successive crossings are more than one frame off `period` frames: a
// lost or repeated stretch of a steady tone breaks one.
int BrokenPeriods(const std::vector<double>& crossings, double period);

}  // namespace zq::testing
