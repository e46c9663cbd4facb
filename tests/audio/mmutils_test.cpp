#include "audio/mmutils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace zq {
namespace {

TWaveFormatEx Pcm(int bits, int channels, std::uint32_t rate) {
  TWaveFormatEx f{};
  BuildPCMFormat(f, bits, channels, rate);
  return f;
}

TEST(Conversions, FollowTheRoundingTable) {
  const TWaveFormatEx cd = Pcm(16, 2, 44100);
  const TWaveFormatEx tel = Pcm(8, 1, 8000);
  struct Case {
    const char* what;
    std::int32_t got, want;
  };
  const Case cases[] = {
      {"BytesToMs 4096", BytesToMs(&cd, 4096), 23},
      {"MsToBytes 23", MsToBytes(&cd, 23), 4060},  // 4057.2 -> 4057 -> next frame
      {"SamplesToBytes 3", SamplesToBytes(&cd, 3), 12},
      {"BytesToSamples 4096", BytesToSamples(&cd, 4096), 1024},
      {"BytesToSamples 4098", BytesToSamples(&cd, 4098), 1025},  // 1024.5 rounds up
      {"SamplesToMs 1024", SamplesToMs(&cd, 1024), 23},
      {"MsToSamples 1000", MsToSamples(&cd, 1000), 44100},
      {"MsToSamples 1", MsToSamples(&cd, 1), 44},
      {"MsToBytes 600000", MsToBytes(&cd, 600000), 105840000},
      {"BytesToMs 8000 at 8 kHz", BytesToMs(&tel, 8000), 1000},
      {"MsToBytes 1 at 8 kHz", MsToBytes(&tel, 1), 8},
      {"SamplesToBytes 0", SamplesToBytes(&cd, 0), 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_THROW(MsToBytes(&cd, 2147483647), std::overflow_error);
  EXPECT_THROW(BytesToMs(nullptr, 1), std::invalid_argument);
}

TEST(PcmFormat, BuildsAndValidatesRecords) {
  const TWaveFormatEx cd = Pcm(16, 2, 44100);
  EXPECT_EQ(cd.wFormatTag, 1);
  EXPECT_EQ(cd.nBlockAlign, 4);
  EXPECT_EQ(cd.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(cd.cbSize, 0);
  const TWaveFormatEx low = Pcm(8, 1, 11025);
  EXPECT_EQ(low.nBlockAlign, 1);
  EXPECT_EQ(low.nAvgBytesPerSec, 11025u);

  struct Case {
    int bits, channels;
    std::uint32_t rate;
    bool valid;
  };
  const Case cases[] = {{8, 2, 3999, false},    {8, 2, 4000, true},    {16, 1, 100000, true},
                        {16, 1, 100001, false}, {24, 2, 44100, false}, {16, 3, 44100, false},
                        {16, 2, 44100, true}};
  for (const auto& c : cases) {
    const TWaveFormatEx f = Pcm(c.bits, c.channels, c.rate);
    EXPECT_EQ(IsValidPCMFormat(&f), c.valid) << c.bits << "/" << c.channels << "/" << c.rate;
  }
  EXPECT_FALSE(IsValidPCMFormat(nullptr));
  TWaveFormatEx compressed = cd;
  compressed.wFormatTag = 85;
  EXPECT_FALSE(IsValidPCMFormat(&compressed));
}

TEST(PcmFormat, RecordIsEighteenPackedLittleEndianBytes) {
  const TWaveFormatEx cd = Pcm(16, 2, 44100);
  unsigned char bytes[18];
  std::memcpy(bytes, &cd, sizeof bytes);
  const unsigned char want[18] = {1,    0,    2, 0, 0x44, 0xAC, 0, 0, 0x10,
                                  0xB1, 0x02, 0, 4, 0,    16,   0, 0, 0};
  EXPECT_EQ(0, std::memcmp(bytes, want, sizeof want));
  EXPECT_EQ(offsetof(TWaveHdr, lpData), 0u);
  EXPECT_EQ(kWaveDataOffset, sizeof(TWaveHdr) + 28);
}

TEST(PcmFormat, CopiesOwnTheirRecordAndPcmCopiesDropExtraBytes) {
  TWaveFormatEx pcm = Pcm(16, 2, 44100);
  pcm.cbSize = 22;
  WaveFormatPtr copy = CopyWaveFormat(&pcm);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy.get(), &pcm);
  EXPECT_EQ(copy->cbSize, 0);
  EXPECT_EQ(WaveFormatSize(copy.get()), 18u);
  EXPECT_EQ(WaveFormatSize(nullptr), 0u);
  EXPECT_EQ(CopyWaveFormat(nullptr), nullptr);

  // A compressed record keeps its extra bytes.
  struct {
    TWaveFormatEx f;
    unsigned char extra[4];
  } mp3{};
  mp3.f = Pcm(16, 2, 44100);
  mp3.f.wFormatTag = 85;
  mp3.f.cbSize = 4;
  std::memcpy(mp3.extra, "\x01\x02\x03\x04", 4);
  WaveFormatPtr c2 = CopyWaveFormat(&mp3.f);
  EXPECT_EQ(WaveFormatSize(c2.get()), 22u);
  EXPECT_EQ(0, std::memcmp(reinterpret_cast<unsigned char*>(c2.get()) + 18, mp3.extra, 4));
}

TEST(PcmFormat, PropertiesAndRecordsStayInStep) {
  TWaveFormatEx f{};
  BuildPCMFormat(f, b16Bit, mStereo, 44100);
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.wBitsPerSample, 16);
  TMMBits bits = b8Bit;
  TMMMode mode = mMono;
  std::uint32_t rate = 0;
  ASSERT_TRUE(PropertiesFromFormat(&f, bits, mode, rate));
  EXPECT_EQ(bits, b16Bit);
  EXPECT_EQ(mode, mStereo);
  EXPECT_EQ(rate, 44100u);
  f.nChannels = 3;
  EXPECT_FALSE(PropertiesFromFormat(&f, bits, mode, rate));
  EXPECT_EQ(mode, mStereo);
}

TEST(PcmFormat, BufferSizesNormaliseToWholeFrames) {
  struct Case {
    std::int32_t size;
    std::uint16_t align;
    std::int32_t want;
  };
  const Case cases[] = {{4096, 4, 4096}, {4098, 4, 4096}, {3, 4, 4}, {0, 4, 4}, {5, 1, 5}};
  for (const auto& c : cases)
    EXPECT_EQ(WholeFrames(c.size, c.align), c.want) << c.size;
}

}  // namespace
}  // namespace zq
