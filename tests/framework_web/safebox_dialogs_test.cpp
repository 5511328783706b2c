#include "framework/web/safebox_dialogs.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QAccessible>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

#include <cstring>
#include <map>

#include "app_fixture.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/skin_library.h"
#include "framework/web/tool_view.h"
#include "framework/web/web_view.h"
#include "framework/widgets/hyperlink_static.h"
#include "framework/widgets/skin_button.h"
#include "netlib/log.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "tools/assetgen/pane_art.h"

namespace hqlv::framework::web {
namespace {

using testing::SharedWebApp;
using V = std::vector<std::string>;

// A scripted application side: it records every request and box, and answers as the
// test sets it up.
struct FakeSafeBoxOps : SafeBoxOps {
    int32_t silver = 3000;
    int queryOk = 1, queryCode = 10, takeOk = 1, saveOk = 1;
    bool answerChallenge = true, confirm = true;
    std::vector<std::string> log, boxes;
    std::map<std::string, std::string> settings;

    int UserId() override { return 4321; }
    int32_t SeatSilver() override { return silver; }
    std::string TitleText() override { return "T"; }
    int OpenSafeBox(std::string&, uint8_t*) override { return 0; }
    int QueryProtection(std::string& text, uint8_t out[24], int* code) override {
        int32_t uid, challenge = 12345678;
        std::memcpy(&uid, out, 4);
        log.push_back("query " + std::to_string(uid));
        *code = queryCode;
        if (queryOk) std::memcpy(out + 4, &challenge, 4);
        text = "query failed";
        return queryOk;
    }
    int TakeSilver(std::string& text, int amount, int response) override {
        log.push_back("take " + std::to_string(amount) + " " + std::to_string(response));
        text = "take failed";
        return takeOk;
    }
    int SaveSilver(std::string& text, int& amount, int* code) override {
        log.push_back("save " + std::to_string(amount));
        *code = 10;
        text = "save failed";
        return saveOk;
    }
    void ShowWait(const std::string&, bool) override {}
    void Pause(int) override {}
    bool Box(const std::string& text, const std::string&, bool question) override {
        boxes.push_back(text);
        return !question || confirm;
    }
    bool AskChallenge(int32_t c, int32_t& response) override {
        log.push_back("challenge " + std::to_string(c));
        response = 999;
        return answerChallenge;
    }
    void OpenSecurityPage() override { log.push_back("security page"); }
    std::string ReadSetting(const std::string&, const std::string& section,
                            const std::string& key) override {
        return settings[section + "/" + key];
    }
    void WriteSetting(const std::string&, const std::string& section, const std::string& key,
                      const std::string& value) override {
        settings[section + "/" + key] = value;
    }
    // Answers as scripted: the query (and its code), the challenge dialog, take and save.
    static FakeSafeBoxOps Scripted(int queryOk, int queryCode, bool answer, int takeOk,
                                   int saveOk = 1) {
        FakeSafeBoxOps ops;
        ops.queryOk = queryOk;
        ops.queryCode = queryCode;
        ops.answerChallenge = answer;
        ops.takeOk = takeOk;
        ops.saveOk = saveOk;
        return ops;
    }
};

// One of each of the safe box's dialogs, made in this order, and the keypad.
struct EveryDialog {
    explicit EveryDialog(FakeSafeBoxOps& ops)
        : box(ops), save(ops), take(ops), fix(ops), code(ops) {}
    CSafeBoxDlg box;
    CDepositSaveDlg save;
    CDepositTakeDlg take;
    CFixDepositDlg fix;
    CVerifyCodeDlg code;
    CSoftKeypadDlg keypad;
};

TEST(SafeBoxDialogs, KeypadButtonsDigitsAndResponse) {
    SharedWebApp();
    CSoftKeypadDlg dlg(nullptr, 7);
    EXPECT_EQ(dlg.size(), QSize(200, 220));
    dlg.SetChallenge(-12345678);
    // Press the button that shows 1, then the one that shows 2, by their labels.
    auto press = [&](int digit) {
        for (int id = 230; id < 240; ++id)
            if (dlg.button(id)->text() == QString::number(digit)) {
                QTest::mouseClick(dlg.button(id), Qt::LeftButton);
                return;
            }
    };
    for (int i = 0; i < 17; ++i) press(i % 10);
    EXPECT_EQ(dlg.model().digits(), "0123456789012345");
    EXPECT_EQ(dlg.echoText(), QString(16, '*'));
    QTest::mouseClick(dlg.button(240), Qt::LeftButton);
    EXPECT_EQ(dlg.model().digits(), "012345678901234");
    QTest::mouseClick(dlg.button(241), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetResponse(), 123 + 4567 + 8901 + 234 - 1234 - 5678);
    EXPECT_EQ(dlg.button(240)->text(), "←");  // erase
    EXPECT_EQ(dlg.button(241)->text(), "确定");
    EXPECT_EQ(dlg.button(229), nullptr);  // the ids next to the twelve name no button
    EXPECT_EQ(dlg.button(242), nullptr);
    EXPECT_EQ(dlg.button(241)->geometry(),
              QRect(3 * (36 / 3 + 34) + 14, 2 * (50 / 2 + 34) + 56, 34, 34));
    CSoftKeypadDlg fresh(nullptr, 7);  // Enter on a fresh keypad is its OK, no digit
    fresh.SetChallenge(12345678);
    fresh.show();
    QTest::keyClick(fresh.focusWidget() ? fresh.focusWidget() : &fresh, Qt::Key_Return);
    EXPECT_EQ(fresh.result(), QDialog::Accepted);
    EXPECT_EQ(fresh.GetResponse(), 1234 + 5678);  // no digit typed
}

// The safe box brings its page itself when it first shows, whoever runs it: the browser in
// place of item 180, the host filter on with the ops' list file, the ops' coffer address.
TEST(SafeBoxDialogs, SafeBoxOpensItsPageWhenItShows) {
    SharedWebApp();
    struct Ops : FakeSafeBoxOps {
        std::string CofferUrl() override { return "http://coffer.invalid/box?u=1"; }
        std::string HostListFile() override { return "/nonexistent/hqlv-domain.dat"; }
    } ops;
    CSafeBoxDlg box(ops);
    box.SetAmount(50000);
    const QRect place = FindItem(&box, 180)->geometry();
    EXPECT_EQ(box.browser(), nullptr);
    box.show();
    CHallHtmlCtrl* browser = box.browser();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(FindItem(&box, 180), browser);
    EXPECT_EQ(box.findChildren<CHallHtmlCtrl*>().size(), 1);
    EXPECT_EQ(browser->geometry(), QRect(0, 0, box.width(), 58));
    EXPECT_EQ(place.height(), 58);
    EXPECT_EQ(browser->hostFilter(), 1);
    EXPECT_EQ(browser->hostListFile(), "/nonexistent/hqlv-domain.dat");
    ASSERT_TRUE(browser->HasPage());
    EXPECT_EQ(browser->page()->requestedUrl(), QUrl("http://coffer.invalid/box?u=1"));
    EXPECT_EQ(box.amountLabel()->text(), "50000 两");
    // Shown again: the same browser, no second page.
    box.hide();
    box.show();
    EXPECT_EQ(box.browser(), browser);
    EXPECT_EQ(box.findChildren<CHallHtmlCtrl*>().size(), 1);
}

// The tool pane makes its two buttons when it first shows, whoever made it: pictures 165
// and 166, placed by the pane's height, shown; showing it again makes no others.
TEST(SafeBoxDialogs, ToolPaneMakesItsButtonsWhenItShows) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CGameToolView tool(ops);
    tool.resize(200, 32);
    EXPECT_EQ(tool.button(1), nullptr);
    tool.show();
    CSkinButton* open = tool.button(1);
    CSkinButton* fix = tool.button(2);
    ASSERT_NE(open, nullptr);
    ASSERT_NE(fix, nullptr);
    EXPECT_EQ(open->geometry(), QRect(8, 8, 55, 16));
    EXPECT_EQ(fix->geometry(), QRect(88, 9, 71, 15));
    EXPECT_TRUE(open->isVisible());
    EXPECT_TRUE(fix->isVisible());
    EXPECT_TRUE(open->transparent());
    tool.hide();
    tool.show();
    tool.OnInitialUpdate();
    EXPECT_EQ(tool.button(1), open);
    EXPECT_EQ(tool.findChildren<CSkinButton*>().size(), 2);
}

namespace {

// A pictures folder of the test's own, where the program's pictures are read while it lives.
struct ProgramFolder {
    ProgramFolder() {
        EXPECT_TRUE(dir.isValid());
        SetResourceBitmapFolder(bitmaps());
    }
    ~ProgramFolder() { SetResourceBitmapFolder(""); }
    std::string bitmaps() const { return dir.path().toStdString() + "/"; }
    std::string file(int id) const { return bitmaps() + std::to_string(id) + ".bmp"; }
    QTemporaryDir dir;
};

int CountColour(const QImage& image, uint32_t rgb) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == rgb;
    return n;
}

}  // namespace

