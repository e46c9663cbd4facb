#include <gtest/gtest.h>
#include <mpg123.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/bladeenc.h"
#include "audio/mmblade.h"
#include "tests/audio/fakeenc/fakeenc_loader.h"
#include "tests/support/audio/log_stages.h"
#include "tests/support/audio/mp3decode.h"
#include "tests/support/platform/manual_time.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using testing::Decode;
using testing::Decoded;
using testing::FakeEncState;

constexpr char kLame[] = "libmp3lame.so.0";
constexpr char kLoadFailed[] =
    "Unable to load Blade Encoder DLL\n\r"
    "You can install the encoder library (libmp3lame.so.0) with:\n\r"
    "apt-get install libmp3lame0";

TWaveFormatEx Pcm(int bits, int channels, std::uint32_t rate) {
  TWaveFormatEx f{};
  BuildPCMFormat(f, bits, channels, rate);
  return f;
}

// Every sample distinct from its neighbours, so a lost, doubled or shifted sample shows.
std::vector<std::int16_t> Ramp(std::size_t samples) {
  std::vector<std::int16_t> v(samples);
  for (std::size_t i = 0; i < samples; ++i)
    v[i] = static_cast<std::int16_t>(i * 7 - 30000);
  return v;
}

// A tone on each channel (440 Hz left, 660 Hz right), for the real encoder.
std::vector<std::int16_t> Tone(std::size_t frames, int channels, std::uint32_t rate) {
  std::vector<std::int16_t> v(frames * channels);
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      v[i * channels + c] =
          static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * (440 + 220 * c) * i / rate));
  return v;
}

std::vector<std::uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t LE32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24;
}
std::uint16_t LE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// The MPEG-1 Layer III frames a CBR stream holds whole, counted by walking their headers.
int CountFrames(const std::vector<std::uint8_t>& f) {
  static constexpr int kKbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr int kRates[] = {44100, 48000, 32000};
  int frames = 0;
  for (std::size_t at = 0; at + 4 <= f.size(); ++frames) {
    const std::uint8_t* h = f.data() + at;
    if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA) break;  // MPEG-1, Layer III
    const int kbps = kKbps[(h[2] >> 4) & 15], rate = kRates[std::min((h[2] >> 2) & 3, 2)];
    const std::size_t size = 144 * kbps * 1000 / rate + ((h[2] >> 1) & 1);
    if (kbps == 0 || at + size > f.size()) break;
    at += size;
  }
  return frames;
}

// The Info frame at the start of a stream: what it says, as far as it says it.
struct InfoTag {
  bool found = false;
  std::uint32_t flags = 0;
  long frames = -1;              // audio frames after the Info frame, when given
  int delay = -1, padding = -1;  // from the encoder's extension, when present
};

InfoTag InfoTagOf(const std::vector<std::uint8_t>& f) {
  InfoTag t;
  if (f.size() < 4 || f[0] != 0xFF || (f[1] & 0xE0) != 0xE0) return t;
  const bool mono = (f[3] & 0xC0) == 0xC0;
  std::size_t at = 4 + (mono ? 17 : 32);
  if (f.size() < at + 8 || std::memcmp(f.data() + at, "Info", 4) != 0) return t;
  t.found = true;
  auto be32 = [&f](std::size_t i) {
    return std::uint32_t{f[i]} << 24 | std::uint32_t{f[i + 1]} << 16 | f[i + 2] << 8 | f[i + 3];
  };
  t.flags = be32(at + 4);
  at += 8;
  if (t.flags & 1) t.frames = be32(at), at += 4;
  if (t.flags & 2) at += 4;    // bytes
  if (t.flags & 4) at += 100;  // seek table
  if (t.flags & 8) at += 4;    // quality
  if (f.size() >= at + 24 && std::memcmp(f.data() + at, "LAME", 4) == 0) {
    t.delay = f[at + 21] << 4 | f[at + 22] >> 4;
    t.padding = (f[at + 22] & 15) << 8 | f[at + 23];
  }
  return t;
}

// A test device at the head, the encoder behind it, and the test doubles of the platform.
struct Chain {
  testing::TestPlatform platform;
  testing::LogDevice device{"device", nullptr};
  TMMMP3Encoder encoder{nullptr, platform.services()};
  std::vector<char> buffer;  // the buffer lent to the chain, reused like a capture buffer
  int passedOn = 0;          // buffers that came out of the encoder

