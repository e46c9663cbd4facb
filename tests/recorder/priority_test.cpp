#include "recorder/priority.h"

#include <gtest/gtest.h>

#include "tests/support/platform/manual_time.h"

namespace zq {
namespace {

class FakeProcesses : public ProcessTable {
 public:
  bool Snapshot(std::vector<ProcessEntry>& out) const override {
    for (std::size_t i = 0; i < list.size() && static_cast<int>(i) != failAfter; ++i)
      out.push_back(list[i]);
    return failAfter < 0;
  }
  bool RaiseToRealtime(pid_t pid) const override {
    raised.push_back(pid);
    return allowRaise;
  }
  std::vector<ProcessEntry> list;
  int failAfter = -1;
  bool allowRaise = true;
  mutable std::vector<pid_t> raised;
};

FakeProcesses Table(std::vector<std::string> names) {
  FakeProcesses t;
  pid_t pid = 100;
  for (auto& n : names)
    t.list.push_back({pid++, n});
  return t;
}

TEST(PriorityTool, SearchesByPrefixWithoutCaseFromTheSecondEntryAndTheFirstLast) {
  struct Case {
    std::vector<std::string> names;
    std::string search;
    int want;
  };
  const Case cases[] = {
      {{"init", "ZeltoQuelvar", "bash"}, "zeltoquelvar", 1},
      {{"ZeltoQuelvar", "a", "b", "c", "d", "ZeltoQuelvar"}, "ZeltoQuelvar", 5},
      {{"ZeltoQuelvar", "a"}, "Zelto", 0},
      {{"init", "bash"}, "ZeltoQuelvar", -1},
      {{"init", "ZeltoQuelvarPlayer"}, "ZeltoQuelvar", 1},
      {{}, "x", -1},
  };
  for (const auto& c : cases) {
    testing::RecordedMessages m;
    FakeProcesses t = Table(c.names);
    TFrmPrioridade tool(t, m);
    tool.RefreshProcessList();
    tool.SetSearchText(c.search);
    EXPECT_EQ(tool.ItemIndex(), c.want) << c.search;
  }
}

TEST(PriorityTool, ListsUnnamedProcessesAndKeepsTheSelectionAcrossARaise) {
  testing::RecordedMessages m;
  FakeProcesses t = Table({"systemd", "", "ZeltoQuelvar", "bash"});
  TFrmPrioridade tool(t, m);
  tool.RefreshProcessList();
  EXPECT_EQ(tool.Items()[1], "< Unknown >");
  EXPECT_EQ(tool.ItemIndex(), 0);
  tool.SetSearchText("ZELTOQUELVAR");
  tool.RaiseSelected();
  EXPECT_EQ(t.raised, (std::vector<pid_t>{102}));
  EXPECT_EQ(tool.ItemIndex(), 2);
  EXPECT_TRUE(m.shown.empty());

  t.allowRaise = false;
  tool.RaiseSelected();
  EXPECT_EQ(m.Texts(),
            (std::vector<std::string>{
                "Um erro ocorreu durante o processo de troca de prioridade de processos"}));

  tool.SetSearchText("nothing");
  tool.RaiseSelected();
  EXPECT_EQ(t.raised.size(), 2u) << "nothing selected, nothing raised";
}

TEST(PriorityTool, AFailedWalkKeepsWhatWasReadAndSaysSo) {
  testing::RecordedMessages m;
  FakeProcesses t = Table({"a", "b", "c"});
  t.failAfter = 2;
  TFrmPrioridade tool(t, m);
  tool.RefreshProcessList();
  EXPECT_EQ(tool.Count(), 2);
  EXPECT_EQ(m.Texts(),
            (std::vector<std::string>{"Um erro ocorreu enquanto a tarefa estava sendo lida."}));
  EXPECT_EQ(WindowsKind(), "XP");
}

TEST(PriorityTool, AtStartUpTheRecordersOwnProcessIsRaisedNotAnotherOfTheSameName) {
  testing::RecordedMessages m;
  FakeProcesses t = Table({"init", "ZeltoQuelvarPlayer", "ZeltoQuelvar"});
  RaiseOwnProcess(t, m, 102);
  EXPECT_EQ(t.raised, (std::vector<pid_t>{102}));
}

}  // namespace
}  // namespace zq
