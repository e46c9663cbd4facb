#pragma once
// The web browser seam: opening an address in the desktop's browser. The programs use the
// desktop's handler (widgets/desktopbrowser.h); tests record the addresses. Main thread only.

#include <string>

namespace zq {

class WebBrowser {
 public:
  virtual ~WebBrowser() = default;
  // Asks the desktop to show the address; false when it refused or nothing could handle it.
  virtual bool Open(const std::string& url) = 0;
};

}  // namespace zq
