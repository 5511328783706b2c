#include "framework/web/web_view.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWebEngineHttpRequest>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/web/host_filter.h"
#include "platform/core/diag.h"

namespace hqlv::framework::web {
namespace {

constexpr const char* kSchemes[] = {"kvoold", "kvonew", "kvoapp"};

class RefusingSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

// The page asks its view before each navigation; it opens no windows.
class FilterPage : public QWebEnginePage {
public:
    FilterPage(CFixHtmlView* view) : QWebEnginePage(view), view_(view) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return !view_->OnBeforeNavigate2(url.toString().toStdString(), isMainFrame);
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

private:
    CFixHtmlView* view_;
};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return s;
}

// A JavaScript string literal of any text.
QString JsString(const std::string& text) {
    QString in = QString::fromUtf8(text.data(), qsizetype(text.size()));
    QString out = "\"";
    for (QChar c : in) {
        if (c.unicode() < 0x20 || c == '"' || c == '\\' || c.unicode() > 0x7E)
            out += QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
        else
            out += c;
    }
    return out + "\"";
}

}  // namespace

void RegisterLinkSchemes() {
    for (const char* name : kSchemes) {
        if (QWebEngineUrlScheme::schemeByName(name).name() == name) continue;
        // Path syntax: the engine hands the link on as written, without a host part of its
        // own making ("kvoapp://changeclothing" must not gain the '/' of the command).
        QWebEngineUrlScheme s(name);
        s.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        QWebEngineUrlScheme::registerScheme(s);
    }
}

namespace {

std::string& Mode() {
    static std::string mode;
    return mode;
}

bool HasFlag(const std::string& flags, const std::string& flag) {
    for (size_t at = flags.find(flag); at != std::string::npos; at = flags.find(flag, at + 1)) {
        const size_t end = at + flag.size();
        if ((at == 0 || flags[at - 1] == ' ') &&
            (end == flags.size() || flags[end] == ' ' || flags[end] == '='))
            return true;
    }
    return false;
}

}  // namespace

std::string PrepareBrowserEngine() {
    // Drawn in software, a page's view paints into the window's own raster surface like any
    // other widget; the engine then also leaves the GPU out (it draws the page with its
    // software compositor).
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    std::string mode = "pages drawn in software";
    // Nothing in the process draws with OpenGL then, but the engine still asks the toolkit
    // whether OpenGL may run on several threads, and on X the toolkit makes a context to find
    // out: the driver stays loaded (in software, 60 MB and a thread per core). Without
    // OpenGL on X nothing is asked.
    if (const char* gl = std::getenv("QT_XCB_GL_INTEGRATION"); !gl || !*gl) {
        setenv("QT_XCB_GL_INTEGRATION", "none", 1);
        mode += ", no OpenGL";
    } else if (std::strcmp(gl, "none") == 0) {
        mode += ", no OpenGL (QT_XCB_GL_INTEGRATION=none)";
    }
    // The engine will not run its sandbox as root.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string flags = given ? given : "";
    // A flag the user gave stays as given.
    auto add = [&flags](const std::string& flag, const std::string& value = {}) {
        if (HasFlag(flags, flag)) return false;
        flags += (flags.empty() ? "" : " ") + flag + value;
        return true;
    };
    // Every pane and dialog shares one renderer process.
    if (add("--renderer-process-limit", "=1")) mode += ", one renderer process";
    // The zygote processes exist to start sandboxed renderers; without the sandbox the
    // renderer starts on its own.
    const char* noSandbox = std::getenv("QTWEBENGINE_DISABLE_SANDBOX");
    if ((noSandbox && *noSandbox && std::strcmp(noSandbox, "0") != 0) ||
        HasFlag(flags, "--no-sandbox")) {
        add("--no-zygote");
        mode += ", no sandbox and no zygote";
    }
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    Mode() = mode;
    return mode;
}

const std::string& BrowserEngineMode() {
    return Mode();
}

void InstallRefusingSchemeHandlers(QWebEngineProfile* profile) {
    for (const char* name : kSchemes) {
        if (profile->urlSchemeHandler(name)) continue;
        profile->installUrlSchemeHandler(name, new RefusingSchemeHandler(profile));
    }
}