  Chain(const TWaveFormatEx& format, const fs::path& file) {
    device.SetOutput(&encoder);
    device.SetWaveFormat(&format);
    device.SetBufferSize(4096);
    encoder.SetFileName(file.string());
    encoder.OnBufferReady = [this](TMMDSPComponent*, PWaveHdr) { ++passedOn; };
  }
  void Start() {
    device.ChainOpened();
    device.ChainStarted();
  }
  // Lends `pcm` to the chain in buffers of `bufferBytes`.
  void Push(const std::vector<std::int16_t>& pcm, std::size_t bufferBytes) {
    const auto* bytes = reinterpret_cast<const char*>(pcm.data());
    const std::size_t total = pcm.size() * 2;
    buffer.assign(bufferBytes, 0);
    for (std::size_t at = 0; at < total; at += bufferBytes) {
      const std::size_t n = std::min(bufferBytes, total - at);
      std::memcpy(buffer.data(), bytes + at, n);
      TWaveHdr h{};
      h.lpData = buffer.data();
      h.dwBufferLength = static_cast<std::uint32_t>(bufferBytes);
      h.dwBytesRecorded = static_cast<std::uint32_t>(n);
      device.BufferReady(&h);
    }
  }
  void Finish() {
    device.ChainStopped();
    device.ChainClosed();
  }
};

class EncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "zq-encoder-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    beSetLibraryName(kLame);
  }
  void TearDown() override {
    chain_.reset();
    beSetLibraryName(kLame);
    fs::remove_all(dir_);
  }

  // Each case of a table writes its file afresh (the stage never replaces one).
  Chain& MakeChain(const TWaveFormatEx& format, const std::string& name = "seg.mp3") {
    chain_.reset();
    fs::remove(dir_ / name);
    chain_ = std::make_unique<Chain>(format, dir_ / name);
    return *chain_;
  }
  FakeEncState& UseFake() { return testing::LoadFakeEncoder(ZQ_FAKEENC_PATH); }
  fs::path File(const std::string& name = "seg.mp3") const { return dir_ / name; }

  fs::path dir_;
  std::unique_ptr<Chain> chain_;
};

// ---- The library binding ---------------------------------------------------------------------

TEST_F(EncoderTest, AMissingLibraryGivesTheInstallMessageAndIsTriedAgainAtTheNextOpen) {
  const fs::path later = dir_ / "libencoder-later.so";
  beSetLibraryName(later.string());
  const TWaveFormatEx cd = Pcm(16, 2, 44100);
  Chain& c = MakeChain(cd);
  try {
    c.Start();
    FAIL() << "opened without a library";
  } catch (const EMMMP3EncoderError& e) {
    EXPECT_STREQ(e.what(), kLoadFailed);
  }
  EXPECT_FALSE(fs::exists(File()));
  c.device.ChainClosed();

  fs::copy_file(ZQ_FAKEENC_PATH, later);
  EXPECT_NO_THROW(c.Start());
  c.Finish();
  EXPECT_EQ(ReadFile(File()).size(), 7u) << "the fake's flush bytes alone";
}

