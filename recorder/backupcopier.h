#pragma once
// Copies finished segments to the backup folder on a thread of its own, so the capture never
// waits for a slow backup disk. Copies run one at a time in the order asked; each is written
// under a temporary name and renamed into place (see CopyFileReplacing). A failed copy is
// ignored, as it always was. Enqueue from the main thread; destruction waits for the copies
// already asked for.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zq {

class BackupCopier {
 public:
  BackupCopier();
  ~BackupCopier();
  BackupCopier(const BackupCopier&) = delete;
  BackupCopier& operator=(const BackupCopier&) = delete;

  void Enqueue(std::string from, std::string to);
  // Waits until every copy asked for so far has been made (or has failed).
  void WaitIdle();
  // Called on the copier's thread after each copy, with its result (tests, diagnostics).
  std::function<void(const std::string& to, bool ok)> OnCopied;

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<std::pair<std::string, std::string>> jobs_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace zq
