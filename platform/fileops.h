#pragma once
// File operations the programs need, on POSIX calls and std::filesystem (never a shell). Every
// call reports failure in its result; `error`, where given, receives strerror() of the cause.
// Any thread.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace zq {

// Replaces `path` with `content`: a temporary file beside it is written, flushed to the disk and
// renamed over the old one, so readers see the old file or the new one, never half of either.
bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode,
                         std::string* error = nullptr);

// Renames `from` to `to` only if `to` does not exist (a plain rename would replace it).
bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error = nullptr);

// Copies `from` to `to`, replacing `to` if it exists. The copy is written as `to` + ".part",
// flushed, and renamed into place, so a copy cut short never carries the final name.
bool CopyFileReplacing(const std::string& from, const std::string& to,
                       std::string* error = nullptr);

bool DeleteFile(const std::string& path, std::string* error = nullptr);
bool FileExists(const std::string& path);  // a regular file (or a link to one)

// Creates the folder and its missing parents; true when it exists afterwards.
bool EnsureFolder(const std::string& path, std::string* error = nullptr);

struct FolderEntry {
  std::string name;
  bool isDirectory = false;
  TDateTime modified = 0;       // local time
  std::int64_t modifiedNs = 0;  // nanoseconds since 1970, for ordering by age
};
// The entries of `folder` whose names end with `suffix` (compared without regard to case; all
// entries for an empty suffix), hidden ones included, in the order the system lists them. An
// unreadable folder gives an empty list.
std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& suffix = {});

// The folder of the running executable, without a trailing "/".
std::string ExecutableFolder();

// "a" + "/" + "b", without doubling a "/" at the joint.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace zq
