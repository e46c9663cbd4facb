#include "tests/support/audio/mp3decode.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

namespace zq::testing {

Decoded Decode(const std::uint8_t* data, std::size_t size, bool keepPcm) {
  Decoded d;
  mpg123_init();
  int err = 0;
  std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> mh(mpg123_new(nullptr, &err),
                                                              mpg123_delete);
  if (mh == nullptr) return d.error = mpg123_plain_strerror(err), d;
  mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_NO_RESYNC | MPG123_GAPLESS, 0);
  mpg123_format_none(mh.get());
  // The rates LAME resamples low bit rates to are taken too, so such a stream shows its rate.
  for (long r : {32000L, 44100L, 48000L, 16000L, 22050L, 24000L})
    mpg123_format(mh.get(), r, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open_feed(mh.get()) != MPG123_OK || mpg123_feed(mh.get(), data, size) != MPG123_OK)
    return d.error = mpg123_strerror(mh.get()), d;
  for (;;) {
    off_t num = 0;
    unsigned char* audio = nullptr;
    std::size_t bytes = 0;
    const int r = mpg123_decode_frame(mh.get(), &num, &audio, &bytes);
    if (r == MPG123_NEW_FORMAT) {
      int enc = 0;
      mpg123_getformat(mh.get(), &d.rate, &d.channels, &enc);
    } else if (r == MPG123_OK) {
      mpg123_frameinfo2 fi{};
      mpg123_info2(mh.get(), &fi);
      d.samples += static_cast<long>(bytes / (2 * d.channels));
      d.bitrates.insert(fi.bitrate);
      d.modes.insert(fi.mode);
      d.flags.insert(fi.flags);
      d.layers.insert(fi.layer);
      d.versions.insert(fi.version);
      if (keepPcm) {
        const auto* s = reinterpret_cast<const std::int16_t*>(audio);
        d.pcm.insert(d.pcm.end(), s, s + bytes / 2);
      }
    } else if (r == MPG123_NEED_MORE || r == MPG123_DONE) {
      return d;
    } else {
      d.error = mpg123_strerror(mh.get());
      return d;
    }
  }
}

Decoded Decode(const std::vector<std::uint8_t>& bytes, bool keepPcm) {
  return Decode(bytes.data(), bytes.size(), keepPcm);
}

Decoded DecodeFile(const std::string& path, bool keepPcm) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Decoded d;
    d.error = "cannot open " + path;
    return d;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  return Decode(bytes, keepPcm);
}

double ToneFrequency(const std::vector<std::int16_t>& pcm, int channels, long rate) {
  if (channels <= 0 || rate <= 0) return 0;
  const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
  long crossings = 0;
  std::size_t first = 0, last = 0;
  for (std::size_t i = 1; i < frames; ++i) {
    const int a = pcm[(i - 1) * channels], b = pcm[i * channels];
    if (a < 0 && b >= 0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

std::vector<double> ToneCrossings(const std::vector<std::int16_t>& pcm, int channels,
                                  std::size_t from, std::size_t to) {
  std::vector<double> crossings;
  if (channels <= 0) return crossings;
  const std::size_t c = static_cast<std::size_t>(channels);
  to = std::min(to, pcm.size() / c);
  for (std::size_t i = from; i + 1 < to; ++i) {
    const int a = pcm[i * c], b = pcm[(i + 1) * c];
    if (a < 0 && b >= 0) crossings.push_back(static_cast<double>(i) + double(-a) / (b - a));
  }
  return crossings;
}

int BrokenPeriods(const std::vector<double>& crossings, double period) {
  int broken = 0;
  for (std::size_t i = 1; i < crossings.size(); ++i)
    if (std::abs(crossings[i] - crossings[i - 1] - period) > 1.0) ++broken;
  return broken;
}

}  // namespace zq::testing
