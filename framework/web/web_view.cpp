#include "framework/web/web_view.h"

#include <QCoreApplication>
#include <QWebEngineHttpRequest>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <algorithm>
#include <cstring>

#include "framework/web/host_filter.h"

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

CFixHtmlView::CFixHtmlView(QWidget* parent) : QWebEngineView(parent) {
    InstallRefusingSchemeHandlers(QWebEngineProfile::defaultProfile());
    setPage(new FilterPage(this));
}

CFixHtmlView::~CFixHtmlView() = default;

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
    load(req);
}

int CFixHtmlView::IsUrlAllowed(const std::string& url) {
    return web::IsUrlAllowed(url, hostListFile_) ? 1 : 0;
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

CHallHtmlCtrl::CHallHtmlCtrl(QWidget* parent, LinkHost& host) : CHtmlCtrl(parent), host_(host) {}

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
    page()->runJavaScript(
        "(function(t){for (const a of Array.from(document.links))"
        " if (a.innerText === t) a.click();})(" +
        JsString(text) + ")");
}

CAdvertHtmlCtrl::CAdvertHtmlCtrl(QWidget* parent, LinkHost& host) : CHallHtmlCtrl(parent, host) {
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (!ok)
            OnNavigateError();
        else
            OnDocumentComplete(url().toString().toStdString());
    });
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
