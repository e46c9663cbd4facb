#include "widgets/desktopbrowser.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace zq {

bool DesktopBrowser::Open(const std::string& url) {
  const QUrl u(QString::fromStdString(url), QUrl::StrictMode);
  return u.isValid() && QDesktopServices::openUrl(u);
}

WebBrowser& BrowserOf(const Services& services) {
  static DesktopBrowser desktop;
  return services.browser != nullptr ? *services.browser : desktop;
}

}  // namespace zq
