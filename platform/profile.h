#pragma once
// Profile (INI) files with the Windows semantics the settings file has always had: sections and
// keys are found without regard to case, an absent key reads as empty text, writing a key
// replaces only that key's line (a new key goes to the end of its section, a new section to the
// end of the file) and every other line is kept as it stands, comments and blank lines included.
// Either line ending is read; a rewritten file keeps the ending it had.
//
// Every call reads the file afresh, so an edit made by another program is seen at the next call.
// A write replaces the file atomically (a temporary file in the same folder, flushed, then
// renamed over it), so a crash never leaves half a file, and holds an advisory lock (flock) on
// the file's folder from its read to its rename, so two programs writing their own keys at once
// (the recorder and the player share cfg.ini) never lose each other's. Main thread only.

#include <stdexcept>
#include <string>
#include <vector>

namespace zq {

class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One key's value, for a write of several keys at once.
struct TIniValue {
  std::string section, key, value;
};

class TIniFile {
 public:
  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string& FileName() const { return fileName_; }

  // The value after the first "=" of the key's line, blanks around it and one pair of enclosing
  // double quotes removed; `defaultValue` when the file, the section or the key is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue = {}) const;
  // EIniFileException "Unable to write to <file>" when the file or its folder cannot be written
  // (a file without any write permission bit counts as read-only, also for root) or its folder
  // cannot be opened for the lock.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  // Several keys in one replacement of the file, each as WriteString would, in the order given:
  // the file holds all of them or, on a failure (the same exception), none.
  void WriteStrings(const std::vector<TIniValue>& values);

  bool SectionExists(const std::string& section) const;
  // The key has a line in the section (its value may be empty).
  bool ValueExists(const std::string& section, const std::string& key) const;

 private:
  std::string fileName_;
};

}  // namespace zq
