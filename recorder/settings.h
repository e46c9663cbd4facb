#pragma once
// The recorder's settings in cfg.ini: the keys, their sections and the values written when the
// file is missing, in the order they are written. The window keeps each setting as the text read;
// numbers are converted when they are used.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/profile.h"

namespace zq {

enum TSettingKey {
  skFormato,
  skPlaca,
  skLocal,
  skAutoGravar,
  skMBLivres,
  skDiasRec,
  skTempoRec,
  skCopia,
  skLocalCopia,
  skPrioridade,
  skControle,
  kSettingCount
};

struct SettingDef {
  const char* section;
  const char* key;
  const char* defaultValue;  // null: computed (the recording folder)
};

// In the order the defaults are written and the keys read.
const std::array<SettingDef, kSettingCount>& SettingDefs();

// "$HOME/Zelto/Quelvar/Audio" (the default recording folder, written as an absolute path).
std::string DefaultRecordingFolder();
std::string DefaultValue(TSettingKey key);

struct RecorderSettings {
  std::array<std::string, kSettingCount> text;
  const std::string& operator[](TSettingKey k) const { return text[k]; }
  std::string& operator[](TSettingKey k) { return text[k]; }
};

// Writes each key that is absent (not merely empty) with its default, in the table's order, in
// one replacement of the file: a missing file gets them all, a file made by the player or by an
// older version the ones it lacks, and every other line stays as it is. EIniFileException when
// the file cannot be written (then nothing is). Returns the keys written.
std::vector<TSettingKey> WriteMissingSettings(TIniFile& ini);
// Reads every key (an absent key reads as empty text).
RecorderSettings ReadSettings(const TIniFile& ini);

// A plain decimal integer ("-12", "+3", "200"); nothing else (no blanks, no hex, no overflow).
std::optional<int> ParseDecimal(const std::string& text);
// The integer value of a setting. Text that is empty or not a decimal integer shows
// "'<text>' is not a valid integer value" as an error and gives the key's default.
int SettingInt(const RecorderSettings& s, TSettingKey key, OperatorMessages& messages);

}  // namespace zq