void SetItemId(QWidget* w, int id) {
    w->setProperty("hqlvItemId", id);
}

int ItemId(const QWidget* w) {
    return w->property("hqlvItemId").toInt();
}

QWidget* FindItem(QWidget* parent, int id) {
    if (!parent) return nullptr;
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (ItemId(w) == id) return w;
    return nullptr;
}

CFixHtmlView::CFixHtmlView(QWidget* parent) : QWebEngineView(parent) {}

CFixHtmlView::~CFixHtmlView() = default;

QWebEnginePage* CFixHtmlView::EnsurePage() {
    if (filterPage_) return filterPage_;
    // The default profile starts the engine: the first view to get here says so.
    static const bool told = [] {
        platform::diagf(
            "web page: the browser engine starts (%s)",
            BrowserEngineMode().empty() ? "as the toolkit decides" : BrowserEngineMode().c_str());
        return true;
    }();
    (void)told;
    InstallRefusingSchemeHandlers(QWebEngineProfile::defaultProfile());
    filterPage_ = new FilterPage(this);
    setPage(filterPage_);
    return filterPage_;
}

void CFixHtmlView::showEvent(QShowEvent* e) {
    if (filterPage_)
        QWebEngineView::showEvent(e);
    else
        QWidget::showEvent(e);
}

void CFixHtmlView::hideEvent(QHideEvent* e) {
    if (filterPage_)
        QWebEngineView::hideEvent(e);
    else
        QWidget::hideEvent(e);
}

void CFixHtmlView::closeEvent(QCloseEvent* e) {
    if (filterPage_)
        QWebEngineView::closeEvent(e);
    else
        QWidget::closeEvent(e);
}

void CFixHtmlView::contextMenuEvent(QContextMenuEvent* e) {
    if (filterPage_)
        QWebEngineView::contextMenuEvent(e);
    else
        QWidget::contextMenuEvent(e);
}

void CFixHtmlView::dragEnterEvent(QDragEnterEvent* e) {
    if (filterPage_)
        QWebEngineView::dragEnterEvent(e);
    else
        e->ignore();
}

void CFixHtmlView::dragMoveEvent(QDragMoveEvent* e) {
    if (filterPage_)
        QWebEngineView::dragMoveEvent(e);
    else
        e->ignore();
}

void CFixHtmlView::dragLeaveEvent(QDragLeaveEvent* e) {
    if (filterPage_)
        QWebEngineView::dragLeaveEvent(e);
    else
        QWidget::dragLeaveEvent(e);
}

void CFixHtmlView::dropEvent(QDropEvent* e) {
    if (filterPage_)
        QWebEngineView::dropEvent(e);
    else
        e->ignore();
}

void CFixHtmlView::NavigateWithPost(const std::string& url, int /*flags*/,
                                    const std::string& /*frame*/, const std::string& headers,
                                    const char* post, size_t postLength) {
    QWebEngineHttpRequest req(QUrl(QString::fromStdString(url)));
    size_t at = 0;
    while (at < headers.size()) {
        size_t end = headers.find('\n', at);
        std::string line = headers.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? headers.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        size_t v = line.find_first_not_of(' ', colon + 1);
        req.setHeader(QByteArray::fromStdString(line.substr(0, colon)),
                      QByteArray::fromStdString(v == std::string::npos ? "" : line.substr(v)));
    }
    if (post) {
        req.setMethod(QWebEngineHttpRequest::Post);
        req.setPostData(QByteArray(post, qsizetype(postLength ? postLength : std::strlen(post))));
    }
    EnsurePage()->load(req);
}

int CFixHtmlView::IsUrlAllowed(const std::string& url) {
    if (url.empty()) return 0;
    if (IsScriptUrl(url)) return 1;
    std::vector<std::string> hosts;
    if (LoadAllowedHosts(hosts) == 0) return 0;
    return IsHostAllowed(url, hosts) ? 1 : 0;
}

