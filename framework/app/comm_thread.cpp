#include "framework/app/comm_thread.h"

#include <QPainter>

#include <system_error>

#include "framework/app/game_app.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/hall/hall_records.h"
#include "framework/hall/hall_sign.h"
#include "netlib/log.h"
#include "netlib/message.h"
#include "platform/core/clock.h"
#include "platform/core/diag.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework {

using platform::Message;

platform::Message MakeTextMessage(uint32_t id, const std::string& text, intptr_t l) {
    Message m;
    m.id = id;
    m.w = reinterpret_cast<uintptr_t>(new std::string(text));
    m.l = l;
    m.dispose = DisposeTextMessage;
    return m;
}

void DisposeTextMessage(const platform::Message& msg) {
    delete reinterpret_cast<std::string*>(msg.w);
}

std::array<uint32_t, 6> WaitBarColors(uint32_t fg, uint32_t bg, int bright) {
    if (bright < 1 || bright > 5) bright = 3;
    auto ch = [](uint32_t c, int i) { return int((c >> (8 * i)) & 0xFF); };
    int step[3];
    for (int i = 0; i < 3; ++i) step[i] = (ch(bg, i) - ch(fg, i)) / bright;
    auto next = [&](uint32_t c) {
        uint32_t out = 0;
        for (int i = 0; i < 3; ++i) {
            int v = ch(c, i) + step[i];
            int b = ch(bg, i);
            if ((step[i] > 0 && v > b) || (step[i] < 0 && v < b)) v = b;
            out |= uint32_t(v & 0xFF) << (8 * i);
        }
        return out;
    };
    std::array<uint32_t, 6> colors{};
    colors[bright] = fg;
    for (int i = bright - 1; i >= 0; --i) colors[i] = next(colors[i + 1]);
    for (int i = bright + 1; i < 6; ++i) colors[i] = next(colors[i - 1]);
    return colors;
}

void RotateWaitBar(std::array<uint32_t, 6>& c, int direction) {
    if (direction) {
        uint32_t last = c[5];
        for (int i = 5; i > 0; --i) c[i] = c[i - 1];
        c[0] = last;
    } else {
        uint32_t first = c[0];
        for (int i = 0; i < 5; ++i) c[i] = c[i + 1];
        c[5] = first;
    }
}

// ---- wait dialog

CCommWaitDlg::CCommWaitDlg()
    : platform::ui::Window(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    resize(310, 74);  // 207 x 45 dialog units
    colors_ = WaitBarColors(0x1A462E, barBg_);
    // The dialog takes the current skin as it starts: its background and bar colours are
    // there whoever makes it.
    if (CGameApp* app = CGameApp::Current())
        if (CSkinSettings* skin = app->GetSkinSettings()) LoadSkin(skin->GetSkinPath());
}

CCommWaitDlg::~CCommWaitDlg() = default;

void CCommWaitDlg::LoadSkin(const std::string& skinPath) {
    background_ = QImage();
    uint32_t fg = 0x1A462E;
    barBg_ = 0x429473;
    if (!skinPath.empty() && platform::pathExists(skinPath)) {
        std::string file =
            TrimBlanksCopy(platform::profileString("BitmapResource", "CommDlgBK", "", skinPath));
        std::string folder = platform::normalizePath(skinPath);
        folder = folder.substr(0, folder.rfind('/') + 1);
        if (!file.empty()) {
            if (auto img = platform::ui::LoadBitmapFile(folder + file)) background_ = *img;
        }
        fg = ParseColor(
            TrimBlanksCopy(platform::profileString("CommColors", "WaitBarfg", "", skinPath)), fg);
        barBg_ = ParseColor(
            TrimBlanksCopy(platform::profileString("CommColors", "WaitBarbg", "", skinPath)),
            barBg_);
    }
    colors_ = WaitBarColors(fg, barBg_);
    update();
}

