#include "platform/errortext.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace zq {
namespace {

TEST(ErrorText, OperationColonLfCrReason) {
  const struct {
    std::string_view operation, reason;
    std::string expected;
  } cases[] = {
      {"WaveInOpen", "Device or resource busy", "WaveInOpen:\n\rDevice or resource busy"},
      {"close:", "No space left on device", "close:\n\rNo space left on device"},
      {"", "x", ":\n\rx"},
      {"WaveIn", "", "WaveIn:\n\r"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FailureText(c.operation, c.reason), c.expected) << c.operation;
}

TEST(ErrorText, SystemAndLibraryTexts) {
  EXPECT_EQ(SystemErrorText(ENOSPC), "No space left on device");
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_FALSE(SystemErrorText(99999).empty());
  EXPECT_EQ(CodeText(-16, "Device or resource busy"), "Device or resource busy");
  EXPECT_EQ(CodeText(-16, ""), "MMSystem error: -16");
  EXPECT_EQ(CodeText(1025, ""), "MMSystem error: 1025");
}

}  // namespace
}  // namespace zq
