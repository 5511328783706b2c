#pragma once
// CAdvertBetView: the info pane of the mahjong layer's default layout. Two tabs drawn by
// the pane itself ("Vellor", the advert page; "战绩榜", the deal results of the seated
// players), which the mouse switches by passing over them; a pass over the results tab
// also starts the return to the page after a few seconds, a limited number of times.
#include <QFont>
#include <QPoint>
#include <QRect>

#include <array>
#include <string>
#include <vector>

#include "framework/panes/form_view.h"
#include "mahjong/app/mj_hooks.h"
#include "mahjong/panes/advert_bet.h"

namespace hqlv::framework {
class CSortListCtrl;
struct PlayerRecord;
namespace web {
class CHtmlCtrl;
}
}  // namespace hqlv::framework

namespace hqlv::mahjong {

inline constexpr uint32_t kAdvertReturnTimer = 1;
inline constexpr uint32_t kAdvertBetBack = 0x293E08;
inline constexpr uint32_t kAdvertTabSelDefault = 0x78AC54;
inline constexpr uint32_t kAdvertTabUnSelDefault = 0x437401;
inline constexpr const char* kAdvertResultColumns = "用户名|100|0|总成绩|75|2|";
// The result list's extended style: grid lines and full-row select.
inline constexpr uint32_t kAdvertListStyle = 33;

// A tab colour: the game setting, else the skin's "CommColors" value, else the default.
uint32_t AdvertTabColour(uint32_t setting, uint32_t skinValue, uint32_t fallback);
// The results tab stays away only with option bit 0x8 of field 13 for a player.
bool AdvertResultsTabShown(bool optionBit8, bool watcher);
// Tab i of n over a strip of `width` by `height`: five points, the slanted sides half the
// height wide.
std::array<QPoint, 5> AdvertTabPolygon(int i, int n, int width, int height);

class CAdvertBetView : public framework::CGameFormView, public CMJScoreHooks {
public:
    explicit CAdvertBetView(QWidget* parent = nullptr);
    ~CAdvertBetView() override;

    // Fonts, tabs, return time, switches and tab colours from the game's settings file
    // (the application's unless named).
    void LoadSettings();
    void LoadSettings(const std::string& gameIni);

    // CMJScoreHooks: the router's text (0x85BA) is an address for the page here.
    bool PostScoreBoardText(const std::string& text) override;
    bool IsAdvertBetView() override { return true; }
    void OnDealResultEntry(MJData) override { RebuildResults(); }
    void OnSeatTaken(const framework::PlayerRecord& r) override { OnPlayerAdded(r); }
    void OnSeatLeft(const framework::PlayerRecord& r) override;
    // The rows follow the seated records again; a player still on the same chair keeps
    // his deals and total.
    void OnSeatsReload() override;

    // The results anew: totals and deal columns cleared, a row per seated record.
    void RebuildResults();
    void OnPlayerAdded(const framework::PlayerRecord& r);
    void OnPlayerRemoved(int userId);
    // A deal result record (211080): the deal's changes in score or silver.
    void OnDealResult(MJData result) override;

    // The mouse at a point of the pane.
    void OnMouseAt(const QPoint& p);
    void onTimer(uint32_t id) override;

    int currentTab() const { return current_; }
    int tabCount() const { return int(labels_.size()); }
    const std::vector<std::string>& tabLabels() const { return labels_; }
    int returnSeconds() const { return seconds_; }
    int switchesLeft() const { return switches_.left(); }
    bool returnTimerRunning() const { return timerRunning_; }
    uint32_t selectedColour() const { return selColour_; }
    uint32_t unselectedColour() const { return unselColour_; }
    const AdvertBetResults& results() const { return results_; }
    framework::CSortListCtrl* list() const { return list_; }
    QWidget* page() const { return page_; }
    const std::string& pageUrl() const { return url_; }
    // Whether the mouse is over the pane (the timer asks; the cursor's place unless set).
    std::function<bool()> mouseOverPane;

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void Navigate(const platform::Message& msg);
    void FillList();
    void ShowCurrent();
    void StartReturnTimer();

    framework::CSortListCtrl* list_ = nullptr;
    framework::web::CHtmlCtrl* browser_ = nullptr;
    QWidget* page_ = nullptr;
    QFont font_, bold_;
    std::vector<std::string> labels_;
    int current_ = 1;
    int tabHeight_ = 20;
    int seconds_ = 5;
    AdvertAutoSwitch switches_;
    bool timerRunning_ = false;
    uint32_t selColour_ = kAdvertTabSelDefault;
    uint32_t unselColour_ = kAdvertTabUnSelDefault;
    AdvertBetResults results_;
    std::string url_;
};

}  // namespace hqlv::mahjong