// Where the program's own files of pictures 165, 166 and 229 are missing, the pictures
// drawn in their place have their items' sizes and are not blank.
TEST(SafeBoxDialogs, PicturesDrawnForMissingFilesHaveTheirItemsSizes) {
    SharedWebApp();
    auto inked = [](const QImage& img) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) != img.pixel(0, 0)) return true;
        return false;
    };
    const QImage box = ToolButtonImage(165), amounts = ToolButtonImage(166);
    EXPECT_EQ(box.size(), QSize(55, 16));
    EXPECT_EQ(amounts.size(), QSize(71, 15));
    EXPECT_TRUE(inked(box));
    EXPECT_TRUE(inked(amounts));
    EXPECT_NE(box, amounts.scaled(box.size()));
    ProgramFolder program;  // none of the files
    FakeSafeBoxOps ops;
    CVerifyCodeDlg dlg(ops);
    auto* shield = dynamic_cast<QLabel*>(FindItem(&dlg, 206));
    ASSERT_NE(shield, nullptr);
    const QImage picture = shield->pixmap().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_LE(picture.width(), shield->width());
    EXPECT_LE(picture.height(), shield->height());
    EXPECT_TRUE(inked(picture));
}

// Pictures 165 and 166 on the tool pane's buttons and 229 on the verification code are the
// program's own files: each shows as the file has it, pixel for pixel, at its place.
TEST(SafeBoxDialogs, PanesShowTheProgramsOwnPictureFiles) {
    SharedWebApp();
    ProgramFolder program;
    struct Picture {
        int id;
        QSize size;
        QPoint mark;
        QRgb ground, marked;
    };
    const Picture pictures[] = {
        {165, {55, 16}, {3, 4}, qRgb(0x12, 0x34, 0x56), qRgb(0xAB, 0xCD, 0xEF)},
        {166, {71, 15}, {70, 14}, qRgb(0x21, 0x43, 0x65), qRgb(0xFE, 0xDC, 0xBA)},
        {229, {32, 32}, {0, 31}, qRgb(0x31, 0x41, 0x59), qRgb(0x26, 0x53, 0x58)}};
    for (const Picture& p : pictures) {
        QImage image(p.size, QImage::Format_RGB32);
        image.fill(p.ground);
        image.setPixel(p.mark, p.marked);
        ASSERT_TRUE(image.save(QString::fromStdString(program.file(p.id)), "BMP")) << p.id;
    }
    FakeSafeBoxOps ops;
    CGameToolView tool(ops);
    tool.resize(200, 32);
    tool.show();
    for (int i = 0; i < 2; ++i) {
        const Picture& p = pictures[i];
        const QImage shot = tool.button(i + 1)->grab().toImage();
        ASSERT_EQ(shot.size(), p.size) << p.id;
        EXPECT_EQ(shot.pixel(p.mark), p.marked) << p.id;
        EXPECT_EQ(CountColour(shot, p.ground & 0xFFFFFF), p.size.width() * p.size.height() - 1)
            << p.id;
    }
    CVerifyCodeDlg dlg(ops);
    auto* shield = dynamic_cast<QLabel*>(FindItem(&dlg, 206));
    ASSERT_NE(shield, nullptr);
    const QImage picture = shield->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(picture.pixel(0, 31), pictures[2].marked);
    EXPECT_EQ(CountColour(picture, pictures[2].ground & 0xFFFFFF), 32 * 32 - 1);
}

