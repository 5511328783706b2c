#pragma once
// The embedded browser of the panes and dialogs: CFixHtmlView (allowed-host filter and
// navigation with POST data) → CHtmlCtrl (takes the place of a placeholder child) →
// CHallHtmlCtrl (hands the platform's link schemes to the hall link handler) →
// CAdvertHtmlCtrl (tracks whether its page loaded). Every navigation, the program's own
// loads and sub-frames included, passes the before-navigate step; pages get no new
// windows, so nothing leaves the filter that way.
#include <QEvent>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/web/link_handler.h"

class QWebEngineProfile;

namespace hqlv::framework::web {

// Before the QApplication exists: the platform's schemes ("kvoold", "kvonew", "kvoapp")
// become known to the engine, so their links reach the before-navigate step.
void RegisterLinkSchemes();
// Before the QApplication exists: how the browser engine will run once a page needs it.
// Pages are drawn in software, so a web view never turns its window's composition over to
// OpenGL (every repaint of the table would go through it, in software where there is no
// GPU, and where X offers no OpenGL at all the window could not be shown); all the panes
// share one renderer process; without a sandbox no zygote processes start. Returns what
// was decided, for the log.
std::string PrepareBrowserEngine();
// What PrepareBrowserEngine decided (empty before it ran).
const std::string& BrowserEngineMode();
// After it exists: a handler for each scheme that refuses every load (the hall link
// handler, not the engine, carries such links out).
void InstallRefusingSchemeHandlers(QWebEngineProfile* profile);

// The placeholder id of a child built in code (what a dialog item id is in a template).
void SetItemId(QWidget* w, int id);
int ItemId(const QWidget* w);
QWidget* FindItem(QWidget* parent, int id);

// The browser engine starts with the first page a view navigates to: a view that has shown
// nothing holds no page and costs the process nothing of the engine.
class CFixHtmlView : public QWebEngineView {
public:
    explicit CFixHtmlView(QWidget* parent = nullptr);
    ~CFixHtmlView() override;

    // Headers are "Name: value" lines; post data of length 0 is taken as a C string. The
    // engine loads into the main frame only: the frame name is not used. Nor are the flags:
    // the engine has no navigation flags (new window, no history, no cache read), and every
    // caller navigates with 0.
    void NavigateWithPost(const std::string& url, int flags, const std::string& frame,
                          const std::string& headers, const char* post, size_t postLength);
    void SetHostListFile(const std::string& name) { hostListFile_ = name; }
    const std::string& hostListFile() const { return hostListFile_; }
    void EnableHostFilter(int on) { filter_ = on; }
    int hostFilter() const { return filter_; }

    // 1 when the filter lets the address through: "javascript:" addresses always, others
    // by their host against the list, which is loaded afresh for every check.
    virtual int IsUrlAllowed(const std::string& url);
    // Appends the names of the host-list file to `hosts`; the number of names then in the
    // list, 0 when the file cannot be opened.
    virtual int LoadAllowedHosts(std::vector<std::string>& hosts);
    // True cancels the navigation.
    virtual bool OnBeforeNavigate2(const std::string& url, bool mainFrame);
    // Whether this view has made its page (and so the engine runs).
    bool HasPage() const { return filterPage_ != nullptr; }

protected:
    // The filtering page, made (and the engine started) on first need.
    QWebEnginePage* EnsurePage();
    // The engine's view makes a page of its own for these when it has none, unfiltered and
    // starting the engine: without a page they are a plain widget's.
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // The engine's view hands these to its page and has none to hand them to before the
    // first page (a drag over a view that shows nothing ended the client): without a page
    // they are a plain widget's, which takes no drop.
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    // The page is the engine's object behind the view. It is held as the view's Qt child,
    // not through a holder of a component interface with a release of its own: there is no
    // such component model here, and the page goes with its view (and with the pane or
    // dialog the view is a child of), so no pane carries a holder to release.
    QWebEnginePage* filterPage_ = nullptr;
    int filter_ = 0;
    std::string hostListFile_;
};

class CHtmlCtrl : public CFixHtmlView {
public:
    using CFixHtmlView::CFixHtmlView;
    // Takes the place (geometry and id) of the parent's child with that id, which goes;
    // false, and nothing made, when the parent has none.
    bool CreateFromStatic(int id, QWidget* parent);
};

class CHallHtmlCtrl : public CHtmlCtrl, public LinkOwner {
public:
    explicit CHallHtmlCtrl(QWidget* parent = nullptr, LinkHost& host = AppLinkHost());
    void SetPostToParent(int on) { postToParent_ = on; }
    // Clicks every link of the page whose text equals `text`.
    void ClickLinkByText(const std::string& text);
    bool OnBeforeNavigate2(const std::string& url, bool mainFrame) override;

    bool PostLink(std::unique_ptr<CHallLinkHandler> handler) override;
    void NavigateTo(const std::string& url) override;
    // The browser's navigate-error event (the address, the frame and the status code); true
    // asks for the event to be cancelled. Nothing here. The engine has ended the load by the
    // time it tells of the error and reports no status code (0 then).
    virtual bool OnNavigateErrorEvent(const std::string& url, const std::string& frame, int status);

protected:
    bool event(QEvent* e) override;
    LinkHost& host_;
    int postToParent_ = 0;
};

class CAdvertHtmlCtrl : public CHallHtmlCtrl {
public:
    explicit CAdvertHtmlCtrl(QWidget* parent = nullptr, LinkHost& host = AppLinkHost());
    bool OnBeforeNavigate2(const std::string& url, bool mainFrame) override;
    // Cancels when OnNavigateError asks for it (it never does).
    bool OnNavigateErrorEvent(const std::string& url, const std::string& frame,
                              int status) override;
    // A page that could not load: the failed flag is set and the event goes on (cancel 0).
    void OnNavigateError(const std::string& url, const std::string& frame, int status, int& cancel);
    void OnDocumentComplete(const std::string& url);
    int failed() const { return failed_; }
    int loaded() const { return loaded_; }

private:
    int failed_ = 0;
    int loaded_ = 0;
};

// The message 0x85B9: it owns the handler it carries.
class HallLinkEvent : public QEvent {
public:
    static QEvent::Type kind();
    explicit HallLinkEvent(std::unique_ptr<CHallLinkHandler> h)
        : QEvent(kind()), handler(std::move(h)) {}
    std::unique_ptr<CHallLinkHandler> handler;
};

}  // namespace hqlv::framework::web
