#include "framework/widgets/chat_rich_edit.h"

#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "platform/core/files.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework {

CChatRichEdit::CChatRichEdit(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setMouseTracking(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
}

void CChatRichEdit::SetFaceFolder(const std::string& folder) {
    faceFolder_ = folder;
    if (!faceFolder_.empty() && faceFolder_.back() != '/') faceFolder_ += '/';
}

void CChatRichEdit::SetDefaultFont() {
    platform::ui::FontSpec spec;
    spec.face = kChatDefaultFace;
    spec.height = -12;
    setFont(platform::ui::MakeFont(spec));
}

void CChatRichEdit::AppendTaggedText(const std::string& utf8Markup) {
    for (const ChatPiece& piece : SplitChatMarkup(utf8Markup, sizeCap_, linkEnabled_))
        AppendPiece(piece);
    TrimLines();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CChatRichEdit::AppendPiece(const ChatPiece& piece) {
    const ChatCharFormat& f = piece.format;
    QTextCharFormat format;
    if (f.tagged) {
        QFont font =
            platform::ui::MakeFont({f.face, -12, f.bold ? 700 : 400, f.italic, f.underline, 134});
        format.setFont(font);
        format.setFontPointSize(f.height > 0 ? f.height / 20.0 : 0.05);
        format.setProperty(kChatTwipsProperty, f.height);
        format.setForeground(platform::ui::ToQColor(f.color));
        format.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(f.italic);
        format.setFontUnderline(f.underline);
        if (f.faceNumber >= 0) InsertFace(f.faceNumber);
    } else {
        format.setFont(font());
        format.setProperty(kChatTwipsProperty, kChatDefaultHeight);
        format.setForeground(QColor(0, 0, 0));
    }
    if (piece.text.empty()) return;
    if (f.link) {
        // A later link with the same shown text replaces the earlier one.
        links_[piece.text] = f;
        InsertRun(piece.text, format, true);
        return;
    }
    if (!autoUrl_) {
        InsertRun(piece.text, format, false);
        return;
    }
    size_t at = 0;
    for (auto [start, len] : FindUrls(piece.text)) {
        InsertRun(piece.text.substr(at, start - at), format, false);
        InsertRun(piece.text.substr(start, len), format, true);
        at = start + len;
    }
    InsertRun(piece.text.substr(at), format, false);
}

void CChatRichEdit::InsertRun(const std::string& text, const QTextCharFormat& format, bool link) {
    if (text.empty()) return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat f = format;
    if (link) {
        f.setAnchor(true);
        f.setAnchorHref(QString::fromStdString(text));
        f.setFontUnderline(true);
    }
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    cursor.insertText(s, f);
}

bool CChatRichEdit::InsertFace(int n) {
    std::string path = faceFolder_ + std::to_string(n) + ".bmp";
    if (faceFolder_.empty() || path.size() > 260 || !platform::pathExists(path, false))
        return false;
    // One picture per face number in the document: trimming old lines does not free the
    // pictures they showed, so a flood of faces must not add a picture per use.
    const QString name = QStringLiteral("face:%1").arg(n);
    const QUrl url(name);
    QImage image = document()->resource(QTextDocument::ImageResource, url).value<QImage>();
    if (image.isNull()) {
        std::optional<QImage> loaded = platform::ui::LoadBitmapFile(path);
        if (!loaded || loaded->isNull()) return false;
        image = *loaded;
        document()->addResource(QTextDocument::ImageResource, url, image);
    }
    QTextImageFormat img;
    img.setName(name);
    img.setWidth(image.width());
    img.setHeight(image.height());
    img.setProperty(kChatTwipsProperty, n);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertImage(img);
    return true;
}

std::string CChatRichEdit::FindLink(const std::string& shownText, int* pass) const {
    auto it = links_.find(shownText);
    if (it == links_.end()) {
        // An address that was only detected in the text gets no identity.
        if (pass) *pass = 0;
        return {};
    }
    if (pass) *pass = it->second.passIdentity;
    return it->second.linkTarget;
}

void CChatRichEdit::ClearText() {
    clear();
}

void CChatRichEdit::TrimLines() {
    QTextDocument* doc = document();
    int extra = doc->blockCount() - maxLines_;
    if (maxLines_ <= 0 || extra <= 0) return;
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, extra);
    cursor.removeSelectedText();
}

void CChatRichEdit::mousePressEvent(QMouseEvent* e) {
    QString anchor = anchorAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && !anchor.isEmpty()) {
        if (onLinkClicked) onLinkClicked(anchor.toStdString());
        e->accept();
        return;
    }
    QTextEdit::mousePressEvent(e);
}

void CChatRichEdit::mouseMoveEvent(QMouseEvent* e) {
    bool overLink = !anchorAt(e->position().toPoint()).isEmpty();
    viewport()->setCursor(overLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    QTextEdit::mouseMoveEvent(e);
}

}  // namespace hqlv::framework