// The pictures the build writes for the program load on the panes through the same files:
// the safe box's plate, the amounts' plate and the shield, each at its item's size.
TEST(SafeBoxDialogs, PanesShowTheGeneratedPictures) {
    SharedWebApp();
    ProgramFolder program;
    const std::pair<int, assetgen::PaletteImage> files[] = {{165, assetgen::toolButtonImage(165)},
                                                            {166, assetgen::toolButtonImage(166)},
                                                            {229, assetgen::shieldImage()}};
    for (const auto& [id, image] : files)
        ASSERT_TRUE(platform::writeFile(program.file(id), assetgen::bmp8File(image))) << id;
    FakeSafeBoxOps ops;
    CGameToolView tool(ops);
    tool.resize(200, 32);
    tool.show();
    const QImage open = tool.button(1)->grab().toImage(), fix = tool.button(2)->grab().toImage();
    EXPECT_EQ(open.size(), QSize(55, 16));
    EXPECT_EQ(fix.size(), QSize(71, 15));
    // Most of each button is its own plate, none of it the other's; the name is written on it.
    EXPECT_GT(CountColour(open, assetgen::kSafeBoxPlateColour), 55 * 16 / 2);
    EXPECT_EQ(CountColour(open, assetgen::kFixAmountPlateColour), 0);
    EXPECT_GT(CountColour(fix, assetgen::kFixAmountPlateColour), 71 * 15 / 2);
    EXPECT_EQ(CountColour(fix, assetgen::kSafeBoxPlateColour), 0);
    EXPECT_GT(CountColour(open, 0xFFFFFF), 10);
    EXPECT_GT(CountColour(fix, 0xFFFFFF), 10);
    CVerifyCodeDlg dlg(ops);
    auto* shield = dynamic_cast<QLabel*>(FindItem(&dlg, 206));
    ASSERT_NE(shield, nullptr);
    const QImage picture = shield->pixmap().toImage();
    EXPECT_EQ(picture.size(), QSize(32, 32));
    EXPECT_GT(CountColour(picture, assetgen::kShieldColour), 32 * 32 / 3);
    EXPECT_GT(CountColour(picture, 0xFFFFFF), 10);  // the tick
}

