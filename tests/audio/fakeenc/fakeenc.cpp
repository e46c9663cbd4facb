// The fake encoder library (see fakeenc.h). Built twice: complete, and without its flush entry
// point (FAKEENC_WITHOUT_FLUSH), which the binding must refuse as not loadable.

#include "tests/audio/fakeenc/fakeenc.h"

#include <cstring>

using zq::testing::FakeEncState;

namespace {

FakeEncState state;

struct Lame {
  zq::testing::FakeEncSettings settings;
};

int Set(void* gf, int zq::testing::FakeEncSettings::*field, int value) {
  static_cast<Lame*>(gf)->settings.*field = value;
  return 0;
}

int Encode(Lame* gf, const short* left, const short* right, int frames, int step,
           unsigned char* out, int size) {
  const int k = static_cast<int>(state.chunkSamples.size());
  const int channels = gf->settings.numChannels;
  state.chunkSamples.push_back(frames * channels);
  state.chunkPcm.push_back(left);
  state.bufferSizes.push_back(size);
  for (int i = 0; i < frames; ++i) {
    state.samples.push_back(left[i * step]);
    if (channels == 2) state.samples.push_back(right[i * step]);
  }
  if (k == state.failEncodeCall || state.bytesPerChunk > size) return -1;
  std::memset(out, FakeEncState::ChunkByte(k), static_cast<std::size_t>(state.bytesPerChunk));
  return state.bytesPerChunk;
}

}  // namespace

extern "C" {

FakeEncState* fakeenc_state() {
  return &state;
}

void* lame_init() {
  ++state.openStreams;
  return new Lame;
}
int lame_close(void* gf) {
  --state.openStreams;
  delete static_cast<Lame*>(gf);
  return 0;
}

using S = zq::testing::FakeEncSettings;
int lame_set_num_channels(void* gf, int v) {
  return Set(gf, &S::numChannels, v);
}
int lame_set_in_samplerate(void* gf, int v) {
  return Set(gf, &S::inSampleRate, v);
}
int lame_set_out_samplerate(void* gf, int v) {
  return Set(gf, &S::outSampleRate, v);
}
int lame_set_brate(void* gf, int v) {
  return Set(gf, &S::brate, v);
}
int lame_set_mode(void* gf, int v) {
  return Set(gf, &S::mode, v);
}
int lame_set_VBR(void* gf, int v) {
  return Set(gf, &S::vbr, v);
}
int lame_set_bWriteVbrTag(void* gf, int v) {
  return Set(gf, &S::writeVbrTag, v);
}
void lame_set_write_id3tag_automatic(void* gf, int v) {
  Set(gf, &S::id3TagAutomatic, v);
}
int lame_set_copyright(void* gf, int v) {
  return Set(gf, &S::copyright, v);
}
int lame_set_original(void* gf, int v) {
  return Set(gf, &S::original, v);
}
int lame_set_error_protection(void* gf, int v) {
  return Set(gf, &S::errorProtection, v);
}
int lame_set_extension(void* gf, int v) {
  return Set(gf, &S::extension, v);
}

int lame_init_params(void* gf) {
  state.settings = static_cast<Lame*>(gf)->settings;
  return state.failInitParams ? -1 : 0;
}

int lame_encode_buffer(void* gf, const short* left, const short* right, int frames,
                       unsigned char* out, int size) {
  return Encode(static_cast<Lame*>(gf), left, right, frames, 1, out, size);
}

int lame_encode_buffer_interleaved(void* gf, const short* pcm, int frames, unsigned char* out,
                                   int size) {
  return Encode(static_cast<Lame*>(gf), pcm, pcm + 1, frames, 2, out, size);
}

#ifndef FAKEENC_WITHOUT_FLUSH
int lame_encode_flush(void* gf, unsigned char* out, int size) {
  ++state.flushes;
  if (state.failFlush || state.flushBytes > size) return -1;
  std::memset(out, FakeEncState::kFlushByte, static_cast<std::size_t>(state.flushBytes));
  return state.flushBytes;
}
#endif

std::size_t lame_get_lametag_frame(void*, unsigned char* out, std::size_t size) {
  ++state.tagRequests;
  const auto n = static_cast<std::size_t>(state.tagBytes);
  if (n > size) return n;
  std::memset(out, FakeEncState::kTagByte, n);
  return n;
}

}  // extern "C"
