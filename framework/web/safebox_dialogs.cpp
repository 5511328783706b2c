#include "framework/web/safebox_dialogs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <cstring>
#include <ctime>
#include <set>

#include "framework/app/program_bitmaps.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/web/web_view.h"
#include "framework/widgets/hyperlink_static.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework::web {
namespace {

std::set<int>& MissingTemplates() {
    static std::set<int> missing;
    return missing;
}

QFont DialogFont(int pixels) {
    QFont f("system");
    f.setPixelSize(pixels);
    f.setWeight(QFont::Bold);
    // Where there is no face of that name, a plain sans face stands in (family value 32).
    f.setStyleHint(QFont::SansSerif);
    return f;
}

// The skin paints the background of every safe-box dialog but the keypad.
void SkinDialogBackground(QDialog* dialog) {
    CSkinLibrary::instance().SetDialogEraseBkgnd(dialog, 1);
}

// The amount lists' items are 16 pixels high whatever the style would make them.
class AmountItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kAmountItemHeight);
    }
};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// What accessibility learns of a protected edit: its role and name, its text only once
// the owner has read it.
class ProtectedAccessible : public QAccessibleWidget {
public:
    explicit ProtectedAccessible(CProtectedEdit* e)
        : QAccessibleWidget(e, QAccessible::EditableText) {}
    QString text(QAccessible::Text t) const override {
        auto* e = static_cast<CProtectedEdit*>(widget());
        if (t == QAccessible::Value) return e->readable() ? e->text() : QString();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* ProtectedFactory(const QString&, QObject* object) {
    if (auto* e = dynamic_cast<CProtectedEdit*>(object)) return new ProtectedAccessible(e);
    return nullptr;
}

// Item 204: a one-pixel line along its top in the skin's separator colour (numbered
// colour 9), so the dialogs follow the skin; grey when the skin gives none.
class SeparatorLine : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        const auto colour = CSkinLibrary::instance().GetColor(9);
        QPainter p(this);
        p.fillRect(0, 0, width(), 1,
                   platform::ui::ToQColor(colour.value_or(platform::ui::Rgb(160, 160, 160))));
    }
};

QWidget* Line(QWidget* parent) {
    auto* l = new SeparatorLine(parent);
    SetItemId(l, 204);
    l->setFixedHeight(2);
    return l;
}

QPushButton* Button(QWidget* parent, const char* text, int id) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    SetItemId(b, id);
    return b;
}

}  // namespace

QImage ProgramPicture(int id, const std::function<QImage()>& drawn) {
    if (auto picture = LoadProgramBitmap(id)) return *picture;
    return drawn();
}

QImage DrawnShieldImage() {
    QImage shield(32, 32, QImage::Format_ARGB32);
    shield.fill(Qt::transparent);
    QPainter p(&shield);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(40, 110, 200));
    p.drawEllipse(2, 2, 28, 28);
    p.setPen(QPen(Qt::white, 3));
    p.drawLine(10, 16, 15, 22);
    p.drawLine(15, 22, 23, 10);
    return shield;
}

bool HasDialogTemplate(int id) {
    return id >= 170 && id <= 175 && !MissingTemplates().count(id);
}

void SetDialogTemplate(int id, bool present) {
    if (present)
        MissingTemplates().erase(id);
    else
        MissingTemplates().insert(id);
}

// ---- protected edit

CProtectedEdit::CProtectedEdit(QWidget* parent) : QLineEdit(parent) {
    static bool installed = [] {
        QAccessible::installFactory(ProtectedFactory);
        return true;
    }();
    (void)installed;
    setDragEnabled(false);
    setAcceptDrops(false);
    // A selection is a copy too: on X it becomes the primary selection, which any other
    // program reads. The field keeps none.
    connect(this, &QLineEdit::selectionChanged, this, [this] {
        if (hasSelectedText()) deselect();
    });
}

void CProtectedEdit::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Cut)) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

QVariant CProtectedEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    constexpr auto kText = Qt::ImSurroundingText | Qt::ImCurrentSelection | Qt::ImTextBeforeCursor |
                           Qt::ImTextAfterCursor;
    if (!readable_ && (query & kText)) return QString();
    return QLineEdit::inputMethodQuery(query);
}

void CProtectedEdit::contextMenuEvent(QContextMenuEvent* e) {
    e->accept();  // no menu: it would offer copy
}

// ---- soft keypad

