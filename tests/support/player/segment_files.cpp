#include "tests/support/player/segment_files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>

#include "audio/bladeenc.h"
#include "audio/mmutils.h"
#include "tests/support/audio/log_stages.h"
#include "tests/support/platform/manual_time.h"

namespace zq::testing {

std::vector<std::int16_t> Tone(std::size_t frames, int channels, long rate, std::size_t from) {
  std::vector<std::int16_t> v(frames * static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      v[i * channels + c] = static_cast<std::int16_t>(
          12000 * std::sin(2 * M_PI * (440 + 220 * c) * static_cast<double>(i + from) / rate));
  return v;
}

namespace {

// One recording through the stage: switched to the next path every `framesPerFile` frames (0:
// never); with `crashed`, the last file's bytes as they stood before the stop go back over it.
bool Encode(const std::vector<std::string>& paths, const std::vector<std::int16_t>& pcm,
            int channels, TMMBitrates bitrate, std::size_t framesPerFile, bool crashed) {
  TestPlatform platform;
  LogDevice device{"device", nullptr};
  TMMMP3Encoder encoder{nullptr, platform.services()};
  TWaveFormatEx format{};
  BuildPCMFormat(format, 16, channels, 44100);
  device.SetOutput(&encoder);
  device.SetWaveFormat(&format);
  device.SetBufferSize(4096);
  encoder.SetFileName(paths.front());
  encoder.SetBitrate(bitrate);
  const std::size_t frameBytes = 2 * static_cast<std::size_t>(channels);
  std::string left;
  try {
    device.ChainOpened();
    device.ChainStarted();
    std::vector<char> buffer(4096);
    const auto* bytes = reinterpret_cast<const char*>(pcm.data());
    std::size_t file = 0;
    for (std::size_t at = 0; at < pcm.size() * 2; at += buffer.size()) {
      if (framesPerFile > 0 && at > 0 && at % (framesPerFile * frameBytes) == 0 &&
          file + 1 < paths.size())
        encoder.SwitchFile(paths[++file]);
      const std::size_t n = std::min(buffer.size(), pcm.size() * 2 - at);
      std::memcpy(buffer.data(), bytes + at, n);
      TWaveHdr h{};
      h.lpData = buffer.data();
      h.dwBufferLength = static_cast<std::uint32_t>(buffer.size());
      h.dwBytesRecorded = static_cast<std::uint32_t>(n);
      device.BufferReady(&h);
    }
    if (crashed) {
      std::ifstream in(paths.back(), std::ios::binary);
      left.assign(std::istreambuf_iterator<char>(in), {});
    }
    device.ChainStopped();
    device.ChainClosed();
  } catch (const std::exception&) {
    return false;
  }
  if (crashed) {
    std::ofstream out(paths.back(), std::ios::binary | std::ios::trunc);
    out << left;
    if (!out) return false;
  }
  return true;
}

}  // namespace

bool EncodeWithStage(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                     TMMBitrates bitrate) {
  return Encode({path}, pcm, channels, bitrate, 0, false);
}

bool EncodeRunWithStage(const std::vector<std::string>& paths, const std::vector<std::int16_t>& pcm,
                        int channels, TMMBitrates bitrate, std::size_t framesPerFile) {
  return framesPerFile * 2 * static_cast<std::size_t>(channels) % 4096 == 0 &&
         Encode(paths, pcm, channels, bitrate, framesPerFile, false);
}

bool EncodeCrashedWithStage(const std::string& path, const std::vector<std::int16_t>& pcm,
                            int channels, TMMBitrates bitrate) {
  return Encode({path}, pcm, channels, bitrate, 0, true);
}

bool EncodeWithBinding(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                       std::uint32_t rate, std::uint16_t kbps) {
  const TBeConfig config{
      BE_CONFIG_MP3, rate, channels == 1 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO, kbps, 0, 0, 0, 0};
  std::uint32_t chunk = 0, size = 0;
  TBeStream stream = 0;
  if (beInitStream(config, chunk, size, stream) != beSuccessful) return false;
  std::vector<std::uint8_t> out(size), file;
  std::uint32_t n = 0;
  bool ok = true;
  for (std::size_t at = 0; ok && at < pcm.size(); at += chunk) {
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(chunk, pcm.size() - at));
    ok = beEncodeChunk(stream, count, pcm.data() + at, out.data(), n) == beSuccessful;
    if (ok) file.insert(file.end(), out.begin(), out.begin() + n);
  }
  ok = ok && beDeinitStream(stream, out.data(), n) == beSuccessful;
  if (ok) file.insert(file.end(), out.begin(), out.begin() + n);
  ok = beCloseStream(stream) == beSuccessful && ok;
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return ok && static_cast<bool>(f);
}

}  // namespace zq::testing
