#include "recorder/backupcopier.h"

#include "platform/fileops.h"

namespace zq {

BackupCopier::BackupCopier() : thread_([this] { Run(); }) {}

BackupCopier::~BackupCopier() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void BackupCopier::Enqueue(std::string from, std::string to) {
  {
    std::lock_guard lock(mutex_);
    jobs_.emplace_back(std::move(from), std::move(to));
  }
  wake_.notify_all();
}

void BackupCopier::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void BackupCopier::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and every copy asked for is made
    auto [from, to] = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    const bool ok = CopyFileReplacing(from, to);
    if (OnCopied) OnCopied(to, ok);
    lock.lock();
    busy_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
}

}  // namespace zq
