#include "audio/bladeenc.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace zq {
namespace {

// The LAME entry points used here, declared as the library exports them (C calling convention;
// the encoder state is opaque). LAME reads the PCM it is given and never writes it.
using LameInit = void* (*)();
using LameSetInt = int (*)(void*, int);
using LameSetVoid = void (*)(void*, int);
using LameInitParams = int (*)(void*);
using LameEncode = int (*)(void*, const short*, const short*, int, unsigned char*, int);
using LameEncodeInterleaved = int (*)(void*, const short*, int, unsigned char*, int);
using LameFlush = int (*)(void*, unsigned char*, int);
using LameClose = int (*)(void*);
using LameTagFrame = std::size_t (*)(void*, unsigned char*, std::size_t);

// LAME's own values for its mode and VBR setters.
constexpr int kLameStereo = 0, kLameDualChannel = 2, kLameMono = 3;
constexpr int kLameVbrOff = 0;

struct Api {
  LameInit init;
  LameSetInt setNumChannels, setInSampleRate, setOutSampleRate, setBitrate, setMode, setVbr,
      setWriteVbrTag, setCopyright, setOriginal, setErrorProtection, setExtension;
  LameSetVoid setWriteId3TagAutomatic;
  LameInitParams initParams;
  LameEncode encode;
  LameEncodeInterleaved encodeInterleaved;
  LameFlush flush;
  LameTagFrame tagFrame;
  LameClose close;
};

struct Stream {
  void* lame;
  int channels;
  bool placeholderPending;  // the stream's first bytes, LAME's empty tag frame, are still to come
};

// The worst case LAME documents for one call: 1.25 x the frames per channel + 7200 bytes, which
// also covers the flush.
constexpr int kBufferSize = kBeFrameSamples * 5 / 4 + 7200;

struct Binding {
  std::mutex mutex;
  std::string name = "libmp3lame.so.0";
  void* library = nullptr;
  Api api{};
  std::vector<std::unique_ptr<Stream>> streams;  // open streams
};

Binding& State() {
  static Binding b;
  return b;
}

template <class F>
bool Resolve(void* library, const char* symbol, F& slot) {
  void* p = dlsym(library, symbol);
  slot = reinterpret_cast<F>(p);
  return p != nullptr;
}

bool LoadLocked(Binding& b) {
  if (b.library != nullptr) return true;
  void* lib = dlopen(b.name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return false;
  Api a{};
  const bool complete =
      Resolve(lib, "lame_init", a.init) &&
      Resolve(lib, "lame_set_num_channels", a.setNumChannels) &&
      Resolve(lib, "lame_set_in_samplerate", a.setInSampleRate) &&
      Resolve(lib, "lame_set_out_samplerate", a.setOutSampleRate) &&
      Resolve(lib, "lame_set_brate", a.setBitrate) && Resolve(lib, "lame_set_mode", a.setMode) &&
      Resolve(lib, "lame_set_VBR", a.setVbr) &&
      Resolve(lib, "lame_set_bWriteVbrTag", a.setWriteVbrTag) &&
      Resolve(lib, "lame_set_write_id3tag_automatic", a.setWriteId3TagAutomatic) &&
      Resolve(lib, "lame_set_copyright", a.setCopyright) &&
      Resolve(lib, "lame_set_original", a.setOriginal) &&
      Resolve(lib, "lame_set_error_protection", a.setErrorProtection) &&
      Resolve(lib, "lame_set_extension", a.setExtension) &&
      Resolve(lib, "lame_init_params", a.initParams) &&
      Resolve(lib, "lame_encode_buffer", a.encode) &&
      Resolve(lib, "lame_encode_buffer_interleaved", a.encodeInterleaved) &&
      Resolve(lib, "lame_encode_flush", a.flush) &&
      Resolve(lib, "lame_get_lametag_frame", a.tagFrame) && Resolve(lib, "lame_close", a.close);
  if (!complete) {
    dlclose(lib);  // its result does not matter: the library is not used either way
    return false;
  }
  b.library = lib;
  b.api = a;
  return true;
}

auto FindLocked(Binding& b, TBeStream handle) {
  return std::find_if(b.streams.begin(), b.streams.end(), [handle](const auto& s) {
    return reinterpret_cast<TBeStream>(s.get()) == handle;
  });
}

// The open stream behind a handle, or null.
Stream* Find(TBeStream handle) {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  auto it = FindLocked(b, handle);
  return it != b.streams.end() ? it->get() : nullptr;
}

int LameMode(std::uint8_t mode) {
  switch (mode) {
    case BE_MP3_MODE_STEREO:
      return kLameStereo;
    case BE_MP3_MODE_DUALCHANNEL:
      return kLameDualChannel;
    case BE_MP3_MODE_MONO:
      return kLameMono;
    default:
      return -1;
  }
}

// LAME opens a tagged stream with an empty frame (a frame header, then zeros) that it fills in
// only when asked for the tag at the end. Marking it "Info" with no fields makes it an Info frame
// from the start, which decoders skip instead of playing as a frame of silence. Anything else is
// left alone.
void MarkPlaceholder(std::uint8_t* frame, std::uint32_t bytes) {
  if (bytes < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0) return;
  const bool mpeg1 = (frame[1] & 0x18) == 0x18;
  const bool mono = (frame[3] & 0xC0) == 0xC0;
  // The tag follows the side information, where LAME writes it (also when a CRC is present).
  const std::uint32_t at = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
  if (bytes < at + 8) return;
  for (std::uint32_t i = 4; i < at + 8; ++i)
    if (frame[i] != 0) return;
  std::memcpy(frame + at, "Info", 4);
}

void FirstBytes(Stream& s, std::uint8_t* output, std::uint32_t bytes) {
  if (!s.placeholderPending || bytes == 0) return;
  s.placeholderPending = false;
  MarkPlaceholder(output, bytes);
}

}  // namespace

bool beLoadLibrary() {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  return LoadLocked(b);
}

void beSetLibraryName(const std::string& name) {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (!b.streams.empty()) throw std::logic_error("encoder library changed while a stream is open");
  b.name = name;
  if (b.library != nullptr) {
    dlclose(b.library);  // nothing refers to it any more; a failure leaves it mapped, harmless
    b.library = nullptr;
    b.api = {};
  }
}

TBeErr beInitStream(const TBeConfig& config, std::uint32_t& samples, std::uint32_t& bufferSize,
                    TBeStream& stream, bool infoTag) {
  if (config.dwConfig != BE_CONFIG_MP3) return beInvalidFormat;
  const int mode = LameMode(config.byMode);
  if (mode < 0 || config.dwSampleRate == 0 || config.wBitrate == 0) return beInvalidParameters;
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (!LoadLocked(b)) return beNoLibrary;
  const Api& a = b.api;

  void* lame = a.init();
  if (lame == nullptr) return beInvalidParameters;
  const int channels = mode == kLameMono ? 1 : 2;
  const int rate = static_cast<int>(config.dwSampleRate);
  a.setWriteId3TagAutomatic(lame, 0);
  const bool accepted = a.setNumChannels(lame, channels) == 0 &&
                        a.setInSampleRate(lame, rate) == 0 && a.setOutSampleRate(lame, rate) == 0 &&
                        a.setMode(lame, mode) == 0 && a.setVbr(lame, kLameVbrOff) == 0 &&
                        a.setBitrate(lame, config.wBitrate) == 0 &&
                        a.setWriteVbrTag(lame, infoTag ? 1 : 0) == 0 &&
                        a.setCopyright(lame, config.bCopyright != 0) == 0 &&
                        a.setOriginal(lame, config.bOriginal != 0) == 0 &&
                        a.setErrorProtection(lame, config.bCRC != 0) == 0 &&
                        a.setExtension(lame, config.bPrivate != 0) == 0 && a.initParams(lame) >= 0;
  if (!accepted) {
    a.close(lame);
    return beInvalidParameters;
  }

  try {
    b.streams.push_back(std::make_unique<Stream>(Stream{lame, channels, infoTag}));
  } catch (const std::bad_alloc&) {
    a.close(lame);
    throw;
  }
  samples = kBeFrameSamples * static_cast<std::uint32_t>(channels);
  bufferSize = kBufferSize;
  stream = reinterpret_cast<TBeStream>(b.streams.back().get());
  return beSuccessful;
}

TBeErr beEncodeChunk(TBeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                     std::uint8_t* output, std::uint32_t& outputBytes) {
  Stream* s = Find(stream);
  if (s == nullptr) return beInvalidHandle;
  const Api& a = State().api;
  const int frames = static_cast<int>(samples / static_cast<std::uint32_t>(s->channels));
  const int n = s->channels == 1 ? a.encode(s->lame, pcm, pcm, frames, output, kBufferSize)
                                 : a.encodeInterleaved(s->lame, pcm, frames, output, kBufferSize);
  if (n < 0) return beEncodeFailed;
  outputBytes = static_cast<std::uint32_t>(n);
  FirstBytes(*s, output, outputBytes);
  return beSuccessful;
}

TBeErr beDeinitStream(TBeStream stream, std::uint8_t* output, std::uint32_t& outputBytes) {
  Stream* s = Find(stream);
  if (s == nullptr) return beInvalidHandle;
  const int n = State().api.flush(s->lame, output, kBufferSize);
  if (n < 0) return beEncodeFailed;
  outputBytes = static_cast<std::uint32_t>(n);
  FirstBytes(*s, output, outputBytes);
  return beSuccessful;
}

TBeErr beInfoTag(TBeStream stream, std::uint8_t* output, std::uint32_t& outputBytes) {
  Stream* s = Find(stream);
  if (s == nullptr) return beInvalidHandle;
  const std::size_t n = State().api.tagFrame(s->lame, output, kBufferSize);
  if (n > static_cast<std::size_t>(kBufferSize)) return beEncodeFailed;  // it did not fit
  outputBytes = static_cast<std::uint32_t>(n);
  return beSuccessful;
}

TBeErr beCloseStream(TBeStream stream) {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  auto it = FindLocked(b, stream);
  if (it == b.streams.end()) return beInvalidHandle;
  b.api.close((*it)->lame);
  b.streams.erase(it);
  return beSuccessful;
}

}  // namespace zq