// A picture file that is missing, not a picture at all, or cut short leaves the drawn picture
// in its place, the buttons work, and the log names each file.
TEST(SafeBoxDialogs, MissingOrBrokenPictureFilesLeaveUsableButtonsAndAreLogged) {
    SharedWebApp();
    ProgramFolder program;
    QTemporaryDir logs;
    ASSERT_TRUE(logs.isValid());
    netlib::YrnLogSetFolder(logs.path().toStdString());
    std::tm day{};
    day.tm_year = 2024 - 1900, day.tm_mon = 2, day.tm_mday = 14, day.tm_hour = 12;
    netlib::YrnLogSetClock([day] { return day; });
    // 165 missing; 166 not a picture; 229 a picture's head that claims 100000 x 100000
    // pixels.
    ASSERT_TRUE(platform::writeFile(program.file(166), "BM not a picture"));
    QImage real(32, 32, QImage::Format_RGB32);
    real.fill(Qt::red);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        ASSERT_TRUE(real.save(&buffer, "BMP"));
    }
    const int32_t huge = 100000;
    std::memcpy(bytes.data() + 18, &huge, 4);
    std::memcpy(bytes.data() + 22, &huge, 4);
    ASSERT_TRUE(platform::writeFile(program.file(229),
                                    std::string(bytes.constData(), size_t(bytes.size()))));
    FakeSafeBoxOps ops;
    CGameToolView tool(ops);
    tool.resize(200, 32);
    tool.show();
    CVerifyCodeDlg dlg(ops);
    const std::string logFile = netlib::YrnLogPathFor(day);
    netlib::YrnLogSetClock(nullptr);
    netlib::YrnLogSetFolder("");
    for (int id : {165, 166}) {
        CSkinButton* button = tool.button(id - 164);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible());
        const QImage drawn = ToolButtonImage(id);
        const QImage shot = button->grab().toImage();
        ASSERT_EQ(shot.size(), drawn.size()) << id;
        EXPECT_EQ(shot.pixel(1, 1), drawn.pixel(1, 1)) << id;
    }
    auto* shield = dynamic_cast<QLabel*>(FindItem(&dlg, 206));
    ASSERT_NE(shield, nullptr);
    EXPECT_EQ(shield->pixmap().toImage(),
              DrawnShieldImage().convertToFormat(shield->pixmap().toImage().format()));
    // The button with the drawn picture still opens the safe box (the request fails here).
    tool.button(1)->click();
    EXPECT_EQ(ops.boxes.size(), 1u);
    std::string log;
    ASSERT_TRUE(platform::readFile(logFile, &log));
    for (int id : {165, 166, 229})
        EXPECT_NE(log.find("bitmap resource " + std::to_string(id) + ": " + program.file(id) +
                           " is missing or unreadable"),
                  std::string::npos)
            << id << log;
}

