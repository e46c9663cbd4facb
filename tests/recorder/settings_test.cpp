#include "recorder/settings.h"

#include <gtest/gtest.h>

#include "recorder/formattext.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

TEST(Settings, DefaultsAreWrittenInOrderAndReadBack) {
  testing::TempDir dir;
  setenv("HOME", "/home/op", 1);
  TIniFile ini(dir / "cfg.ini");
  EXPECT_EQ(WriteMissingSettings(ini).size(), static_cast<std::size_t>(kSettingCount));
  EXPECT_EQ(dir.Read("cfg.ini"),
            "[Gravacao]\nFormato=4\n[Geral]\nPlaca=0\nLocal=/home/op/Zelto/Quelvar/Audio\n"
            "AutoGravar=S\nMB Livres=200\nDiasRec=30\nTempoRec=10\nCopia=N\nLocalCopia=\n"
            "Prioridade=N\nControle=0\n");
  const RecorderSettings s = ReadSettings(ini);
  EXPECT_EQ(s[skLocal], "/home/op/Zelto/Quelvar/Audio");
  EXPECT_EQ(s[skMBLivres], "200");
  EXPECT_EQ(s[skLocalCopia], "");
}

TEST(Settings, OnlyTheAbsentKeysAreAddedAndEveryOtherLineIsKept) {
  testing::TempDir dir;
  setenv("HOME", "/home/op", 1);
  // Made by the player, edited by hand: an empty key is present and stays empty.
  dir.Write("cfg.ini", "; operator's note\n[Geral]\nLocalPlay=/srv/audio\nCopia=\nTempoRec=20\n");
  TIniFile ini(dir / "cfg.ini");
  EXPECT_EQ(WriteMissingSettings(ini).size(), static_cast<std::size_t>(kSettingCount - 2));
  EXPECT_EQ(dir.Read("cfg.ini"),
            "; operator's note\n[Geral]\nLocalPlay=/srv/audio\nCopia=\nTempoRec=20\nPlaca=0\n"
            "Local=/home/op/Zelto/Quelvar/Audio\nAutoGravar=S\nMB Livres=200\nDiasRec=30\n"
            "LocalCopia=\nPrioridade=N\nControle=0\n[Gravacao]\nFormato=4\n");
  EXPECT_TRUE(WriteMissingSettings(ini).empty()) << "nothing is absent any more";
}

TEST(Settings, NumbersAreDecimalIntegersOrTheKeysDefaultWithTheConversionMessage) {
  struct Case {
    const char* text;
    int want;
    bool message;
  };
  const Case cases[] = {{"10", 10, false},  {"-3", -3, false},         {"+7", 7, false},
                        {"", 10, true},     {"1O", 10, true},          {" 10", 10, true},
                        {"0x10", 10, true}, {"99999999999", 10, true}, {"-", 10, true}};
  for (const auto& c : cases) {
    testing::RecordedMessages m;
    RecorderSettings s;
    s[skTempoRec] = c.text;
    EXPECT_EQ(SettingInt(s, skTempoRec, m), c.want) << "'" << c.text << "'";
    if (c.message)
      EXPECT_EQ(m.Texts(), (std::vector<std::string>{"'" + std::string(c.text) +
                                                     "' is not a valid integer value"}));
    else
      EXPECT_TRUE(m.shown.empty());
  }
  testing::RecordedMessages m;
  RecorderSettings s;
  EXPECT_EQ(SettingInt(s, skMBLivres, m), 200);
  EXPECT_EQ(SettingInt(s, skDiasRec, m), 30);
  EXPECT_EQ(SettingInt(s, skControle, m), 0);
  EXPECT_EQ(m.Texts().front(), "'' is not a valid integer value");
}

TEST(FormatText, ScrollsInFromTheRightWithTheRateAndTheChannels) {
  const std::string blanks(20, ' ');
  EXPECT_EQ(FormatText(4, true), blanks + "MP3: 64 Kbps, Stereo");
  EXPECT_EQ(FormatText(8, true), blanks + "MP3: 128 Kbps, Stereo");
  EXPECT_EQ(FormatText(13, false), blanks + "MP3: 320 Kbps, Mono");
  EXPECT_EQ(FormatText(14, true), blanks + "MP3:  Kbps, Stereo");
  EXPECT_EQ(FormatText(-1, true), blanks + "MP3:  Kbps, Stereo");
  EXPECT_EQ(KbpsText(0), "32");
}

}  // namespace
}  // namespace zq
