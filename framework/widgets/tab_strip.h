#pragma once
// The strip of slanted tabs as a widget: everything is drawn into one picture and copied
// in one piece (a vertical strip is drawn lying and turned a quarter turn); mouse input
// goes through the model's hit codes; the parent hears of everything through the
// notification record. A tab's label is edited in place in a loop of its own.
#include <QFont>
#include <QWidget>

#include <functional>
#include <memory>

#include "framework/widgets/tab_strip_model.h"

class QLineEdit;
class QTimer;

namespace hqlv::framework {

class CCustomTabCtrl : public QWidget {
public:
    explicit CCustomTabCtrl(QWidget* parent = nullptr);
    ~CCustomTabCtrl() override;

    TabStripModel& model() { return *model_; }
    void ModifyStyle(uint32_t remove, uint32_t add);
    int InsertItem(int index, const std::string& label, uint32_t data);
    int SetCurSel(int index);
    // Starts editing the current tab's label; returns when editing has ended (0) or with
    // a failure code.
    int EditLabel(int index, bool fromMouse);
    QLineEdit* editor() const { return editor_; }
    // The strip as it is drawn before the turn of a vertical strip.
    QImage RenderStrip() const;
    // A window point in the strip frame.
    TabPoint ToStrip(const QPoint& p) const;

    // The clock the auto-repeat looks at (milliseconds); the steady clock unless set.
    std::function<int64_t()> clock;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool vertical() const { return model_->style() & kTabVertical; }
    int64_t Now() const;
    void Press(const QPoint& p, bool ctrl);
    // Ends the edit with the editor's text unless the parent refuses; true when ended.
    bool CommitEdit();
    void CloseEditor();
    void PlaceEditor();

    std::unique_ptr<TabStripModel> model_;
    QFont normal_, bold_;
    QTimer* repeat_ = nullptr;
    QLineEdit* editor_ = nullptr;
    int editing_ = -1;
    std::string savedLabel_;
    bool editDone_ = false;
};

}  // namespace hqlv::framework