// The verification code's link to the security page binds itself: its text as tooltip, the
// hand cursor, underlined, shrunk to its text.
TEST(SafeBoxDialogs, VerifyCodeLinkIsBoundWhenTheDialogShows) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CVerifyCodeDlg dlg(ops);
    // Every item the dialog's code expects is there under its number.
    EXPECT_EQ(FindItem(&dlg, 205), dlg.link());
    EXPECT_EQ(FindItem(&dlg, 207), dlg.edit());
    for (int id : {1, 2, 204, 206, 211}) EXPECT_NE(FindItem(&dlg, id), nullptr) << id;
    const QRect place = dlg.link()->geometry();
    dlg.show();
    CHyperLinkStatic* link = dlg.link();
    ASSERT_TRUE(link->bound());
    EXPECT_EQ(link->toolTip(), "保护密码计算器");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link->font().underline());
    const QSize text = link->fontMetrics().size(Qt::TextSingleLine, link->text());
    EXPECT_EQ(link->geometry(),
              QRect(place.topLeft(), QSize(std::min(text.width(), place.width()),
                                           std::min(text.height(), place.height()))));
}

TEST(SafeBoxDialogs, VerifyCodeHidesItsTextAndDrawsEightDigits) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CVerifyCodeDlg dlg(ops);
    dlg.show();
    dlg.edit()->setText("12345");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dlg.edit());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Value), QString());
    EXPECT_EQ(a->textInterface(), nullptr);
    for (auto q : {Qt::ImSurroundingText, Qt::ImTextBeforeCursor})
        EXPECT_EQ(dlg.edit()->inputMethodQuery(q).toString(), QString()) << q;
    dlg.edit()->setText("99999999999");  // beyond 32 bits: no answer, still open
    dlg.OnOK();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(a->text(QAccessible::Value), QString("99999999999"));  // read now
    EXPECT_EQ(dlg.edit()->inputMethodQuery(Qt::ImSurroundingText).toString(), "99999999999");
    ASSERT_EQ(FindItem(&dlg, 205), dlg.link());
    dlg.link()->onClick();
    EXPECT_EQ(ops.log, V{"security page"});
    dlg.edit()->setText("0042x");
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetResponse(), 42);

    // Each glyph has ink inside its outer columns (neighbours never touch), and no two
    // digits look alike.
    const auto& g = CodeGlyphs();
    for (size_t i = 0; i < g.size(); ++i) {
        EXPECT_NE(g[i], Glyph{}) << i;
        for (size_t y = 0; y < 18; ++y)
            EXPECT_FALSE(g[i][2 * y] & 0x80 || g[i][2 * y + 1] & 0x04) << i;  // x 0 and 13
        for (size_t j = i + 1; j < g.size(); ++j) EXPECT_NE(g[i], g[j]) << i << " " << j;
    }
    dlg.SetChallenge(12345678);
    QImage plain = dlg.RenderCode();
    // Ink exactly where a glyph has it: each digit at its place, the separator between the
    // fourth and the fifth.
    auto drawnAt = [&](const Glyph& glyph, int x) {
        for (int y = 0; y < 18; ++y)
            for (int c = 0; c < 14; ++c)
                if (bool(glyph[size_t(y * 2 + c / 8)] & (0x80 >> (c % 8))) !=
                    (qAlpha(plain.pixel(x + c, y)) != 0))
                    return false;
        return true;
    };
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(drawnAt(g[size_t(i + 2)], CodeGlyphX(0, i))) << i;
    EXPECT_TRUE(drawnAt(g[kSeparatorGlyph], CodeSeparatorX(0)));
    dlg.SetChallenge(-12345678);
    EXPECT_EQ(dlg.RenderCode(), plain);  // the sign has no glyph
    dlg.SetChallenge(INT32_MIN);
    QImage wide = dlg.RenderCode();  // nothing drawn past the eighth place
    for (int y = 0; y < wide.height(); ++y)
        for (int x = CodeGlyphX(0, 8); x < wide.width(); ++x)
            ASSERT_EQ(qAlpha(wide.pixel(x, y)), 0);
}

