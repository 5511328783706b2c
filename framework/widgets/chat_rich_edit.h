#pragma once
// The chat display: a read-only rich text control that renders chat markup. Each piece
// goes at the end with its own character format; faces go in as pictures of the
// document (they scroll, select and clear with the text); links are anchors keyed by
// their shown text. The view always ends at the last line after an append, and only the
// newest lines are kept, so a flooding peer cannot grow the document without bound.
#include <QTextEdit>

#include <functional>
#include <map>
#include <string>

#include "framework/widgets/chat_markup.h"

namespace hqlv::framework {

// The twips a run asked for, kept on its character format (the font gets points).
inline constexpr int kChatTwipsProperty = 0x100010;

class CChatRichEdit : public QTextEdit {
public:
    explicit CChatRichEdit(QWidget* parent = nullptr);

    void SetFaceFolder(const std::string& folder);  // ends with '/'
    const std::string& faceFolder() const { return faceFolder_; }
    void SetLinkEnabled(bool on) { linkEnabled_ = on; }
    bool linkEnabled() const { return linkEnabled_; }
    void SetAutoUrlDetect(bool on) { autoUrl_ = on; }
    void SetSizeCap(int cap) { sizeCap_ = cap; }
    int sizeCap() const { return sizeCap_; }
    void SetDefaultFont();
    void SetMaxLines(int lines) { maxLines_ = lines; }

    void AppendTaggedText(const std::string& utf8Markup);
    void AppendPiece(const ChatPiece& piece);
    // Inserts face picture n at the end; false (nothing inserted) when it cannot be read.
    bool InsertFace(int n);
    // The target of a link by its shown text; `pass` gets its pass-identity flag. A text
    // that is no link gives an empty target and pass 0.
    std::string FindLink(const std::string& shownText, int* pass) const;
    // Clears the text; the links stay known.
    void ClearText();

    // Called with the shown text of a clicked link (the view posts it on as 0x85B8).
    std::function<void(const std::string&)> onLinkClicked;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void InsertRun(const std::string& text, const QTextCharFormat& format, bool link);
    void TrimLines();

    int sizeCap_ = kChatDefaultSizeCap;
    bool linkEnabled_ = true;
    bool autoUrl_ = false;
    int maxLines_ = 500;
    std::string faceFolder_;
    std::map<std::string, ChatCharFormat> links_;
};

}  // namespace hqlv::framework
