#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

using testing::TempDir;

TEST(TIniFile, ReadsSectionsAndKeysWithoutRegardToCaseAndEitherLineEnding) {
  TempDir dir;
  dir.Write("cfg.ini",
            "; comment\r\n[Gravacao]\r\nFormato=4\r\n\r\n[geral]\r\nMB Livres = 200 \r\n"
            "Local=\"/srv/audio\"\r\nVazio=\r\n");
  TIniFile ini(dir / "cfg.ini");
  struct Case {
    const char *section, *key, *want;
  };
  const Case cases[] = {
      {"Gravacao", "Formato", "4"},     {"GRAVACAO", "formato", "4"},
      {"Geral", "MB Livres", "200"},    {"Geral", "mb livres", "200"},
      {"Geral", "Local", "/srv/audio"}, {"Geral", "Vazio", ""},
      {"Geral", "Formato", ""},         {"Outra", "Formato", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ini.ReadString(c.section, c.key), c.want) << c.section << "/" << c.key;
  EXPECT_EQ(ini.ReadString("Geral", "Ausente", "dflt"), "dflt");
  EXPECT_EQ(TIniFile(dir / "missing.ini").ReadString("Geral", "Local"), "");
  EXPECT_TRUE(ini.SectionExists("GERAL"));
  EXPECT_FALSE(ini.SectionExists("Outra"));
}

TEST(TIniFile, WritingReplacesOnlyThatKeyAndKeepsEveryOtherLine) {
  TempDir dir;
  dir.Write("cfg.ini", "; kept\n[Geral]\nLocalPlay=/home/op/audio\nplaca = 1\n\n[Outra]\nx=1\n");
  TIniFile ini(dir / "cfg.ini");
  ini.WriteString("Geral", "Placa", "0");       // replaced in place, spelling kept
  ini.WriteString("Geral", "TempoRec", "10");   // appended to the end of its section
  ini.WriteString("Gravacao", "Formato", "4");  // a new section at the end
  ini.WriteString("gravacao", "Formato", "8");  // found again without regard to case
  EXPECT_EQ(dir.Read("cfg.ini"),
            "; kept\n[Geral]\nLocalPlay=/home/op/audio\nplaca =0\nTempoRec=10\n\n[Outra]\nx=1\n"
            "[Gravacao]\nFormato=8\n");
}

TEST(TIniFile, SeveralKeysGoInOneWriteAndAnEmptyValueStillExists) {
  TempDir dir;
  dir.Write("cfg.ini", "[Geral]\nLocalPlay=/srv\nVazio=\n");
  TIniFile ini(dir / "cfg.ini");
  EXPECT_TRUE(ini.ValueExists("geral", "localplay"));
  EXPECT_TRUE(ini.ValueExists("Geral", "Vazio")) << "present, though empty";
  EXPECT_FALSE(ini.ValueExists("Geral", "Placa"));
  EXPECT_FALSE(ini.ValueExists("Gravacao", "Formato"));
  EXPECT_FALSE(TIniFile(dir / "missing.ini").ValueExists("Geral", "LocalPlay"));

  ini.WriteStrings(
      {{"Gravacao", "Formato", "4"}, {"Geral", "Placa", "0"}, {"Geral", "Vazio", "x"}});
  EXPECT_EQ(dir.Read("cfg.ini"),
            "[Geral]\nLocalPlay=/srv\nVazio=x\nPlaca=0\n[Gravacao]\nFormato=4\n");

  // All or nothing: a file that cannot be written keeps every key as it was.
  ASSERT_EQ(::chmod((dir / "cfg.ini").c_str(), 0444), 0);
  EXPECT_THROW(ini.WriteStrings({{"Geral", "Placa", "1"}, {"Geral", "Copia", "N"}}),
               EIniFileException);
  EXPECT_EQ(dir.Read("cfg.ini"),
            "[Geral]\nLocalPlay=/srv\nVazio=x\nPlaca=0\n[Gravacao]\nFormato=4\n");
}

TEST(TIniFile, KeepsWindowsLineEndingsAndCreatesAMissingFile) {
  TempDir dir;
  dir.Write("win.ini", "[Geral]\r\nLocal=C:\\Zelto\r\n");
  TIniFile win(dir / "win.ini");
  win.WriteString("Geral", "Copia", "N");
  EXPECT_EQ(dir.Read("win.ini"), "[Geral]\r\nLocal=C:\\Zelto\r\nCopia=N\r\n");

  TIniFile fresh(dir / "new.ini");
  fresh.WriteString("Gravacao", "Formato", "4");
  fresh.WriteString("Geral", "Placa", "0");
  EXPECT_EQ(dir.Read("new.ini"), "[Gravacao]\nFormato=4\n[Geral]\nPlaca=0\n");
}

TEST(TIniFile, AReadOnlyFileOrFolderRefusesTheWriteWithTheFileName) {
  TempDir dir;
  dir.Write("ro.ini", "[Geral]\nPlaca=0\n");
  ASSERT_EQ(::chmod((dir / "ro.ini").c_str(), 0444), 0);
  TIniFile ro(dir / "ro.ini");
  try {
    ro.WriteString("Geral", "Placa", "1");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "ro.ini"));
  }
  EXPECT_EQ(ro.ReadString("Geral", "Placa"), "0");

  TIniFile nowhere(dir / "no/such/folder/cfg.ini");
  EXPECT_THROW(nowhere.WriteString("Geral", "Placa", "1"), EIniFileException);
}

TEST(TIniFile, AnAtomicWriteLeavesNoTemporaryFilesAndKeepsThePermissions) {
  TempDir dir;
  dir.Write("cfg.ini", "[Geral]\n");
  ASSERT_EQ(::chmod((dir / "cfg.ini").c_str(), 0640), 0);
  TIniFile ini(dir / "cfg.ini");
  for (int i = 0; i < 20; ++i)
    ini.WriteString("Geral", "N", std::to_string(i));
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "cfg.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ini.ReadString("Geral", "N"), "19");
}

TEST(TIniFile, TwoProcessesWritingTheirOwnKeysAtOnceLoseNone) {
  // The recorder and the player share cfg.ini: each writes its keys while the other may be
  // writing, and a write is a read, a change and a replacement of the whole file.
  TempDir dir;
  dir.Write("cfg.ini", "[Geral]\nLocal=/srv/audio\n");
  constexpr int kKeys = 60;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int code = 0;
      try {
        TIniFile ini(dir / "cfg.ini");
        for (int k = 0; k < kKeys; ++k)
          ini.WriteString(c == 0 ? "Geral" : "Player", "K" + std::to_string(k), std::to_string(c));
      } catch (...) {
        code = 1;
      }
      ::_exit(code);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
  }
  TIniFile ini(dir / "cfg.ini");
  int lost = 0;
  for (int k = 0; k < kKeys; ++k) {
    lost += ini.ReadString("Geral", "K" + std::to_string(k)) != "0";
    lost += ini.ReadString("Player", "K" + std::to_string(k)) != "1";
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(ini.ReadString("Geral", "Local"), "/srv/audio");
}

}  // namespace
}  // namespace zq
