#pragma once
// The program's bitmap resources: "<id>.bmp" in "resources/bitmap/" of the program folder,
// where the build writes them. Every pane and dialog that shows one of them loads it here,
// so the same resource is the same picture wherever it appears.
#include <QImage>

#include <optional>
#include <string>

namespace hqlv::framework {

// The program's icon of a person: the portrait of a player whose portrait file is missing
// or unreadable, in the player list and in the player-information window alike.
inline constexpr int kIconPlayer = 151;
// The request popup's background, also its portrait when the player's file is missing.
inline constexpr int kBitmapPopupFace = 162;

// The folder can be pointed elsewhere (tests); an empty one restores the default.
void SetResourceBitmapFolder(const std::string& folder);
std::string GetResourceBitmapPath(int id);

// Bitmap resource `id`; none, with a line in the log, when the program lacks it or the
// file cannot be read as a picture.
std::optional<QImage> LoadProgramBitmap(int id);

}  // namespace hqlv::framework