TEST_F(EncoderTest, ALibraryLackingAnEntryPointIsNotLoadable) {
  beSetLibraryName(ZQ_FAKEENC_INCOMPLETE_PATH);
  EXPECT_FALSE(beLoadLibrary());
  Chain& c = MakeChain(Pcm(16, 2, 44100));
  try {
    c.Start();
    FAIL() << "opened with an incomplete library";
  } catch (const EMMMP3EncoderError& e) {
    EXPECT_STREQ(e.what(), kLoadFailed);
  }
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(EncoderTest, TheRecordCarriesThePropertiesAndTheLibraryIsSetUpFromIt) {
  struct Case {
    int channels;
    std::uint32_t rate;
    TMMChannelMode mode;
    TMMBitrates bitrate;
    bool privat, crc, copyright, original;
    std::uint8_t wantMode;  // in the record; LAME's mode numbers are the same
  };
  const Case cases[] = {
      {2, 44100, cmStereo, br64, false, false, false, false, 0},
      {1, 48000, cmStereo, br32, true, true, true, true, 3},    // a mono input is always mode 3
      {2, 32000, cmMono, br320, true, false, false, false, 0},  // cmMono on stereo input
      {2, 44100, cmDualChannel, br128, false, true, false, true, 2},
      {1, 44100, cmDualChannel, br40, false, false, true, false, 3},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.channels << " ch " << k.rate << " Hz mode " << k.mode);
    FakeEncState& fake = UseFake();
    Chain& c = MakeChain(Pcm(16, k.channels, k.rate));
    c.encoder.SetChannelMode(k.mode);
    c.encoder.SetBitrate(k.bitrate);
    c.encoder.SetPrivat(k.privat);
    c.encoder.SetCRC(k.crc);
    c.encoder.SetCopyright(k.copyright);
    c.encoder.SetOriginal(k.original);

    // The record's bytes, laid out field by field.
    std::array<std::uint8_t, 27> want{};
    auto put = [&want](int at, std::uint32_t v, int n) {
      for (int i = 0; i < n; ++i)
        want[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const int kbps = BitrateKbps(k.bitrate);
    put(0, 0, 4);
    put(4, k.rate, 4);
    put(8, k.wantMode, 1);
    put(9, static_cast<std::uint32_t>(kbps), 2);
    put(11, k.privat ? 0xFFFFFFFFu : 0u, 4);
    put(15, k.crc ? 0xFFFFFFFFu : 0u, 4);
    put(19, k.copyright ? 0xFFFFFFFFu : 0u, 4);
    put(23, k.original ? 0xFFFFFFFFu : 0u, 4);
    const TBeConfig config = c.encoder.EncoderConfig();
    std::array<std::uint8_t, 27> got{};
    std::memcpy(got.data(), &config, sizeof config);
    EXPECT_EQ(got, want);

    c.Start();
    const testing::FakeEncSettings& s = fake.settings;
    EXPECT_EQ(s.numChannels, k.channels);
    EXPECT_EQ(s.inSampleRate, static_cast<int>(k.rate));
    EXPECT_EQ(s.outSampleRate, static_cast<int>(k.rate)) << "never resampled";
    EXPECT_EQ(s.mode, k.wantMode);
    EXPECT_EQ(s.brate, kbps);
    EXPECT_EQ(s.vbr, 0) << "constant bit rate";
    EXPECT_EQ(s.writeVbrTag, 1) << "a raw stream carries its Info frame";
    EXPECT_EQ(s.id3TagAutomatic, 0);
    EXPECT_EQ(s.extension, k.privat);
    EXPECT_EQ(s.errorProtection, k.crc);
    EXPECT_EQ(s.copyright, k.copyright);
    EXPECT_EQ(s.original, k.original);
    c.Finish();
    EXPECT_EQ(fake.openStreams, 0);
    chain_.reset();
  }
}

// ---- Chunking ----------------------------------------------------------------------------------

TEST_F(EncoderTest, ChunksAreOneFrameWhateverTheBufferSizeAndNothingIsLostOrShifted) {
  struct Case {
    const char* what;
    int channels;
    std::size_t frames;       // fed in all
    std::size_t bufferBytes;  // per buffer
  };
  const Case cases[] = {
      {"recorder buffers, chunk not a multiple", 2, 10000, 4096},
      {"buffer of exactly one chunk", 2, 2304, 4608},
      {"buffers of two chunks", 2, 10000, 9216},
      {"buffer a little over two chunks", 2, 10000, 9220},
      {"tiny buffers", 2, 3000, 4},
      {"less than one chunk in all", 2, 500, 4096},
      {"stray half frame in every buffer", 2, 5000, 4098},
      {"mono", 1, 5000, 4096},
      {"mono, buffers of one chunk", 1, 2304, 2304},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    FakeEncState& fake = UseFake();
    Chain& c = MakeChain(Pcm(16, k.channels, 44100));
    const std::vector<std::int16_t> pcm = Ramp(k.frames * k.channels);
    c.Start();
    c.Push(pcm, k.bufferBytes);

    // What should reach the library: every buffer's whole frames, in order.
    std::vector<std::int16_t> want;
    const std::size_t frameBytes = 2 * k.channels;
    for (std::size_t at = 0; at < pcm.size() * 2; at += k.bufferBytes) {
      const std::size_t n = std::min(k.bufferBytes, pcm.size() * 2 - at);
      want.insert(want.end(), pcm.begin() + at / 2, pcm.begin() + (at + n - n % frameBytes) / 2);
    }
    const std::size_t chunk = 1152 * k.channels;
    const std::size_t full = want.size() / chunk;
    EXPECT_EQ(fake.chunkSamples.size(), full) << "only whole chunks before the stop";

    // Where the buffer holds whole chunks, they are encoded in place.
    if (k.bufferBytes % (chunk * 2) == 0) {
      for (const short* p : fake.chunkPcm) {
        EXPECT_GE(reinterpret_cast<const char*>(p), c.buffer.data());
        EXPECT_LT(reinterpret_cast<const char*>(p), c.buffer.data() + c.buffer.size());
      }
    }
    c.Finish();

    std::vector<int> wantChunks(full, static_cast<int>(chunk));
    if (want.size() % chunk != 0) wantChunks.push_back(static_cast<int>(want.size() % chunk));
    EXPECT_EQ(fake.chunkSamples, wantChunks);
    EXPECT_EQ(fake.samples, want);
    EXPECT_EQ(fake.flushes, 1);
    for (int size : fake.bufferSizes)
      EXPECT_EQ(size, 1152 * 5 / 4 + 7200);

    // The file: each chunk's bytes, then the flush's.
    std::vector<std::uint8_t> file;
    for (std::size_t i = 0; i < wantChunks.size(); ++i)
      file.insert(file.end(), 100, FakeEncState::ChunkByte(static_cast<int>(i)));
    file.insert(file.end(), 7, FakeEncState::kFlushByte);
    EXPECT_EQ(ReadFile(File()), file);
    EXPECT_EQ(c.passedOn, static_cast<int>((pcm.size() * 2 + k.bufferBytes - 1) / k.bufferBytes));
    chain_.reset();
  }
}

// ---- Opening, closing, failures -----------------------------------------------------------------

TEST_F(EncoderTest, OpensOnlyWithAFormatAnInputAndAName) {
  UseFake();
  const TWaveFormatEx cd = Pcm(16, 2, 44100);
  {
    Chain& c = MakeChain(cd);
    c.encoder.SetFileName("");
    c.Start();
    c.Push(Ramp(5000), 4096);
    c.Finish();
    EXPECT_TRUE(fs::is_empty(dir_));
  }
  {
    testing::TestPlatform platform;
    TMMMP3Encoder alone(nullptr, platform.services());
    alone.SetWaveFormat(&cd);
    alone.SetFileName(File().string());
    alone.ChainOpened();
    alone.ChainStarted();
    alone.ChainStopped();
    alone.ChainClosed();
    EXPECT_FALSE(fs::exists(File())) << "no input";
  }
}

TEST_F(EncoderTest, RefusesInputItCannotEncode) {
  struct Case {
    const char* what;
    TWaveFormatEx format;
  };
  TWaveFormatEx compressed = Pcm(16, 2, 44100);
  compressed.wFormatTag = 2;
  const Case cases[] = {
      {"22050 Hz", Pcm(16, 2, 22050)},
      {"8 bit", Pcm(8, 2, 44100)},
      {"3 channels", Pcm(16, 3, 44100)},
      {"not PCM", compressed},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    UseFake();
    Chain& c = MakeChain(k.format);
    try {
      c.Start();
      ADD_FAILURE() << "opened";
    } catch (const EMMMP3EncoderError& e) {
      EXPECT_STREQ(e.what(), "Unsupported Input Format");
    }
    EXPECT_FALSE(fs::exists(File()));
    chain_.reset();
  }
  // The rates it does take.
  for (std::uint32_t rate : {32000u, 44100u, 48000u}) {
    UseFake();
    Chain& c = MakeChain(Pcm(16, 1, rate));
    EXPECT_NO_THROW(c.Start()) << rate;
    chain_.reset();
  }
}

TEST_F(EncoderTest, FailuresRaiseTheirMessageAndLeaveNothingOpen) {
  struct Case {
    const char* what;
    void (*arrange)(FakeEncState&);
    const char* file;
    const char* message;
    bool fileRemains;  // a failed open leaves no file; a failure while streaming keeps it
  };
  const Case cases[] = {
      {"file in a missing folder", [](FakeEncState&) {}, "missing/seg.mp3", "Unable to create file",
       false},
      {"stream refused", [](FakeEncState& f) { f.failInitParams = true; }, "seg.mp3",
       "Unable to initialize stream", false},
      {"encode fails", [](FakeEncState& f) { f.failEncodeCall = 1; }, "seg.mp3",
       "Unable to encode data", true},
      {"flush fails", [](FakeEncState& f) { f.failFlush = true; }, "seg.mp3",
       "Unable to deinitialize stream", true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    FakeEncState& fake = UseFake();
    k.arrange(fake);
    Chain& c = MakeChain(Pcm(16, 2, 44100), k.file);
    std::string raised;
    try {
      c.Start();
      c.Push(Ramp(10000), 4096);
      c.device.ChainStopped();
    } catch (const EMMMP3EncoderError& e) {
      raised = e.what();
    }
    EXPECT_EQ(raised, k.message);
    EXPECT_NO_THROW(c.device.ChainClosed());
    EXPECT_EQ(fake.openStreams, 0);
    EXPECT_EQ(fs::exists(dir_ / k.file), k.fileRemains);

    // The stage opens again as new once the fault is gone.
    fake.Reset();
    fs::remove(File("next.mp3"));
    c.encoder.SetFileName(File("next.mp3").string());
    c.Start();
    c.Finish();
    EXPECT_EQ(ReadFile(File("next.mp3")).size(), 7u);
    chain_.reset();
  }
}

TEST_F(EncoderTest, FileNameAndTypeAreRefusedWhileOpenAndTheDefaultsHold) {
  UseFake();
  Chain& c = MakeChain(Pcm(16, 2, 44100));
  EXPECT_EQ(c.encoder.ChannelMode(), cmStereo);
  EXPECT_EQ(c.encoder.Bitrate(), br128);
  EXPECT_FALSE(c.encoder.Copyright() || c.encoder.Privat() || c.encoder.CRC() ||
               c.encoder.Original());
  EXPECT_EQ(c.encoder.FileType(), ftRAW);
  EXPECT_EQ(TMMMP3Encoder(nullptr, c.platform.services()).FileName(), "");

  c.Start();
  const std::string name = File().string();
  EXPECT_NO_THROW(c.encoder.SetFileName(name)) << "the same value";
  EXPECT_NO_THROW(c.encoder.SetFileType(ftRAW));
  try {
    c.encoder.SetFileName(File("other.mp3").string());
    ADD_FAILURE() << "FileName changed";
  } catch (const EMMMP3EncoderError& e) {
    EXPECT_STREQ(e.what(), "Change to property while device was open");
  }
  EXPECT_THROW(c.encoder.SetFileType(ftWAV), EMMMP3EncoderError);
  EXPECT_EQ(c.encoder.FileName(), name);
  EXPECT_EQ(c.encoder.FileType(), ftRAW);
  c.Finish();
  c.encoder.SetFileName(File("other.mp3").string());
  c.encoder.SetFileType(ftWAV);
  EXPECT_EQ(c.encoder.FileType(), ftWAV);
}

TEST_F(EncoderTest, AnExistingFileIsNeverReplacedOrTruncated) {
  UseFake();
  Chain& c = MakeChain(Pcm(16, 2, 44100));
  {
    std::ofstream old(File(), std::ios::binary);
    old << std::string(100000, 'x');
  }
  try {
    c.Start();
    ADD_FAILURE() << "opened over an existing file";
  } catch (const EMMMP3EncoderError& e) {
    EXPECT_STREQ(e.what(), "Unable to create file");
  }
  EXPECT_EQ(ReadFile(File()), std::vector<std::uint8_t>(100000, 'x'));
  c.device.ChainClosed();

  // Nor does a switch onto it: the file being written is finished, the old one stays.
  c.encoder.SetFileName(File("first.mp3").string());
  c.Start();
  c.Push(Ramp(2304), 4608);
  EXPECT_THROW(c.encoder.SwitchFile(File().string()), EMMMP3EncoderError);
  c.Push(Ramp(2304), 4608);
  c.Finish();
  EXPECT_EQ(ReadFile(File()), std::vector<std::uint8_t>(100000, 'x'));
  EXPECT_EQ(ReadFile(File("first.mp3")).size(), 100 + 7u);
  EXPECT_EQ(c.passedOn, 2) << "the buffers go on without a file";
}

// ---- The write guard --------------------------------------------------------------------------

TEST_F(EncoderTest, ALowDiskEndsTheFileSilentlyAndTheNextOpenWritesANewOne) {
  struct Case {
    const char* what;
    std::uint64_t freeBytes;
    bool queryFails;
    bool refused;
  };
  const Case cases[] = {
      {"exactly the bytes and the margin", 100 + 10240, false, false},
      {"one byte short", 100 + 10239, false, true},
      {"query fails", 1ull << 40, true, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    FakeEncState& fake = UseFake();
    Chain& c = MakeChain(Pcm(16, 2, 44100));
    c.Start();
    c.Push(Ramp(3 * 2304), 4608);  // three chunks written with room to spare
    c.platform.disk.Set(1ull << 40, k.freeBytes);
    c.platform.disk.failing = k.queryFails;
    EXPECT_NO_THROW(c.Push(Ramp(3 * 2304), 4608));
    EXPECT_EQ(c.passedOn, 6) << "every buffer still passes on";
    EXPECT_EQ(fake.openStreams, k.refused ? 0 : 1) << "the stream goes with the file";
    for (const std::string& folder : c.platform.disk.queried)
      EXPECT_EQ(folder, dir_.string());
    c.platform.disk.Set(1ull << 40, 1ull << 30);
    c.platform.disk.failing = false;
    c.Push(Ramp(2304), 4608);
    EXPECT_NO_THROW(c.Finish());
    EXPECT_EQ(ReadFile(File()).size(), k.refused ? 300u : 700u + 7);

    // The next segment starts afresh.
    fs::remove(File("next.mp3"));
    c.encoder.SetFileName(File("next.mp3").string());
    c.Start();
    c.Push(Ramp(2304), 4608);
    c.Finish();
    EXPECT_EQ(ReadFile(File("next.mp3")).size(), 107u);
    chain_.reset();
  }
}

TEST_F(EncoderTest, AShortWriteEndsTheFileLikeAFullDisk) {
  FakeEncState& fake = UseFake();
  fake.bytesPerChunk = 1000;
  Chain& c = MakeChain(Pcm(16, 2, 44100));
  c.Start();
  // The file may not grow past 2500 bytes: the third chunk's write comes up short.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 2500;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_NO_THROW(c.Push(Ramp(5 * 2304), 4608));
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(c.passedOn, 5);
  EXPECT_EQ(fake.chunkSamples.size(), 3u) << "nothing encoded after the short write";
  EXPECT_EQ(fake.openStreams, 0);
  EXPECT_NO_THROW(c.Finish());
  EXPECT_EQ(ReadFile(File()).size(), 2500u);
}

// ---- ftWAV ------------------------------------------------------------------------------------

struct RiffChunks {
  std::string error;
  std::vector<std::uint8_t> fmt, fact;
  std::size_t dataAt = 0, dataSize = 0;
};

// Walks a RIFF WAVE file chunk by chunk, checking the sizes against the file.
RiffChunks ParseRiff(const std::vector<std::uint8_t>& f) {
  RiffChunks r;
  if (f.size() < 12 || std::memcmp(f.data(), "RIFF", 4) != 0 ||
      std::memcmp(f.data() + 8, "WAVE", 4) != 0)
    return r.error = "not RIFF WAVE", r;
  if (LE32(f.data() + 4) != f.size() - 8) return r.error = "RIFF size", r;
  for (std::size_t at = 12; at < f.size();) {
    if (at + 8 > f.size()) return r.error = "truncated chunk header", r;
    const std::string id(reinterpret_cast<const char*>(f.data() + at), 4);
    const std::size_t size = LE32(f.data() + at + 4);
    if (at + 8 + size > f.size()) return r.error = "chunk " + id + " past the end", r;
    const auto body = f.begin() + static_cast<long>(at + 8);
    if (id == "fmt ") r.fmt.assign(body, body + static_cast<long>(size));
    if (id == "fact") r.fact.assign(body, body + static_cast<long>(size));
    if (id == "data") r.dataAt = at + 8, r.dataSize = size;
    at += 8 + size + size % 2;
  }
  return r;
}

TEST_F(EncoderTest, AWavFileHoldsTheLayer3FormatAFrameCountAndTheStream) {
  struct Case {
    int channels;
    std::uint32_t rate;
    TMMBitrates bitrate;
    std::uint32_t avgBytes;
    std::uint16_t blockSize;
  };
  const Case cases[] = {
      {2, 44100, br64, 8000, 208},  // 64000 * 144 / 44100 = 208.98
      {1, 48000, br128, 16000, 384},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.rate);
    Chain& c = MakeChain(Pcm(16, k.channels, k.rate), "seg.wav");
    c.encoder.SetFileType(ftWAV);
    c.encoder.SetBitrate(k.bitrate);
    const std::size_t frames = k.rate;  // one second
    c.Start();
    c.Push(Tone(frames, k.channels, k.rate), 4096);
    c.Finish();

    const std::vector<std::uint8_t> f = ReadFile(File("seg.wav"));
    const RiffChunks r = ParseRiff(f);
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.fmt.size(), 30u);
    const std::uint8_t* m = r.fmt.data();
    EXPECT_EQ(LE16(m + 0), 0x55);
    EXPECT_EQ(LE16(m + 2), k.channels);
    EXPECT_EQ(LE32(m + 4), k.rate);
    EXPECT_EQ(LE32(m + 8), k.avgBytes);
    EXPECT_EQ(LE16(m + 12), 1);
    EXPECT_EQ(LE16(m + 14), 0);
    EXPECT_EQ(LE16(m + 16), 12);
    EXPECT_EQ(LE16(m + 18), 1);
    EXPECT_EQ(LE32(m + 20), 2u);
    EXPECT_EQ(LE16(m + 24), k.blockSize);
    EXPECT_EQ(LE16(m + 26), 1);
    EXPECT_EQ(LE16(m + 28), 1393);
    ASSERT_EQ(r.fact.size(), 4u);
    EXPECT_EQ(LE32(r.fact.data()), frames);
    ASSERT_GT(r.dataSize, 0u);
    const Decoded d = Decode(f.data() + r.dataAt, r.dataSize);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.rate, static_cast<long>(k.rate));
    EXPECT_EQ(d.channels, k.channels);
    EXPECT_EQ(d.bitrates, std::set<int>{BitrateKbps(k.bitrate)});
    chain_.reset();
  }
}

TEST_F(EncoderTest, DestroyingAStreamingStageFinishesTheWavFileWithItsPadByte) {
  FakeEncState& fake = UseFake();
  fake.bytesPerChunk = 101;  // four chunks and the flush: 411 bytes, so a pad byte follows
  fake.flushBytes = 7;
  Chain& c = MakeChain(Pcm(16, 2, 44100), "seg.wav");
  c.encoder.SetFileType(ftWAV);
  c.Start();
  c.Push(Ramp(3 * 2304 + 10), 4096);
  EXPECT_EQ(fake.settings.writeVbrTag, 0) << "no Info frame inside a RIFF file";
  chain_.reset();  // still streaming

  const std::vector<std::uint8_t> f = ReadFile(File("seg.wav"));
  const RiffChunks r = ParseRiff(f);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.dataSize, 4 * 101 + 7u) << "the short last chunk and the flush included";
  EXPECT_EQ(f.size(), r.dataAt + r.dataSize + 1);
  EXPECT_EQ(LE32(r.fact.data()), 3 * 1152 + 5u);
  EXPECT_EQ(fake.openStreams, 0);
}