void CCommWaitDlg::ShowText(const std::string& text, int seconds) {
    text_ = text;
    platform::diagf("wait: %s", text.c_str());
    update();
    show();
    raise();
    if (seconds != 0) {
        autoHideTimer_ = 100;
        autoHideStart_ = platform::tickMs();
        autoHideMs_ = uint32_t(seconds) * 1000;
        SetTimer(100, autoHideMs_);
    }
}

void CCommWaitDlg::HideWait() {
    if (isVisible()) platform::diagf("wait dialog hidden: %d turns painted", paintedTurns_);
    hide();
}

void CCommWaitDlg::Turn() {
    RotateWaitBar(colors_, 1);
    ++turns_;
    lastTurn_ = platform::tickMs();
}

void CCommWaitDlg::OnBlockedWait() {
    const uint32_t now = platform::tickMs();
    if (autoHideTimer_ && platform::tickElapsed(autoHideStart_, now) >= autoHideMs_) {
        HideWait();
        KillTimer(100);
        autoHideTimer_ = 0;
    }
    if (!isVisible()) return;
    if (platform::tickElapsed(lastTurn_, now) >= kWaitBarPeriodMs) Turn();
    repaint();
}

intptr_t CCommWaitDlg::handleMessage(const Message& msg) {
    if (msg.id == kMsgCommWaitText) {
        if (msg.w) {
            std::string text = *reinterpret_cast<std::string*>(msg.w);
            DisposeTextMessage(msg);
            ShowText(text, static_cast<int>(msg.l));
        } else {
            HideWait();
        }
        return 0;
    }
    if (msg.id == kMsgSkinPath && msg.w) {
        std::string path = *reinterpret_cast<std::string*>(msg.w);
        DisposeTextMessage(msg);
        LoadSkin(path);
        return 0;
    }
    return 0;
}

void CCommWaitDlg::onTimer(uint32_t id) {
    if (id == 100 && autoHideTimer_ == 100) {
        HideWait();
        KillTimer(100);
        autoHideTimer_ = 0;
    } else if (id == 1) {
        Turn();
        update();
    }
}

void CCommWaitDlg::showEvent(QShowEvent*) {
    lastTurn_ = platform::tickMs();
    paintedTurns_ = 0;
    lastPaintedTurn_ = turns_;
    SetTimer(1, kWaitBarPeriodMs);
}
void CCommWaitDlg::hideEvent(QHideEvent*) {
    KillTimer(1);
}

void CCommWaitDlg::paintEvent(QPaintEvent*) {
    if (turns_ != lastPaintedTurn_) {
        ++paintedTurns_;
        lastPaintedTurn_ = turns_;
    }
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    if (!background_.isNull())
        dc.StretchBlt(0, 0, width(), height(), background_, 0, 0, background_.width(),
                      background_.height());
    else
        dc.FillSolidRect(rect(), 0xF0F0F0);
    QRect textRect(12, 10, width() - 24, 30);
    dc.SetBkMode(true);
    dc.SetTextColor(0);
    dc.SelectFont(platform::ui::FontSpec{"宋体", -12, 400});
    dc.DrawText(text_, textRect,
                platform::ui::DT_CENTER | platform::ui::DT_VCENTER | platform::ui::DT_SINGLELINE);
    QRect bar(12, height() - 22, width() - 24, 10);
    dc.FillSolidRect(bar, barBg_);
    int seg = bar.width() / 6;
    for (int i = 0; i < 6; ++i) {
        int x = bar.x() + i * seg;
        int w = i == 5 ? bar.right() + 1 - x : seg;
        dc.FillSolidRect(QRect(x, bar.y(), w, bar.height()), colors_[i]);
    }
}

// ---- communication thread

CGameCommThread::CGameCommThread() : core_(std::make_shared<Core>()) {}

CGameCommThread::~CGameCommThread() {
    Stop(1000);
}