TEST(SafeBoxDialogs, ProtectedEditGivesNoCopyOrCut) {
    SharedWebApp();
    CProtectedEdit edit;
    edit.setText("4711");
    QClipboard* clip = QGuiApplication::clipboard();
    clip->setText("before");
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    } keys[] = {{Qt::Key_C, Qt::ControlModifier},
                {Qt::Key_Insert, Qt::ControlModifier},
                {Qt::Key_X, Qt::ControlModifier},
                {Qt::Key_Delete, Qt::ShiftModifier}};
    for (const auto& k : keys) {
        edit.selectAll();  // a selection is a copy on X (the primary selection): none stays
        EXPECT_FALSE(edit.hasSelectedText());
        QTest::keyClick(&edit, Qt::Key_Home, Qt::ShiftModifier);
        EXPECT_FALSE(edit.hasSelectedText());
        QTest::keyClick(&edit, k.key, k.mods);
        EXPECT_EQ(clip->text(), QString("before")) << k.key;
        EXPECT_EQ(edit.text(), QString("4711")) << k.key;
    }
    EXPECT_FALSE(edit.dragEnabled());
}

TEST(SafeBoxDialogs, SaveDialog) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CDepositSaveDlg dlg(ops);
    dlg.SetCaption("Acct");
    dlg.show();
    for (const char* bad : {"abc", "0", "4294967396", "-5"}) {
        dlg.combo()->setEditText(bad);
        QTest::keyClick(dlg.combo()->lineEdit(), Qt::Key_Return);  // Enter is OK
    }
    EXPECT_EQ(dlg.combo()->count(), 0);  // a typed text joins no list
    EXPECT_TRUE(ops.log.empty());
    EXPECT_EQ(ops.boxes, V(4, "请输入银子数额。"));
    ops.boxes.clear();
    ops.confirm = false;
    dlg.combo()->setEditText("100");
    dlg.OnOK();
    EXPECT_TRUE(ops.log.empty());
    EXPECT_EQ(ops.boxes, V{"确定要从【Acct】划出【100两】银子到保险箱?"});
    ops.confirm = true;
    for (const char* a : {"100", "200", "100"}) {
        dlg.combo()->setEditText(a);
        dlg.OnOK();
    }
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(ops.settings["DEPOSIT/Save"], "100|200|");
    EXPECT_EQ(dlg.combo()->count(), 2);
    CDepositSaveDlg again(ops);  // the next one starts from the stored history
    EXPECT_EQ(again.combo()->count(), 2);
    EXPECT_EQ(again.combo()->itemText(1), "200");
    EXPECT_EQ(again.combo()->itemData(1).toInt(), 200);
    // The history's items are 16 pixels high, in the dialogs' bold font of a plain face.
    EXPECT_EQ(again.combo()->view()->sizeHintForRow(0), 16);
    EXPECT_EQ(again.combo()->view()->sizeHintForRow(1), 16);
    EXPECT_EQ(again.combo()->font().pixelSize(), 16);
    EXPECT_EQ(again.combo()->font().weight(), QFont::Bold);
    EXPECT_EQ(again.combo()->font().styleHint(), QFont::SansSerif);
}