// ---- What LAME makes of it ----------------------------------------------------------------

TEST_F(EncoderTest, TheStreamDecodesAtTheInputRateWithItsModeBitRateFlagsAndDuration) {
  struct Case {
    const char* what;
    int channels;
    std::uint32_t rate;
    TMMBitrates bitrate;
    TMMChannelMode mode;
    bool privat, crc, copyright, original;
    std::size_t frames, bufferBytes;
    int wantMode;
  };
  const Case cases[] = {
      {"32 kbps", 2, 44100, br32, cmStereo, false, false, false, false, 88200, 4096,
       MPG123_M_STEREO},
      {"64 kbps, chunk-sized buffers", 2, 44100, br64, cmStereo, false, false, false, false, 88200,
       4608, MPG123_M_STEREO},
      {"320 kbps, flags", 2, 44100, br320, cmStereo, true, false, true, true, 88200, 4096,
       MPG123_M_STEREO},
      {"dual channel with CRC at 48 kHz", 2, 48000, br128, cmDualChannel, false, true, false, false,
       96000, 9216, MPG123_M_DUAL},
      {"mono at 32 kHz", 1, 32000, br64, cmStereo, false, false, false, false, 64000, 1000,
       MPG123_M_MONO},
      {"less than one chunk", 2, 44100, br64, cmStereo, false, false, false, false, 500, 4096,
       MPG123_M_STEREO},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Chain& c = MakeChain(Pcm(16, k.channels, k.rate));
    c.encoder.SetBitrate(k.bitrate);
    c.encoder.SetChannelMode(k.mode);
    c.encoder.SetPrivat(k.privat);
    c.encoder.SetCRC(k.crc);
    c.encoder.SetCopyright(k.copyright);
    c.encoder.SetOriginal(k.original);
    c.Start();
    c.Push(Tone(k.frames, k.channels, k.rate), k.bufferBytes);
    c.Finish();

    const std::vector<std::uint8_t> f = ReadFile(File());
    ASSERT_GE(f.size(), 4u);
    EXPECT_TRUE(f[0] == 0xFF && (f[1] & 0xE0) == 0xE0) << "starts with a frame, no ID3 tag";
    const bool tagged = InfoTagOf(f).found;
    // LAME's tag needs a frame of at least 64 kbps at 44100 Hz.
    EXPECT_EQ(tagged, BitrateKbps(k.bitrate) >= 64);

    const Decoded d = Decode(f);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.rate, static_cast<long>(k.rate));
    EXPECT_EQ(d.channels, k.channels);
    EXPECT_EQ(d.layers, std::set<int>{3});
    EXPECT_EQ(d.versions, std::set<int>{MPG123_1_0});
    EXPECT_EQ(d.bitrates, std::set<int>{BitrateKbps(k.bitrate)}) << "constant bit rate";
    EXPECT_EQ(d.modes, std::set<int>{k.wantMode});
    const int wantFlags = (k.crc ? MPG123_CRC : 0) | (k.copyright ? MPG123_COPYRIGHT : 0) |
                          (k.privat ? MPG123_PRIVATE : 0) | (k.original ? MPG123_ORIGINAL : 0);
    EXPECT_EQ(d.flags, std::set<int>{wantFlags});
    const long fed = static_cast<long>(k.frames);
    if (tagged) {
      EXPECT_EQ(d.samples, fed) << "the Info frame's delay and padding cut";
    } else {
      // The PCM behind LAME's fixed delay of 576 samples, followed by at least the 288 that
      // complete its last granule, then padded to a whole frame: less those 864, it lies within
      // one frame above what was fed.
      EXPECT_GE(d.samples - 864, fed);
      EXPECT_LT(d.samples - 864, fed + 1152);
    }
    chain_.reset();
  }
}