bool CGameCommThread::Start() {
    if (started_ || thread_.joinable()) return false;
    Core* core = core_.get();
    core->loop.setThreadHandler([core](const Message& m) { core->onThreadMessage(m); });
    // The thread holds the core too: let go after a late stop, it still has all it uses.
    try {
        thread_ = std::thread([keep = core_] {
            keep->loop.run();
            keep->ended.set();
        });
    } catch (const std::system_error& e) {
        netlib::YrnLogWrite("communication thread not started: %s", e.what());
        return false;
    }
    started_ = true;
    return true;
}

platform::Handle CGameCommThread::OpenSignWindow(CHallSignBroker* broker) {
    Core* core = core_.get();
    {
        std::lock_guard g(core->brokerLock);
        core->broker = broker;
    }
    core->signTarget =
        std::make_unique<platform::FunctionTarget>([core](const Message& m) -> intptr_t {
            if (m.id != platform::kCopyDataMessage || !m.l) return 0;
            const auto* cd = reinterpret_cast<const platform::CopyData*>(m.l);
            if (cd->kind != kHallSignAnswer) return 0;
            auto plain = DecryptHallData(cd->data, cd->size);
            if (!plain) return 0;
            auto answer = ParseHallSignAnswer(plain->data(), plain->size());
            if (!answer) return 0;
            std::lock_guard g(core->brokerLock);
            CHallSignBroker* b = core->broker;
            if (!b) return 0;
            if (!b->Answer(*answer))
                platform::diagf("sign answer %u for no waiting request", answer->requestId);
            return 1;
        });
    platform::Handle local = core->signTarget->attach(core->loop);
    signEndpoint_ = std::make_unique<platform::HallEndpoint>();
    if (!local || !signEndpoint_->open(local, local)) {
        signEndpoint_.reset();
        return 0;
    }
    return signEndpoint_->handle();
}

bool CGameCommThread::Stop(int waitMs) {
    if (signEndpoint_) signEndpoint_->close();
    if (!started_) {
        if (core_->signTarget) core_->signTarget->detach();
        return true;
    }
    started_ = false;
    Message end;
    end.id = kMsgCommEnd;
    if (!platform::postToThread(core_->loop.threadId(), end)) core_->loop.quit();
    bool ended = core_->ended.wait(waitMs);
    if (ended) {
        thread_.join();
        if (core_->signTarget) core_->signTarget->detach();
    } else {
        // The thread did not end in time. There is no safe way to kill a thread: it is let
        // go with the core it holds, and the sign answers no longer reach the broker.
        netlib::YrnLogWrite("communication thread did not end within %d ms: let go", waitMs);
        {
            std::lock_guard g(core_->brokerLock);
            core_->broker = nullptr;
        }
        thread_.detach();
        core_ = std::make_shared<Core>();
    }
    return ended;
}

platform::ThreadId CGameCommThread::threadId() const {
    return core_->loop.threadId();
}

void CGameCommThread::Core::onThreadMessage(const Message& msg) {
    switch (msg.id) {
        case kMsgCommSetTarget:
            target = static_cast<platform::Handle>(msg.w);
            break;
        case kMsgCommEnd:
            loop.quit();
            break;
        case netlib::kMsgSocketEvent: {
            platform::Handle to = target;
            if (to && platform::post(to, msg)) {
                ++relayed;
            } else {
                // Nobody to take it: this thread is the last owner of the blocks.
                netlib::YrnFreeSocketMessage(netlib::YrnEnvelopeOf(msg), netlib::YrnRecordOf(msg));
                ++dropped;
            }
            break;
        }
        case kMsgCommWaitText: {
            platform::Handle dialog = waitDialog;
            if (!dialog || !platform::post(dialog, msg)) {
                if (msg.w) DisposeTextMessage(msg);
            }
            break;
        }
        default:
            if (msg.dispose) msg.dispose(msg);
            break;
    }
}

}  // namespace hqlv::framework
