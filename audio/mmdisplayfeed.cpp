#include "audio/mmdisplayfeed.h"

#include "audio/mmconnector.h"

namespace zq {

TMMDisplayFeed::~TMMDisplayFeed() {
  DetachFromConnectors();
}

void TMMDisplayFeed::DetachFromConnectors() {
  std::vector<TMMConnector*> connectors;
  connectors.swap(connectors_);
  for (TMMConnector* c : connectors)
    c->FeedDestroyed(this);
}

}  // namespace zq