// ---- Switching files; the Info frame
// -------------------------------------------------------------

TEST_F(EncoderTest, ASwitchEndsOneFileExactlyWhereTheNextBegins) {
  FakeEncState& fake = UseFake();
  fake.tagBytes = 4;
  Chain& c = MakeChain(Pcm(16, 2, 44100), "a.mp3");
  c.encoder.SwitchFile(File("a.mp3").string());  // no chain open: only the name
  EXPECT_EQ(fake.openStreams, 0);
  const std::vector<std::int16_t> pcm = Ramp(2 * 12000);
  const auto part = [&pcm](std::size_t from, std::size_t to) {
    return std::vector<std::int16_t>(pcm.begin() + from, pcm.begin() + to);
  };
  c.Start();
  c.Push(part(0, 10000), 4000);  // four chunks, 784 samples pending
  c.encoder.SwitchFile(File("b.mp3").string());
  c.Push(part(10000, 2 * 2304 + 10000), 4608);  // two chunks, nothing pending
  c.encoder.SwitchFile(File("c.mp3").string());
  c.Push(part(2 * 2304 + 10000, pcm.size()), 4096);
  c.Finish();  // a stop after a switch

  EXPECT_EQ(fake.samples, pcm) << "every sample once, in order";
  EXPECT_EQ(fake.flushes, 3);
  EXPECT_EQ(fake.tagRequests, 3);
  EXPECT_EQ(fake.openStreams, 0);
  // Each file: its own chunks (the pending part flushed as a short one at the switch), the
  // flush, and the Info frame written over its start.
  const std::vector<int> want = {2304, 2304, 2304, 2304, 784,  2304,
                                 2304, 2304, 2304, 2304, 2304, 176};
  EXPECT_EQ(fake.chunkSamples, want);
  int k = 0;
  for (const auto& [name, chunks] : {std::pair{"a.mp3", 5}, {"b.mp3", 2}, {"c.mp3", 5}}) {
    std::vector<std::uint8_t> file;
    for (int i = 0; i < chunks; ++i, ++k)
      file.insert(file.end(), 100, FakeEncState::ChunkByte(k));
    file.insert(file.end(), 7, FakeEncState::kFlushByte);
    std::fill_n(file.begin(), 4, FakeEncState::kTagByte);
    EXPECT_EQ(ReadFile(File(name)), file) << name;
  }
  EXPECT_EQ(c.passedOn, 5 + 2 + 5);
}

