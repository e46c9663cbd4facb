#include "mixer/pollwatch.h"

#include <QSocketNotifier>
#include <cerrno>

namespace zq {

TMMPollWatch::TMMPollWatch(std::vector<pollfd> fds, TService service, TGone gone)
    : fds_(std::move(fds)), service_(std::move(service)), gone_(std::move(gone)) {
  for (const pollfd& p : fds_) {
    for (auto [mask, type] :
         {std::pair{POLLIN, QSocketNotifier::Read}, std::pair{POLLOUT, QSocketNotifier::Write},
          std::pair{POLLPRI, QSocketNotifier::Exception}}) {
      if (!(p.events & mask)) continue;
      auto* n = new QSocketNotifier(p.fd, type);
      QObject::connect(n, &QSocketNotifier::activated, [this] { Ready(); });
      notifiers_.push_back(n);
    }
  }
}

TMMPollWatch::~TMMPollWatch() {
  for (QSocketNotifier* n : notifiers_)
    delete n;
}

void TMMPollWatch::Ready() {
  if (notifiers_.empty()) return;
  for (pollfd& p : fds_)
    p.revents = 0;
  if (::poll(fds_.data(), fds_.size(), 0) < 0) {
    if (errno != EINTR) Fail(-errno);
    return;
  }
  for (const pollfd& p : fds_)
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return Fail(-ENODEV);
  if (const int r = service_(fds_); r < 0) Fail(r);
}

void TMMPollWatch::Fail(int code) {
  // Off the loop now; the notifiers go when the loop next runs, as one of them is signalling.
  for (QSocketNotifier* n : notifiers_) {
    n->setEnabled(false);
    n->deleteLater();
  }
  notifiers_.clear();
  gone_(code);
}

}  // namespace zq
