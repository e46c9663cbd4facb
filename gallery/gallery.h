#pragma once
// The widget gallery: one page per widget family, each showing its widgets in their main states.
// A family adds a page by a file of its own in this folder (page_<family>.cpp) that registers a
// builder with ZQ_GALLERY_PAGE, so families grow the gallery without editing each other's pages.
// A page's widget has a fixed size; its geometry is the page's own business (a page that a test
// inspects puts its constants in its own header, page_<family>.h).

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zq::gallery {

struct Page {
  std::string name;  // short, lower case, no spaces: the --page argument and the file name
  int order;         // pages are shown by ascending order
  std::function<std::unique_ptr<QWidget>()> build;
};

// Registers a page; called by ZQ_GALLERY_PAGE before main runs.
bool RegisterPage(Page page);
// Every registered page, by order.
std::vector<const Page*> Pages();
// The page of that name, or null.
const Page* FindPage(const std::string& name);

// The whole gallery: every page in a tab of one window.
std::unique_ptr<QWidget> BuildGallery();

}  // namespace zq::gallery

#define ZQ_GALLERY_PAGE_CAT2(a, b) a##b
#define ZQ_GALLERY_PAGE_CAT(a, b) ZQ_GALLERY_PAGE_CAT2(a, b)
// ZQ_GALLERY_PAGE("name", order, builder): registers a page at start-up.
#define ZQ_GALLERY_PAGE(name, order, builder)                         \
  static const bool ZQ_GALLERY_PAGE_CAT(zq_gallery_page_, __LINE__) = \
      ::zq::gallery::RegisterPage({name, order, builder})