TEST_F(EncoderTest, SwitchedFilesDecodeOnTheirOwnAndJoinAsTheStreamInOnePiece) {
  const std::uint32_t rate = 44100;
  const std::size_t frames = 5 * rate;
  const std::size_t cut = 2 * rate + 777;  // mid-buffer, mid-chunk
  const std::vector<std::int16_t> pcm = Tone(frames, 2, rate);
  auto push = [&pcm](Chain& c, std::size_t from, std::size_t to) {
    c.Push(std::vector<std::int16_t>(pcm.begin() + 2 * from, pcm.begin() + 2 * to), 4096);
  };
  {
    Chain& c = MakeChain(Pcm(16, 2, rate), "whole.mp3");
    c.encoder.SetBitrate(br64);
    c.Start();
    push(c, 0, frames);
    c.Finish();
  }
  {
    Chain& c = MakeChain(Pcm(16, 2, rate), "a.mp3");
    c.encoder.SetBitrate(br64);
    c.Start();
    push(c, 0, cut);
    c.encoder.SwitchFile(File("b.mp3").string());
    push(c, cut, frames);
    c.Finish();
  }
  const Decoded whole = testing::DecodeFile(File("whole.mp3"), true);
  const Decoded a = testing::DecodeFile(File("a.mp3"), true);
  const Decoded b = testing::DecodeFile(File("b.mp3"), true);
  for (const Decoded* d : {&whole, &a, &b})
    ASSERT_EQ(d->error, "");
  EXPECT_EQ(whole.samples, static_cast<long>(frames));
  EXPECT_EQ(a.samples, static_cast<long>(cut)) << "exactly what was captured into it";
  EXPECT_EQ(b.samples, static_cast<long>(frames - cut));

  // Laid end to end they are the one-piece stream: the same length, and around the join (where
  // the two encodings differ most) the signals line up best with no shift.
  std::vector<std::int16_t> joined = a.pcm;
  joined.insert(joined.end(), b.pcm.begin(), b.pcm.end());
  ASSERT_EQ(joined.size(), whole.pcm.size());
  const auto correlation = [&](long from, long to, long lag) {
    double xy = 0, xx = 0, yy = 0;
    for (long i = from; i < to; ++i) {
      const double x = joined[2 * i], y = whole.pcm[2 * (i + lag)];
      xy += x * y, xx += x * x, yy += y * y;
    }
    return xy / std::sqrt(xx * yy);
  };
  const long join = static_cast<long>(cut);
  EXPECT_GT(correlation(0, static_cast<long>(frames), 0), 0.99);
  const double atJoin = correlation(join - 2048, join + 2048, 0);
  EXPECT_GT(atJoin, 0.98);
  for (long lag : {-3L, -2L, -1L, 1L, 2L, 3L})
    EXPECT_LT(correlation(join - 2048, join + 2048, lag), atJoin) << "shifted by " << lag;
}

