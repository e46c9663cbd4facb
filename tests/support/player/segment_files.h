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

// `pcm` through TMMMP3Encoder at 44100 Hz, in 4096-byte capture buffers, as a raw MPEG stream: a
// segment as the recorder writes it, with its Info frame (encoder delay and padding) from 64 kbps
// up (LAME finds no room for it below). False when the stage fails.
bool EncodeWithStage(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                     TMMBitrates bitrate);
// The same as consecutive segments of one recording: the stage switched from one of `paths` to
// the next between two capture buffers, every `framesPerFile` sample frames (a whole number of
// buffers), the last file taking the rest.
bool EncodeRunWithStage(const std::vector<std::string>& paths, const std::vector<std::int16_t>& pcm,
                        int channels, TMMBitrates bitrate, std::size_t framesPerFile);
// A segment as a kill -9 leaves it: the bytes written once the last buffer has been encoded, the
// encoder never flushed and its placeholder Info frame never rewritten.
bool EncodeCrashedWithStage(const std::string& path, const std::vector<std::int16_t>& pcm,
                            int channels, TMMBitrates bitrate);

// `pcm` through the binding's stream operations at `rate` (24000 Hz is MPEG-2, 576 samples a
// frame), `kbps` constant. False when the library or the file fails.
bool EncodeWithBinding(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                       std::uint32_t rate, std::uint16_t kbps);

}  // namespace zq::testing