// The skin paints the backgrounds of the safe box and the amount dialogs, each told once as
// it is built; the keypad paints its own.
TEST(SafeBoxDialogs, SkinPaintsEveryBackgroundButTheKeypads) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    using Call = CSkinLibrary::Call;
    const CSkinLibrary& skin = CSkinLibrary::instance();
    const int before = skin.CallCount(Call::kDialogEraseBkgnd);
    EveryDialog d(ops);
    std::vector<std::pair<const void*, intptr_t>> told;
    for (const CSkinLibrary::CallTrace& c : skin.RecentCalls())
        if (c.call == Call::kDialogEraseBkgnd) told.emplace_back(c.window, c.arg);
    const std::vector<std::pair<const void*, intptr_t>> want = {
        {&d.box, 1}, {&d.save, 1}, {&d.take, 1}, {&d.fix, 1}, {&d.code, 1}};
    EXPECT_EQ(skin.CallCount(Call::kDialogEraseBkgnd), before + 5);
    ASSERT_GE(told.size(), want.size());
    EXPECT_EQ(std::vector(told.end() - 5, told.end()), want);
    EXPECT_EQ(d.box.amountLabel()->font().pixelSize(), 36);
    EXPECT_EQ(d.code.edit()->font().pixelSize(), 28);
}

// The take procedure through the take dialog: what is asked of the server, the boxes, and
// whether the dialog ends (OK, Cancel) or stays (0).
TEST(SafeBoxDialogs, TakeDialog) {
    SharedWebApp();
    struct Case {
        const char* name;
        int queryOk, queryCode;
        bool answer;
        int takeOk, result;
        V log, boxes;
    } cases[] = {
        {"challenge", 1, 10, true, 1, QDialog::Accepted,
         V{"query 4321", "challenge 12345678", "take 700 999"}, V{"银子已经成功划入 A"}},
        {"no protection", 0, kCodeNoProtection, true, 1, QDialog::Accepted,
         V{"query 4321", "take 700 0"}, V{"银子已经成功划入 A"}},
        {"query fails", 0, 60001, true, 1, 0, V{"query 4321"}, V{"query failed"}},
        {"cancelled", 1, 10, false, 1, 0, V{"query 4321", "challenge 12345678"}, V{}},
        {"take fails", 1, 10, true, 0, QDialog::Rejected,
         V{"query 4321", "challenge 12345678", "take 700 999"}, V{"take failed"}},
    };
    for (const auto& c : cases) {
        auto ops = FakeSafeBoxOps::Scripted(c.queryOk, c.queryCode, c.answer, c.takeOk);
        CDepositTakeDlg dlg(ops);
        dlg.SetCaption("A");
        dlg.combo()->setEditText("700");
        dlg.OnOK();
        EXPECT_EQ(dlg.result(), c.result) << c.name;
        EXPECT_EQ(ops.log, c.log) << c.name;
        EXPECT_EQ(ops.boxes, c.boxes) << c.name;
        EXPECT_EQ(ops.settings["DEPOSIT/Take"], c.result == QDialog::Accepted ? "700|" : "");
    }
}

