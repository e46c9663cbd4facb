#include "gallery/gallery.h"

#include <QTabWidget>
#include <algorithm>

namespace zq::gallery {

namespace {

std::vector<Page>& Registry() {
  static std::vector<Page> pages;
  return pages;
}

}  // namespace

bool RegisterPage(Page page) {
  Registry().push_back(std::move(page));
  return true;
}

std::vector<const Page*> Pages() {
  std::vector<const Page*> pages;
  for (const Page& p : Registry())
    pages.push_back(&p);
  std::stable_sort(pages.begin(), pages.end(),
                   [](const Page* a, const Page* b) { return a->order < b->order; });
  return pages;
}

const Page* FindPage(const std::string& name) {
  for (const Page& p : Registry())
    if (p.name == name) return &p;
  return nullptr;
}

std::unique_ptr<QWidget> BuildGallery() {
  auto tabs = std::make_unique<QTabWidget>();
  tabs->setWindowTitle("Zelto Quelvar widget gallery");
  for (const Page* p : Pages())
    tabs->addTab(p->build().release(), QString::fromStdString(p->name));
  return tabs;
}

}  // namespace zq::gallery
