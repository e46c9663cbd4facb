#pragma once
// The operator-message service: every text the operator is shown goes through it. The programs
// show message boxes (widgets/messagebox.h); tests record the texts. Main thread only.

#include <exception>
#include <string>

namespace zq {

class OperatorMessages {
 public:
  virtual ~OperatorMessages() = default;
  // A plain message box with an OK button; an empty caption means the application's title.
  virtual void ShowMessage(const std::string& text, const std::string& caption = {}) = 0;
  // An error box.
  virtual void ShowError(const std::string& text) = 0;

  // The application's exception handler: the exception's message in an error box, and the
  // program goes on.
  void HandleException(const std::exception& e) { ShowError(e.what()); }
  // The same for the exception being handled; call it only inside a catch block.
  void HandleCurrentException();
  // Runs f; an exception it throws goes to HandleCurrentException.
  template <class F>
  void Guard(F&& f) {
    try {
      f();
    } catch (...) {
      HandleCurrentException();
    }
  }
};

// Writes the texts to standard error: what a program shows before it has windows.
class StderrMessages final : public OperatorMessages {
 public:
  void ShowMessage(const std::string& text, const std::string& caption = {}) override;
  void ShowError(const std::string& text) override;
};

}  // namespace zq
