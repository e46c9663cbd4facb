#include "platform/errortext.h"

#include <cstring>

namespace zq {

std::string FailureText(std::string_view operation, std::string_view reason) {
  std::string s(operation);
  if (s.empty() || s.back() != ':') s += ':';
  s += kLfCr;
  s += reason;
  return s;
}

std::string SystemErrorText(int errnum) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be in `buffer`.
  const char* text = strerror_r(errnum, buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : "Unknown error " + std::to_string(errnum);
}

std::string CodeText(int code, std::string_view text) {
  if (!text.empty()) return std::string(text);
  return "MMSystem error: " + std::to_string(code);
}

}  // namespace zq
