#include "platform/messages.h"

#include <cstdio>

namespace zq {

void OperatorMessages::HandleCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    ShowError("Unknown exception");
  }
}

void StderrMessages::ShowMessage(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
}

void StderrMessages::ShowError(const std::string& text) {
  std::fprintf(stderr, "error: %s\n", text.c_str());
}

}  // namespace zq
