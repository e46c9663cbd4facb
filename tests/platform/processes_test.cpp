#include "platform/processes.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "platform/instance.h"
#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

TEST(ProcProcessTable, ListsThisProcessByItsExecutableName) {
  ProcProcessTable table;
  std::vector<ProcessEntry> list;
  ASSERT_TRUE(table.Snapshot(list));
  auto self = std::find_if(list.begin(), list.end(),
                           [](const ProcessEntry& p) { return p.pid == ::getpid(); });
  ASSERT_NE(self, list.end());
  EXPECT_EQ(self->exeFile, "platform_tests");
}

TEST(ProcProcessTable, RaisesEveryThreadToRoundRobinOrReportsTheRefusal) {
  ProcProcessTable table;
  EXPECT_FALSE(table.RaiseToRealtime(0x7ffffff0)) << "no such process";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::pause();
    ::_exit(0);
  }
  const bool raised = table.RaiseToRealtime(child);
  const int policy = ::sched_getscheduler(child);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  if (!raised) GTEST_SKIP() << "this machine refuses real-time scheduling";
  EXPECT_EQ(policy, SCHED_RR);
}

TEST(SingleInstance, ASecondCopyIsRefusedAndALeftoverLockIsTakenOver) {
  testing::TempDir dir;
  {
    SingleInstance first("Zelto Quelvar 2009", dir.path());
    EXPECT_TRUE(first.Acquired());
    SingleInstance second("Zelto Quelvar 2009", dir.path());
    EXPECT_FALSE(second.Acquired());
  }
  {
    SingleInstance again("Zelto Quelvar 2009", dir.path());
    EXPECT_TRUE(again.Acquired()) << "released with the first copy";
  }

  // A copy that died without releasing its lock does not block the next start.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto* held = new SingleInstance("Zelto Quelvar 2009", dir.path());
    ::_exit(held->Acquired() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  SingleInstance after("Zelto Quelvar 2009", dir.path());
  EXPECT_TRUE(after.Acquired());
}

}  // namespace
}  // namespace zq