int CFixHtmlView::LoadAllowedHosts(std::vector<std::string>& hosts) {
    return web::LoadAllowedHosts(hostListFile_, hosts, HostListKey());
}

bool CFixHtmlView::OnBeforeNavigate2(const std::string& url, bool /*mainFrame*/) {
    return filter_ == 1 && !IsUrlAllowed(url);
}

bool CHtmlCtrl::CreateFromStatic(int id, QWidget* parent) {
    QWidget* placeholder = FindItem(parent, id);
    if (!placeholder) return false;
    QRect r = placeholder->geometry();
    delete placeholder;
    setParent(parent);
    setGeometry(r);
    SetItemId(this, id);
    show();
    return true;
}

CHallHtmlCtrl::CHallHtmlCtrl(QWidget* parent, LinkHost& host) : CHtmlCtrl(parent), host_(host) {
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (!ok) OnNavigateErrorEvent(url().toString().toStdString(), std::string(), 0);
    });
}

bool CHallHtmlCtrl::OnNavigateErrorEvent(const std::string&, const std::string&, int) {
    return false;
}

bool CHallHtmlCtrl::OnBeforeNavigate2(const std::string& url, bool mainFrame) {
    auto handler = std::make_unique<CHallLinkHandler>(this, url, host_);
    if (!CHallLinkHandler::Handle(handler)) return CFixHtmlView::OnBeforeNavigate2(url, mainFrame);
    if (handler && postToParent_ == 1 && handler->IsMemberClose() && parentWidget())
        QCoreApplication::postEvent(parentWidget(), new HallLinkEvent(std::move(handler)));
    return true;
}

bool CHallHtmlCtrl::PostLink(std::unique_ptr<CHallLinkHandler> handler) {
    QCoreApplication::postEvent(this, new HallLinkEvent(std::move(handler)));
    return true;
}

void CHallHtmlCtrl::NavigateTo(const std::string& url) {
    NavigateWithPost(url, 0, {}, {}, nullptr, 0);
}

bool CHallHtmlCtrl::event(QEvent* e) {
    if (e->type() == HallLinkEvent::kind()) {
        auto* link = static_cast<HallLinkEvent*>(e);
        if (link->handler) link->handler->Open();
        link->handler.reset();
        return true;
    }
    return CHtmlCtrl::event(e);
}

void CHallHtmlCtrl::ClickLinkByText(const std::string& text) {
    if (!HasPage()) return;  // nothing shown, no links
    EnsurePage()->runJavaScript(
        "(function(t){for (const a of Array.from(document.links))"
        " if (a.innerText === t) a.click();})(" +
        JsString(text) + ")");
}

CAdvertHtmlCtrl::CAdvertHtmlCtrl(QWidget* parent, LinkHost& host) : CHallHtmlCtrl(parent, host) {
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok) OnDocumentComplete(url().toString().toStdString());
    });
}

bool CAdvertHtmlCtrl::OnNavigateErrorEvent(const std::string& url, const std::string& frame,
                                           int status) {
    int cancel = 0;
    OnNavigateError(url, frame, status, cancel);
    return cancel > 0;
}

void CAdvertHtmlCtrl::OnNavigateError(const std::string&, const std::string&, int, int& cancel) {
    failed_ = 1;
    cancel = 0;
}

bool CAdvertHtmlCtrl::OnBeforeNavigate2(const std::string& url, bool mainFrame) {
    auto handler = std::make_unique<CHallLinkHandler>(this, url, host_);
    if (CHallLinkHandler::Handle(handler)) return true;
    if (Lower(url).find("navcancl.") != std::string::npos) failed_ = 1;
    return CFixHtmlView::OnBeforeNavigate2(url, mainFrame);
}

void CAdvertHtmlCtrl::OnDocumentComplete(const std::string& url) {
    if (!url.empty() && Lower(url).find("about:blank") == std::string::npos && failed_ == 0)
        loaded_ = 1;
}

QEvent::Type HallLinkEvent::kind() {
    static const int t = QEvent::registerEventType();
    return QEvent::Type(t);
}

}  // namespace hqlv::framework::web