TEST_F(EncoderTest, TheInfoFrameCarriesTheDelayAndPaddingAndACutFileStillDecodesEveryFrame) {
  Chain& c = MakeChain(Pcm(16, 2, 44100));
  c.encoder.SetBitrate(br64);
  const std::size_t frames = 3 * 44100 + 123;
  const std::vector<std::int16_t> pcm = Tone(frames, 2, 44100);
  c.Start();
  c.Push(std::vector<std::int16_t>(pcm.begin(), pcm.begin() + 2 * 44100), 4096);

  // What a kill -9 would leave now: the placeholder, then the frames written so far.
  std::vector<std::uint8_t> cut = ReadFile(File());
  const InfoTag placeholder = InfoTagOf(cut);
  EXPECT_TRUE(placeholder.found);
  EXPECT_EQ(placeholder.flags, 0u) << "says nothing, so nothing is cut";
  cut.resize(cut.size() - 50);  // and the last frame only half written
  const int audioFrames = CountFrames(cut) - 1;
  ASSERT_GT(audioFrames, 30);
  const Decoded d = Decode(cut, true);
  EXPECT_EQ(d.error, "");
  EXPECT_EQ(d.samples, audioFrames * 1152L) << "every whole frame, the placeholder as nothing";
  // LAME's delay of 576 samples aside, the tone begins with the decoded stream: the placeholder
  // added no silence.
  long firstSound = 0;
  while (firstSound < d.samples && std::abs(d.pcm[2 * firstSound]) < 1000)
    ++firstSound;
  EXPECT_LT(firstSound, 576 + 529 + 20);

  c.Push(std::vector<std::int16_t>(pcm.begin() + 2 * 44100, pcm.end()), 4096);
  c.Finish();
  const std::vector<std::uint8_t> f = ReadFile(File());
  const InfoTag tag = InfoTagOf(f);
  ASSERT_TRUE(tag.found);
  EXPECT_EQ(tag.frames, CountFrames(f) - 1);
  EXPECT_EQ(tag.delay, 576);
  EXPECT_EQ(tag.delay + static_cast<long>(frames) + tag.padding, tag.frames * 1152);
  EXPECT_EQ(Decode(f).samples, static_cast<long>(frames));
}

}  // namespace
}  // namespace zq
