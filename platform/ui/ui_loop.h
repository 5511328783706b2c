#pragma once
// The UI thread's dispatcher: message targets that live on the UI thread (windows) get
// their posted messages and timers through Qt's event loop. Posting works from any
// thread (Qt's thread-safe event posting); the messages run on the UI thread in order.
//
// Create the QApplication first; the dispatcher is made on first use on the UI thread
// and lives until the QApplication goes (queued messages are then disposed).
#include <vector>

#include "platform/core/message.h"

namespace hqlv::platform::ui {

// The dispatcher of the thread that owns the QApplication. Call it first on that thread.
Dispatcher& uiDispatcher();

// Runs every posted message and due timer now (tests and modal waits); at most maxMs.
void processUiEvents(int maxMs = 0);

// One round of the UI thread's events while it is blocked in a wait: windows paint and the
// messages posted to the allowed targets run, but no input, no timer and no other
// target's message is handled. Those messages are kept, in their order, and delivered
// once the UI loop runs freely again (before anything posted later).
void processWaitEvents(const std::vector<Handle>& allowed);
// Messages kept back by processWaitEvents and not yet delivered.
size_t heldUiMessages();

}  // namespace hqlv::platform::ui
