#pragma once
// The one place that puts a failed operation into the operator's words: the operation's name, a
// colon, a line feed and a carriage return (in that order), then the system's reason. Used by the
// capture, encoder, file and mixer edges, so every device and file message reads the same way.
// Thread-safe; nothing here throws except on memory exhaustion.

#include <string>
#include <string_view>

namespace zq {

// The separator between an operation's name and its reason.
inline constexpr std::string_view kLfCr = "\n\r";

// "<operation>:" LF CR "<reason>". An operation already ending in ':' gets no second one.
std::string FailureText(std::string_view operation, std::string_view reason);

// strerror() of an errno value, thread-safe ("Unknown error N" for a value the system lacks).
std::string SystemErrorText(int errnum);

// The text of a library's error code: `text` as the library gave it, or "MMSystem error: <code>"
// when it gave none (an empty text).
std::string CodeText(int code, std::string_view text);

}  // namespace zq
