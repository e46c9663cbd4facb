#pragma once
// The process priority tool: a list of the running processes with a search box, and raising the
// selected process to real-time scheduling. The window was never shown, so this is its
// non-visual part only. Main thread only.

#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/processes.h"

namespace zq {

class TFrmPrioridade {
 public:
  TFrmPrioridade(const ProcessTable& processes, OperatorMessages& messages)
      : processes_(processes), messages_(messages) {}

  // Refills the list in the order the system gives, keeping the selected position.
  void RefreshProcessList();
  // The search box changed: selects the first entry whose text begins with the text (case
  // ignored), searching from the second entry to the last and then the first; none selects
  // nothing. At most 255 characters of the text are used.
  void SetSearchText(const std::string& text);
  // Raises the selected process and refills the list; with nothing selected nothing happens.
  void RaiseSelected();

  // The list control: entry texts, the process behind each, the selected index (-1: none).
  const std::vector<std::string>& Items() const { return items_; }
  const std::vector<ProcessEntry>& Processes() const { return entries_; }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index) { itemIndex_ = index >= 0 && index < Count() ? index : -1; }
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& SearchText() const { return search_; }

 private:
  const ProcessTable& processes_;
  OperatorMessages& messages_;
  std::vector<std::string> items_;
  std::vector<ProcessEntry> entries_;
  int itemIndex_ = -1;
  std::string search_;
};

// The Windows family the program runs on: always the NT family here.
std::string WindowsKind();

// What the recorder does at start-up with "Prioridade" = "S": refill the list, search for the
// recorder's name, and raise. The search picks the first process whose name begins with it, which
// could be another program of the same prefix (the player); the recorder's own process is
// preferred when it is listed.
void RaiseOwnProcess(const ProcessTable& processes, OperatorMessages& messages, int ownPid);

}  // namespace zq