CSoftKeypadDlg::CSoftKeypadDlg(QWidget* parent, unsigned seed) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("密码保护"));
    setFixedSize(200, 220);
    echo_ = new QLineEdit(this);
    SetItemId(echo_, 242);
    echo_->setReadOnly(true);
    echo_->setStyleSheet("background: white");
    echo_->setGeometry(14, 12, width() - 28, 32);
    // The stars sit in the middle of the field: the edit centres its line itself, so no
    // margin may push it down.
    echo_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    model_.Shuffle(seed ? seed : unsigned(std::time(nullptr)));
    for (int i = 0; i < 12; ++i) {
        QString label = i < 10 ? QString::number(model_.map()[size_t(i)])
                               : QString::fromUtf8(i == 10 ? "←" : "确定");
        auto* b = Button(this, "", 230 + i);
        b->setText(label);
        b->setGeometry((i % 4) * ((width() - 164) / 3 + 34) + 14,
                       (i / 4) * ((height() - 170) / 2 + 34) + 56, 34, 34);
        buttons_[size_t(i)] = b;
        if (i < 10)
            connect(b, &QPushButton::clicked, this, [this, i] {
                model_.PressButton(i);
                Refresh();
            });
    }
    connect(buttons_[10], &QPushButton::clicked, this, [this] {
        model_.Erase();
        Refresh();
    });
    connect(buttons_[11], &QPushButton::clicked, this, [this] { OnOK(); });
    buttons_[11]->setDefault(true);  // Enter is OK, not the first digit button
}

QPushButton* CSoftKeypadDlg::button(int id) const {
    return id >= 230 && id <= 241 ? buttons_[size_t(id - 230)] : nullptr;
}

QString CSoftKeypadDlg::echoText() const {
    return echo_->text();
}

void CSoftKeypadDlg::Refresh() {
    echo_->setText(QString::fromStdString(model_.Echo()));
}

void CSoftKeypadDlg::OnOK() {
    response_ = model_.Response(challenge_);
    accept();
}

// ---- verification code

