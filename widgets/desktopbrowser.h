#pragma once
// The web browser seam over the desktop's URL handler (QDesktopServices::openUrl, which starts
// the browser through xdg-open on Linux desktops; never a shell). Main thread only.

#include "platform/browser.h"
#include "platform/services.h"

namespace zq {

class DesktopBrowser final : public WebBrowser {
 public:
  bool Open(const std::string& url) override;
};

// The browser of the services, or the desktop's when they name none.
WebBrowser& BrowserOf(const Services& services);

}  // namespace zq
