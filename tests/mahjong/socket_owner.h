#pragma once
// The thread a test's game connection posts its received messages to: it frees them.
#include "netlib/message.h"
#include "platform/core/message.h"

namespace hqlv::mahjong::test {

struct SocketOwner {
    platform::MessageLoop loop;
    SocketOwner() {
        loop.setThreadHandler([](const platform::Message& m) {
            if (m.id == netlib::kMsgSocketEvent)
                netlib::YrnFreeSocketMessage(netlib::YrnEnvelopeOf(m), netlib::YrnRecordOf(m));
        });
        loop.start();
    }
    ~SocketOwner() {
        loop.quit();
        loop.join();
    }
};

}  // namespace hqlv::mahjong::test