const std::array<Glyph, 11>& CodeGlyphs() {
    static const std::array<Glyph, 11> glyphs = [] {
        std::array<Glyph, 11> out{};
        for (int g = 0; g < 11; ++g) {
            QImage img(14, 18, QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter p(&img);
            if (g == 0) {
                p.fillRect(3, 8, 8, 2, Qt::black);  // the separator: a short dash
            } else {
                QFont f("DejaVu Sans Mono");
                f.setPixelSize(17);
                f.setBold(true);
                p.setFont(f);
                p.setPen(Qt::black);
                p.drawText(QRect(0, 0, 14, 18), Qt::AlignCenter, QString::number(g - 1));
            }
            p.end();
            for (int y = 0; y < 18; ++y)
                for (int x = 0; x < 14; ++x)
                    if (qGray(img.pixel(x, y)) < 128)
                        out[size_t(g)][size_t(y * 2 + x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
        return out;
    }();
    return glyphs;
}

CVerifyCodeDlg::CVerifyCodeDlg(SafeBoxOps& ops, QWidget* parent) : QDialog(parent), ops_(ops) {
    SkinDialogBackground(this);
    setWindowTitle(QString::fromUtf8("验证码"));
    resize(300, 200);
    auto* picture = new QLabel(this);
    SetItemId(picture, 206);
    picture->setGeometry(10, 10, 40, 40);
    picture->setPixmap(QPixmap::fromImage(ProgramPicture(229, DrawnShieldImage)));
    picture->setAlignment(Qt::AlignCenter);
    anchor_ = new QWidget(this);
    SetItemId(anchor_, 211);
    anchor_->setGeometry(60, 58, 150, 1);
    edit_ = new CProtectedEdit(this);
    SetItemId(edit_, 207);
    edit_->setFont(DialogFont(28));
    edit_->setGeometry(60, 70, 180, 40);
    link_ = new CHyperLinkStatic(this);
    SetItemId(link_, 205);
    link_->setText(QString::fromUtf8("保护密码计算器"));
    link_->setGeometry(60, 116, 180, 20);
    link_->SetUnderline(true, false);
    link_->onClick = [this] { ops_.OpenSecurityPage(); };
    auto* line = Line(this);
    line->setGeometry(10, height() * 3 / 4, width() - 20, 2);
    auto* ok = Button(this, "确定", 1);
    auto* cancel = Button(this, "取消", 2);
    ok->setGeometry(width() - 170, height() - 40, 70, 26);
    cancel->setGeometry(width() - 90, height() - 40, 70, 26);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CVerifyCodeDlg::OnOK() {
    edit_->SetReadable(true);
    auto value = ParseVerifyResponse(edit_->text().toStdString());
    if (!value) {  // more than 32 bits: no answer to send, the dialog stays
        edit_->setFocus();
        return;
    }
    response_ = *value;
    accept();
}

QImage CVerifyCodeDlg::RenderCode() const {
    QImage img(160, 18, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    const auto& glyphs = CodeGlyphs();
    auto draw = [&](const Glyph& g, int x) {
        for (int y = 0; y < 18; ++y)
            for (int c = 0; c < 14; ++c)
                if (g[size_t(y * 2 + c / 8)] & (0x80 >> (c % 8)))
                    if (x + c >= 0 && x + c < img.width()) img.setPixel(x + c, y, qRgb(0, 0, 0));
    };
    std::string code = CodePictureText(challenge_);
    for (size_t i = 0; i < code.size(); ++i) {
        if (i == 4) draw(glyphs[kSeparatorGlyph], CodeSeparatorX(0));
        draw(glyphs[size_t(GlyphIndex(code[i]))], CodeGlyphX(0, int(i)));
    }
    return img;
}

void CVerifyCodeDlg::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    QPainter p(this);
    p.drawImage(anchor_->x(), anchor_->y() - 28, RenderCode());
}

// ---- save and take

CDepositDlg::CDepositDlg(SafeBoxOps& ops, bool save, QWidget* parent)
    : QDialog(parent), ops_(ops), key_(save ? "Save" : "Take") {
    SkinDialogBackground(this);
    setWindowTitle(QString::fromUtf8(save ? "存银子" : "取银子"));
    resize(280, 150);
    captionLabel_ = new QLabel(this);
    SetItemId(captionLabel_, 208);
    captionLabel_->setFont(DialogFont(16));
    captionLabel_->setGeometry(10, 10, 260, 24);
    combo_ = new QComboBox(this);
    SetItemId(combo_, save ? 209 : 210);
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);  // the list is the history, not what is typed
    combo_->setFont(DialogFont(16));
    combo_->setItemDelegate(new AmountItemDelegate(combo_));
    combo_->setGeometry(10, 44, 260, 28);
    history_ = ParseHistory(ops_.ReadSetting(ops_.GameIniFile(), "DEPOSIT", key_));
    for (int32_t a : history_) combo_->addItem(QString::number(a), a);
    auto* line = Line(this);
    line->setGeometry(10, height() * 2 / 3, width() - 20, 2);
    auto* ok = Button(this, "确定", 1);
    auto* cancel = Button(this, "取消", 2);
    ok->setGeometry(width() - 170, height() - 36, 70, 26);
    cancel->setGeometry(width() - 90, height() - 36, 70, 26);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDepositDlg::SetCaption(const std::string& caption) {
    caption_ = caption;
    captionLabel_->setText(Q(caption));
}

int32_t CDepositDlg::TypedAmount() const {
    return ParseAmountText(combo_->currentText().toStdString(), 29);
}

void CDepositDlg::AddHistory(int32_t amount) {
    if (!AddToHistory(history_, amount)) return;
    combo_->addItem(QString::number(amount), amount);
    ops_.WriteSetting(ops_.GameIniFile(), "DEPOSIT", key_, FormatHistory(history_));
}

void CDepositSaveDlg::OnOK() {
    int32_t amount = TypedAmount();
    if (amount < 1) {
        ops_.Box("请输入银子数额。", caption_, false);
        combo_->setFocus();
        return;
    }
    if (!ops_.Box(Format("确定要从【%s】划出【%d两】银子到保险箱?", caption_.c_str(), amount),
                  caption_, true))
        return;
    std::string text;
    SaveOutcome r = RunSaveRequest(ops_, amount, text);
    if (r == SaveOutcome::kSaved) {
        ops_.Box("银子已经存入保险箱！", caption_, false);
        AddHistory(TypedAmount());
        accept();
        return;
    }
    ops_.Box(text, caption_, false);
    if (r == SaveOutcome::kRewritten) {
        combo_->setEditText(QString::number(amount));
        combo_->setFocus();
    }
}

void CDepositTakeDlg::OnOK() {
    int32_t amount = TypedAmount();
    if (amount < 1) {
        ops_.Box("请输入银子数额。", caption_, false);
        combo_->setFocus();
        return;
    }
    std::string text;
    switch (RunTakeProcedure(ops_, amount, text)) {
        case TakeOutcome::kTaken:
            AddHistory(amount);
            ops_.Box(Format("银子已经成功划入 %s", caption_.c_str()), caption_, false);
            accept();
            return;
        case TakeOutcome::kTakeFailed:
            ops_.Box(text, caption_, false);
            reject();
            return;
        case TakeOutcome::kQueryFailed:
            ops_.Box(text, caption_, false);
            return;
        case TakeOutcome::kCancelled:
            return;
    }
}

// ---- fixed amounts

CFixDepositDlg::CFixDepositDlg(SafeBoxOps& ops, QWidget* parent) : QDialog(parent), ops_(ops) {
    SkinDialogBackground(this);
    setWindowTitle(QString::fromUtf8("设定划银数额"));
    resize(240, 260);
    for (int i = 0; i < 6; ++i) {
        auto* e = new QLineEdit(this);
        SetItemId(e, 197 + i);
        e->setFont(DialogFont(16));
        e->setGeometry(20, 10 + 32 * i, 200, 26);
        edits_[size_t(i)] = e;
    }
    auto* line = Line(this);
    line->setGeometry(10, height() * 4 / 5, width() - 20, 2);
    auto* ok = Button(this, "确定", 1);
    auto* cancel = Button(this, "取消", 2);
    ok->setGeometry(width() - 170, height() - 36, 70, 26);
    cancel->setGeometry(width() - 90, height() - 36, 70, 26);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CFixDepositDlg::SetAmounts(const std::array<int32_t, 6>& amounts) {
    amounts_ = amounts;
    for (int i = 0; i < 6; ++i) edits_[size_t(i)]->setText(QString::number(amounts[size_t(i)]));
}

void CFixDepositDlg::OnOK() {
    for (int i = 0; i < 6; ++i) {
        // 29 characters, not bytes: a cut inside a character would store broken text.
        std::string text = edits_[size_t(i)]->text().left(29).toStdString();
        amounts_[size_t(i)] = ParseAmountText(text, 29);
        ops_.WriteSetting(ops_.UserFile(), "FIXDEPOSIT", Format("Fix%d", i), text);
    }
    accept();
}

// ---- the safe box

CSafeBoxDlg::CSafeBoxDlg(SafeBoxOps& ops, QWidget* parent) : QDialog(parent), ops_(ops) {
    SkinDialogBackground(this);
    setWindowTitle(QString::fromUtf8("保险箱"));
    resize(360, 170);
    auto* placeholder = new QWidget(this);
    SetItemId(placeholder, 180);
    placeholder->setGeometry(0, 0, width(), 58);
    amount_ = new QLabel(this);
    SetItemId(amount_, 203);
    amount_->setFont(DialogFont(36));
    amount_->setStyleSheet("color: black");
    amount_->setAlignment(Qt::AlignCenter);
    amount_->setGeometry(10, 66, width() - 20, 50);
    auto* take = Button(this, "取银子", 220);
    auto* save = Button(this, "存银子", 221);
    take->setGeometry(width() / 2 - 100, height() - 40, 90, 28);
    save->setGeometry(width() / 2 + 10, height() - 40, 90, 28);
    connect(take, &QPushButton::clicked, this, [this] { OnTake(); });
    connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
}

void CSafeBoxDlg::SetAmount(int32_t amount) {
    amount_->setText(Q(Format("%d 两", amount)));
}

void CSafeBoxDlg::showEvent(QShowEvent* e) {
    // The page belongs to the dialog's start, whoever runs it.
    OnInitDialog();
    QDialog::showEvent(e);
}

void CSafeBoxDlg::OnInitDialog() {
    if (initialised_) return;
    initialised_ = true;
    browser_ = new CHallHtmlCtrl(nullptr);
    if (!browser_->CreateFromStatic(180, this)) {
        delete browser_;
        browser_ = nullptr;
        return;
    }
    browser_->EnableHostFilter(1);
    browser_->SetHostListFile(ops_.HostListFile());
    browser_->NavigateWithPost(ops_.CofferUrl(), 0, {}, {}, nullptr, 0);
    browser_->setGeometry(0, 0, width(), 58);
}

void CSafeBoxDlg::OnTake() {
    if (!HasDialogTemplate(172)) return;
    CDepositTakeDlg dlg(ops_, this);
    dlg.SetCaption(caption_);
    if (dlg.exec() == QDialog::Accepted) accept();
}

void CSafeBoxDlg::OnSave() {
    if (!HasDialogTemplate(171)) return;
    CDepositSaveDlg dlg(ops_, this);
    dlg.SetCaption(caption_);
    if (dlg.exec() == QDialog::Accepted) accept();
}

void OpenSafeBox(SafeBoxOps& ops) {
    ops.ShowWait("正在打开保险箱，请稍等......", true);
    uint8_t reply[32] = {};
    std::string text;
    int ok = ops.OpenSafeBox(text, reply);
    ops.ShowWait("", false);
    ops.Pause(100);
    const std::string title = ops.TitleText();
    if (!ok) {
        ops.Box(text, title, false);
        return;
    }
    if (!HasDialogTemplate(170)) return;
    int32_t amount;
    std::memcpy(&amount, reply + 4, 4);
    CSafeBoxDlg dlg(ops);
    dlg.SetCaption(title);
    dlg.SetAmount(amount);
    dlg.exec();
}

}  // namespace hqlv::framework::web
