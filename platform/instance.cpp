#include "platform/instance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace zq {

SingleInstance::SingleInstance(const std::string& name, const std::string& folder) {
  QString dir = folder.empty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                               : QString::fromStdString(folder);
  if (dir.isEmpty()) dir = QDir::tempPath();
  QDir().mkpath(dir);
  path_ = QDir(dir).filePath(QString::fromStdString(name) + ".lock").toStdString();
  lock_ = std::make_unique<QLockFile>(QString::fromStdString(path_));
  lock_->setStaleLockTime(0);  // only a lock whose process is gone is stale
  acquired_ = lock_->tryLock(0);
}

SingleInstance::~SingleInstance() = default;

}  // namespace zq
