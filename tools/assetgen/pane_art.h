#pragma once
// The pictures of the panes and dialogs, drawn here: the score board (bitmap 276, 339 by
// 172, 8 bits per pixel, black as the transparent colour, a header band titled 玩家, 累计
// and 本局 over the three columns the pane writes (names from 15, totals about 158, the last
// deal about 260) and four row bands under the rows at 45 + 32c), the default face (bitmap 162, 32
// by 32), the two small icons 151 (player information) and 152 (the chat's face button), the
// tool pane's two buttons (165 the safe box, 55 by 16; 166 the fixed amounts, 71 by 15) and the
// verification code's shield (229, 32 by 32).
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::assetgen {

struct PaletteImage {
    int w = 0, h = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB, at most 256
    std::vector<uint8_t> index;     // top-down
};

// An 8-bit bottom-up BMP file with its palette.
std::string bmp8File(const PaletteImage& image);
PaletteImage scoreBoardImage();
PaletteImage defaultFaceImage();
PaletteImage iconImage(int id);
PaletteImage toolButtonImage(int id);
PaletteImage shieldImage();

// The plates' colours of the tool pane's buttons (tests look for them on screen).
inline constexpr uint32_t kSafeBoxPlateColour = 0xC8962D;
inline constexpr uint32_t kFixAmountPlateColour = 0x3C82BE;
inline constexpr uint32_t kShieldColour = 0x286EC8;

// The marker colour of the score board's row bands (tests look for it on screen).
inline constexpr uint32_t kBoardBandColour = 0xC8A028;

// The operate bar's and tool pane's share of the generated default skin: the tiled
// background "OperateBK", one picture per operate button, the button size of section
// "DLGBAR" and the tool pane's "Headerbar" picture. Pictures lie beside the skin's
// description; the entries are (section, key, value) of that description.
struct SkinEntry {
    std::string section, key, value;
};
struct SkinPicture {
    std::string file;  // relative to the skin's folder
    PaletteImage image;
};
std::vector<SkinEntry> operateSkinEntries();
std::vector<SkinPicture> operateSkinPictures();
// Writes those pictures and keys into the skin folder (ending in '/'); false when a file
// cannot be written.
bool writeOperateSkin(const std::string& skinFolder);
// The skin keys of the operate buttons 1001-1004 (help, settings, the unused one, quit).
inline constexpr const char* kOperateButtonKeys[4] = {"OperateHelp", "OperateSet", "OperateIdle",
                                                      "OperateQuit"};
// Four buttons of this width and their five gaps fit the operate bar of the narrowest screen
// the client is laid out for (the right-hand column of an 800-pixel screen, 186 pixels).
inline constexpr int kOperateButtonW = 42, kOperateButtonH = 36;
inline constexpr int kHeaderbarW = 320, kHeaderbarH = 24;
// Marker colours: the background's stripe and the buttons' face (tests look for them).
inline constexpr uint32_t kOperateStripeColour = 0x3CB4C8;
inline constexpr uint32_t kOperateFaceColour = 0xE07828;

}  // namespace hqlv::assetgen
