#pragma once
// The safe-box dialogs, built in code: the safe box (its web page, the amount, take and
// save), the save and take dialogs, the six fixed amounts, and the two answers to the
// protection challenge: the soft keypad with shuffled digits and the verification code
// with its picture. Requests, boxes and settings go through SafeBoxOps.
#include <QDialog>
#include <QImage>
#include <QLineEdit>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/web/safebox_flow.h"
#include "framework/web/safebox_model.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace hqlv::framework {
class CHyperLinkStatic;
}

namespace hqlv::framework::web {

class CHallHtmlCtrl;

// Every dialog here but the soft keypad hands its background to the skin layer
// (SetDialogEraseBkgnd with 1) as it is built.

// The height of an item of the save and take dialogs' amount lists.
inline constexpr int kAmountItemHeight = 16;

// The program's own picture `id` (LoadProgramBitmap). When the file is missing or cannot be
// read, the log says so and `drawn` stands in, so that an install that lost the file still
// shows a usable item.
QImage ProgramPicture(int id, const std::function<QImage()>& drawn);

// Picture 229, the verification code's shield, as drawn when its file is missing.
QImage DrawnShieldImage();

// Which dialog templates the program carries (all of 170-175 unless a test says not).
bool HasDialogTemplate(int id);
void SetDialogTemplate(int id, bool present);

// An edit whose text other programs cannot read: accessibility gets nothing until the
// owner has read it, and there is no copy, cut or drag.
class CProtectedEdit : public QLineEdit {
public:
    explicit CProtectedEdit(QWidget* parent = nullptr);
    void SetReadable(bool on) { readable_ = on; }
    bool readable() const { return readable_; }

    // Input methods run as programs of their own: they get no text around the caret
    // either until the owner has read it.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    bool readable_ = false;
};

class CSoftKeypadDlg : public QDialog {
public:
    explicit CSoftKeypadDlg(QWidget* parent = nullptr, unsigned seed = 0);
    void SetChallenge(int32_t value) { challenge_ = value; }
    int32_t GetResponse() const { return response_; }
    KeypadModel& model() { return model_; }
    QPushButton* button(int id) const;  // 230..241
    QString echoText() const;
    void OnOK();

private:
    void Refresh();
    KeypadModel model_;
    std::array<QPushButton*, 12> buttons_{};
    QLineEdit* echo_ = nullptr;
    int32_t challenge_ = 0;
    int32_t response_ = 0;
};

// Eleven 14 x 18 one-bit glyphs, two bytes a row: 0 the separator, 1..10 the digits.
using Glyph = std::array<uint8_t, 36>;
const std::array<Glyph, 11>& CodeGlyphs();

class CVerifyCodeDlg : public QDialog {
public:
    explicit CVerifyCodeDlg(SafeBoxOps& ops, QWidget* parent = nullptr);
    void SetChallenge(int32_t value) { challenge_ = value; }
    int32_t GetResponse() const { return response_; }
    CProtectedEdit* edit() const { return edit_; }
    CHyperLinkStatic* link() const { return link_; }
    void OnOK();
    // The code picture as painted (for tests and the screenshot).
    QImage RenderCode() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    SafeBoxOps& ops_;
    CProtectedEdit* edit_ = nullptr;
    CHyperLinkStatic* link_ = nullptr;
    QWidget* anchor_ = nullptr;
    int32_t challenge_ = 0;
    int32_t response_ = 0;
};

// The save (171) and take (172) dialogs share their build and their history.
class CDepositDlg : public QDialog {
public:
    CDepositDlg(SafeBoxOps& ops, bool save, QWidget* parent);
    void SetCaption(const std::string& caption);
    QComboBox* combo() const { return combo_; }
    const std::vector<int32_t>& history() const { return history_; }
    virtual void OnOK() = 0;

protected:
    int32_t TypedAmount() const;
    void AddHistory(int32_t amount);
    SafeBoxOps& ops_;
    std::string caption_;
    QComboBox* combo_ = nullptr;
    QLabel* captionLabel_ = nullptr;
    std::vector<int32_t> history_;
    const char* key_;
};

class CDepositSaveDlg : public CDepositDlg {
public:
    explicit CDepositSaveDlg(SafeBoxOps& ops, QWidget* parent = nullptr)
        : CDepositDlg(ops, true, parent) {}
    void OnOK() override;
};

class CDepositTakeDlg : public CDepositDlg {
public:
    explicit CDepositTakeDlg(SafeBoxOps& ops, QWidget* parent = nullptr)
        : CDepositDlg(ops, false, parent) {}
    void OnOK() override;
};

class CFixDepositDlg : public QDialog {
public:
    explicit CFixDepositDlg(SafeBoxOps& ops, QWidget* parent = nullptr);
    void SetAmounts(const std::array<int32_t, 6>& amounts);
    QLineEdit* box(int i) const { return edits_[size_t(i)]; }
    const std::array<int32_t, 6>& amounts() const { return amounts_; }
    void OnOK();

private:
    SafeBoxOps& ops_;
    std::array<QLineEdit*, 6> edits_{};
    std::array<int32_t, 6> amounts_{};
};

class CSafeBoxDlg : public QDialog {
public:
    CSafeBoxDlg(SafeBoxOps& ops, QWidget* parent = nullptr);
    void SetCaption(const std::string& caption) { caption_ = caption; }
    void SetAmount(int32_t amount);
    // The browser in place of item 180, filtered by the allowed-host list, on the safe
    // box's page (both from the ops). Done when the dialog first shows; once.
    void OnInitDialog();
    CHallHtmlCtrl* browser() const { return browser_; }
    QLabel* amountLabel() const { return amount_; }
    // Commands 220 and 221: run the take or save dialog; OK there closes this one.
    void OnTake();
    void OnSave();

protected:
    void showEvent(QShowEvent* e) override;

private:
    SafeBoxOps& ops_;
    std::string caption_;
    bool initialised_ = false;
    CHallHtmlCtrl* browser_ = nullptr;
    QLabel* amount_ = nullptr;
};

// The application side over CGameApp: its connection, wait dialog, boxes and files.
SafeBoxOps& AppSafeBoxOps();
// The tool view's safe-box button: the open request, then the safe-box dialog.
void OpenSafeBox(SafeBoxOps& ops);

}  // namespace hqlv::framework::web
