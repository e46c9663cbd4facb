#pragma once
// The platform seams a component needs, handed to its constructor. The pointers are not owned;
// the services outlive every component given them.

#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/diskspace.h"
#include "platform/mainthread.h"
#include "platform/messages.h"
#include "platform/timers.h"

namespace zq {

struct Services {
  Clock* clock = nullptr;
  TimerService* timers = nullptr;
  MainThread* mainThread = nullptr;
  OperatorMessages* messages = nullptr;
  DiskSpace* disk = nullptr;
  // Null means the desktop's browser (widgets/desktopbrowser.h), which needs Qt Gui.
  WebBrowser* browser = nullptr;
};

// The real services of the process (system clock, Qt timers, Qt main thread, messages on standard
// error, statvfs). A program replaces `messages` with its message boxes before it creates
// components.
Services& DefaultServices();

}  // namespace zq
