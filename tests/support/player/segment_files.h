#pragma once
// MP3 files for the player's tests, made as the recorder makes them (through the encoder stage)
// or through the encoder library's binding alone (at any rate), from a tone whose every stretch
// can be told from the stretches around it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/mmblade.h"

namespace zq::testing {

// Frames `from` .. `from + frames` of an endless tone: 440 Hz on the first channel, 660 Hz on
// the second, at 12000 of full scale, interleaved.
std::vector<std::int16_t> Tone(std::size_t frames, int channels, long rate, std::size_t from = 0);

// `pcm` through TMMMP3Encoder at 44100 Hz, in 4096-byte capture buffers, as a raw MPEG stream
// (no tag): a segment as the recorder writes it. False when the stage fails.
bool EncodeWithStage(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                     TMMBitrates bitrate);

// `pcm` through the binding's stream operations at `rate` (24000 Hz is MPEG-2, 576 samples a
// frame), `kbps` constant. False when the library or the file fails.
bool EncodeWithBinding(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                       std::uint32_t rate, std::uint16_t kbps);

}  // namespace zq::testing
