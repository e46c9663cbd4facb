#include "recorder/priority.h"

#include <cctype>

namespace zq {
namespace {

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  if (prefix.size() > s.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

}  // namespace

void TFrmPrioridade::RefreshProcessList() {
  int index = itemIndex_;
  if (index > Count() - 1) --index;
  items_.clear();
  entries_.clear();
  std::vector<ProcessEntry> snapshot;
  const bool ok = processes_.Snapshot(snapshot);
  for (ProcessEntry& p : snapshot) {
    items_.push_back(p.exeFile.empty() ? "< Unknown >" : p.exeFile);
    entries_.push_back(std::move(p));
  }
  if (!ok) messages_.ShowMessage("Um erro ocorreu enquanto a tarefa estava sendo lida.");
  if (!items_.empty()) SetItemIndex(index <= 0 ? 0 : index);
}

void TFrmPrioridade::SetSearchText(const std::string& text) {
  search_ = text.substr(0, 255);
  itemIndex_ = -1;
  const int n = Count();
  for (int k = 1; k <= n; ++k) {
    const int i = k % n;  // 1, 2, ..., n - 1, then 0
    if (StartsWithNoCase(items_[i], search_)) {
      itemIndex_ = i;
      return;
    }
  }
}

void TFrmPrioridade::RaiseSelected() {
  if (itemIndex_ < 0) return;
  if (!processes_.RaiseToRealtime(entries_[itemIndex_].pid))
    messages_.ShowMessage("Um erro ocorreu durante o processo de troca de prioridade de processos");
  RefreshProcessList();
}

std::string WindowsKind() {
  return "XP";
}

void RaiseOwnProcess(const ProcessTable& processes, OperatorMessages& messages, int ownPid) {
  TFrmPrioridade tool(processes, messages);
  tool.RefreshProcessList();
  tool.SetSearchText("ZeltoQuelvar");
  if (tool.ItemIndex() < 0 || tool.Processes()[tool.ItemIndex()].pid != ownPid)
    for (int i = 0; i < tool.Count(); ++i)
      if (tool.Processes()[i].pid == ownPid) tool.SetItemIndex(i);
  tool.RaiseSelected();
}

}  // namespace zq
