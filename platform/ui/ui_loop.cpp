#include "platform/ui/ui_loop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

namespace hqlv::platform::ui {
namespace {

const QEvent::Type kDeliveryEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
// Delivers what a wait kept back.
const QEvent::Type kReleaseEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class DeliveryEvent : public QEvent {
public:
    explicit DeliveryEvent(Delivery&& d) : QEvent(kDeliveryEvent), delivery(std::move(d)) {}
    Delivery delivery;  // disposed by its destructor when never run
};

class QtDispatcher : public QObject, public Dispatcher {
public:
    QtDispatcher() {
        // Goes away with the application, before Qt tears its event queues down.
        QObject::connect(QCoreApplication::instance(), &QObject::destroyed, this,
                         [this] { shutdown(); });
    }
    ~QtDispatcher() override { shutdown(); }

    bool enqueue(Delivery& d) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!accepting_) return false;
        QCoreApplication::postEvent(this, new DeliveryEvent(std::move(d)));
        return true;
    }
    bool onDispatcherThread() const override { return QThread::currentThread() == thread(); }

    // The registry calls these with its lock held: no registry calls in here.
    bool setTimer(Handle target, uint32_t id, uint32_t periodMs) override {
        if (!onDispatcherThread()) {
            QMetaObject::invokeMethod(
                this, [this, target, id, periodMs] { setTimer(target, id, periodMs); },
                Qt::QueuedConnection);
            return true;
        }
        std::lock_guard<std::mutex> lock(mu_);
        if (!accepting_) return false;
        auto key = std::make_pair(target, id);
        auto it = byKey_.find(key);
        if (it != byKey_.end()) {
            QObject::killTimer(it->second);
            byQt_.erase(it->second);
            byKey_.erase(it);
        }
        int qtId = QObject::startTimer(static_cast<int>(periodMs ? periodMs : 1));
        if (qtId == 0) return false;
        byKey_[key] = qtId;
        byQt_[qtId] = key;
        return true;
    }

    bool killTimer(Handle target, uint32_t id) override {
        if (!onDispatcherThread()) {
            std::lock_guard<std::mutex> lock(mu_);
            bool had = byKey_.count({target, id}) != 0;
            QMetaObject::invokeMethod(
                this, [this, target, id] { killTimer(target, id); }, Qt::QueuedConnection);
            return had;
        }
        std::lock_guard<std::mutex> lock(mu_);
        auto it = byKey_.find({target, id});
        if (it == byKey_.end()) return false;
        QObject::killTimer(it->second);
        byQt_.erase(it->second);
        byKey_.erase(it);
        return true;
    }

    void forgetTarget(Handle target) override {
        if (!onDispatcherThread()) {
            QMetaObject::invokeMethod(
                this, [this, target] { forgetTarget(target); }, Qt::QueuedConnection);
            return;
        }
        std::lock_guard<std::mutex> lock(mu_);
        for (auto it = byKey_.begin(); it != byKey_.end();) {
            if (it->first.first == target) {
                QObject::killTimer(it->second);
                byQt_.erase(it->second);
                it = byKey_.erase(it);
            } else {
                ++it;
            }
        }
    }

    // While a wait pumps the UI thread only the allowed targets' messages run.
    void beginWait(const std::vector<Handle>& allowed) {
        allowed_ = allowed;
        waiting_ = true;
        // What the allowed windows were sent while the loop ran freely may still sit behind
        // a held message whose handler is this very wait: it runs now, in its order.
        // (Searched afresh each time: a handler may add to the list.)
        for (;;) {
            auto it = std::find_if(held_.begin(), held_.end(),
                                   [&](const Delivery& d) { return isAllowed(d.target()); });
            if (it == held_.end()) break;
            Delivery d = std::move(*it);
            held_.erase(it);
            d.run();
        }
    }
    void endWait() {
        waiting_ = false;
        allowed_.clear();
        if (!held_.empty() && !releasePosted_) {
            releasePosted_ = true;
            QCoreApplication::postEvent(this, new QEvent(kReleaseEvent));
        }
    }
    size_t held() const { return held_.size(); }

protected:
    bool event(QEvent* e) override {
        if (e->type() == kDeliveryEvent) {
            Delivery& d = static_cast<DeliveryEvent*>(e)->delivery;
            if (waiting_) {
                // The allowed windows run now, whatever is held; the others wait.
                if (isAllowed(d.target()))
                    d.run();
                else
                    held_.push_back(std::move(d));
                return true;
            }
            if (!held_.empty()) {
                // What was kept back goes first.
                held_.push_back(std::move(d));
                release();
                return true;
            }
            d.run();
            return true;
        }
        if (e->type() == kReleaseEvent) {
            releasePosted_ = false;
            release();
            return true;
        }
        return QObject::event(e);
    }
    void timerEvent(QTimerEvent* e) override {
        std::pair<Handle, uint32_t> key;
        {
            std::lock_guard<std::mutex> lock(mu_);
            auto it = byQt_.find(e->timerId());
            if (it == byQt_.end()) return;
            key = it->second;
        }
        if (!isAlive(key.first)) {  // a timer queued from another thread outlived its target
            forgetTarget(key.first);
            return;
        }
        Message msg;
        msg.id = kTimerMessage;
        msg.w = key.second;
        Delivery d(key.first, msg);
        d.run();
    }

private:
    bool isAllowed(Handle h) const {
        return std::find(allowed_.begin(), allowed_.end(), h) != allowed_.end();
    }
    // Runs the kept messages in order; a handler that waits again stops the round (the
    // rest stays kept until that wait ends).
    void release() {
        while (!held_.empty() && !waiting_) {
            Delivery d = std::move(held_.front());
            held_.pop_front();
            d.run();
        }
    }
    void shutdown() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (!accepting_) return;
            accepting_ = false;
        }
        detachAllTargets();
        // What is still queued for this object is deleted with it (disposing the blocks).
        QCoreApplication::removePostedEvents(this, kDeliveryEvent);
        held_.clear();
    }

    std::mutex mu_;
    bool accepting_ = true;
    std::map<std::pair<Handle, uint32_t>, int> byKey_;
    std::map<int, std::pair<Handle, uint32_t>> byQt_;
    // UI thread only.
    bool waiting_ = false;
    bool releasePosted_ = false;
    std::vector<Handle> allowed_;
    std::deque<Delivery> held_;
};

QtDispatcher* g_dispatcher = nullptr;

}  // namespace

Dispatcher& uiDispatcher() {
    if (!g_dispatcher) {
        g_dispatcher = new QtDispatcher();
        // Deleted when the application object goes.
        QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] {
            delete g_dispatcher;
            g_dispatcher = nullptr;
        });
    }
    return *g_dispatcher;
}

void processUiEvents(int maxMs) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, maxMs);
}

void processWaitEvents(const std::vector<Handle>& allowed) {
    QtDispatcher& d = static_cast<QtDispatcher&>(uiDispatcher());
    d.beginWait(allowed);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
    d.endWait();
}

size_t heldUiMessages() {
    return g_dispatcher ? g_dispatcher->held() : 0;
}

}  // namespace hqlv::platform::ui
