#include "recorder/settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace zq {

const std::array<SettingDef, kSettingCount>& SettingDefs() {
  static const std::array<SettingDef, kSettingCount> defs = {{
      {"Gravacao", "Formato", "4"},
      {"Geral", "Placa", "0"},
      {"Geral", "Local", nullptr},
      {"Geral", "AutoGravar", "S"},
      {"Geral", "MB Livres", "200"},
      {"Geral", "DiasRec", "30"},
      {"Geral", "TempoRec", "10"},
      {"Geral", "Copia", "N"},
      {"Geral", "LocalCopia", ""},
      {"Geral", "Prioridade", "N"},
      {"Geral", "Controle", "0"},
  }};
  return defs;
}

std::string DefaultRecordingFolder() {
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : "") + "/Zelto/Quelvar/Audio";
}

std::string DefaultValue(TSettingKey key) {
  const SettingDef& d = SettingDefs()[key];
  return d.defaultValue != nullptr ? d.defaultValue : DefaultRecordingFolder();
}

std::vector<TSettingKey> WriteMissingSettings(TIniFile& ini) {
  std::vector<TSettingKey> keys;
  std::vector<TIniValue> values;
  for (int k = 0; k < kSettingCount; ++k) {
    const auto key = static_cast<TSettingKey>(k);
    const SettingDef& d = SettingDefs()[key];
    if (ini.ValueExists(d.section, d.key)) continue;
    keys.push_back(key);
    values.push_back({d.section, d.key, DefaultValue(key)});
  }
  if (!values.empty()) ini.WriteStrings(values);
  return keys;
}

RecorderSettings ReadSettings(const TIniFile& ini) {
  RecorderSettings s;
  for (int k = 0; k < kSettingCount; ++k)
    s.text[k] = ini.ReadString(SettingDefs()[k].section, SettingDefs()[k].key);
  return s;
}

std::optional<int> ParseDecimal(const std::string& text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i == text.size()) return std::nullopt;
  for (std::size_t j = i; j < text.size(); ++j)
    if (text[j] < '0' || text[j] > '9') return std::nullopt;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

int SettingInt(const RecorderSettings& s, TSettingKey key, OperatorMessages& messages) {
  if (auto v = ParseDecimal(s[key])) return *v;
  messages.ShowError("'" + s[key] + "' is not a valid integer value");
  return *ParseDecimal(DefaultValue(key));
}

}  // namespace zq
