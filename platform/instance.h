#pragma once
// The single-instance guard: a lock file in the user's runtime folder named after the product.
// A lock left behind by a program that died is taken over. Main thread only.

#include <memory>
#include <string>

class QLockFile;

namespace zq {

class SingleInstance {
 public:
  // `name` is the product's name; `folder` the runtime folder (the user's by default).
  explicit SingleInstance(const std::string& name, const std::string& folder = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process holds the lock: no other copy runs.
  bool Acquired() const { return acquired_; }
  const std::string& LockPath() const { return path_; }

 private:
  std::unique_ptr<QLockFile> lock_;
  std::string path_;
  bool acquired_ = false;
};

}  // namespace zq