// The tool view's moves that end without success; the successful ones run against the
// local server in client_e2e_test.
TEST(SafeBoxFlow, FixAmountFailures) {
    struct Case {
        const char* name;
        int32_t silver, target;
        bool answer;
        int takeOk, saveOk;
        FixOutcome want;
        V boxes;
    } cases[] = {
        {"cancelled", 3000, 10000, false, 1, 1, FixOutcome::kCancelled, V{}},
        {"take fails", 3000, 10000, true, 0, 1, FixOutcome::kFailed, V{"take failed"}},
        {"save fails", 3000, 0, true, 1, 0, FixOutcome::kFailed, V{"save failed"}},
        {"too far", -10, INT32_MAX, true, 1, 1, FixOutcome::kOutOfRange, V{"请输入银子数额。"}},
    };
    for (const auto& c : cases) {
        auto ops = FakeSafeBoxOps::Scripted(1, 10, c.answer, c.takeOk, c.saveOk);
        ops.silver = c.silver;
        EXPECT_EQ(ApplyFixAmount(ops, c.target), c.want) << c.name;
        EXPECT_EQ(ops.boxes, c.boxes) << c.name;
    }
}

TEST(SafeBoxDialogs, FixDepositWritesWhatWasTyped) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    CFixDepositDlg dlg(ops);
    dlg.SetAmounts(kFixDefaults);
    EXPECT_EQ(dlg.box(5)->text(), "30000");
    dlg.box(0)->setText("12abc");
    dlg.box(1)->setText("4294967396");
    dlg.box(3)->setText(QString::fromUtf8("一").repeated(30));  // cut at 29 characters
    dlg.OnOK();
    EXPECT_EQ(ops.settings["FIXDEPOSIT/Fix3"], QString::fromUtf8("一").repeated(29).toStdString());
    EXPECT_EQ(dlg.amounts(), (std::array<int32_t, 6>{12, 0, 500, 0, 10000, 30000}));
    EXPECT_EQ(ops.settings["FIXDEPOSIT/Fix0"], "12abc");
    EXPECT_EQ(LoadFixAmounts(ops, ""), dlg.amounts());
    ops.settings["FIXDEPOSIT/Fix5"] = std::string(31, '0') + "9";  // 31 characters are read
    EXPECT_EQ(LoadFixAmounts(ops, "u")[5], 0);
}

TEST(SafeBoxDialogs, EveryItemLiesInsideItsDialog) {
    SharedWebApp();
    FakeSafeBoxOps ops;
    EveryDialog all(ops);
    for (QDialog* d : std::initializer_list<QDialog*>{&all.box, &all.save, &all.take, &all.fix,
                                                      &all.code, &all.keypad})
        for (QWidget* w : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(d->rect().contains(w->geometry())) << ItemId(w);
    // The separator (item 204) is one pixel along its top, in the skin's colour 9.
    const std::string skin =
        ::testing::TempDir() + "hqlv-line-" + std::to_string(getpid()) + ".ini";
    platform::writeProfileString("Colors", "9", "10 20 30", skin);
    ASSERT_TRUE(CSkinLibrary::instance().Load(skin, 1));
    for (QDialog* d : std::initializer_list<QDialog*>{&all.save, &all.take, &all.fix, &all.code}) {
        QImage line = FindItem(d, 204)->grab().toImage();
        EXPECT_EQ(line.pixelColor(0, 0), QColor(10, 20, 30));
        EXPECT_NE(line.pixelColor(0, 1), QColor(10, 20, 30));
    }
    CSkinLibrary::instance().Unload();
    std::remove(skin.c_str());
}

}  // namespace
}  // namespace hqlv::framework::web
