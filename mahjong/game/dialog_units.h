#pragma once
// Dialog units of this game's templates to pixels, for the dialog font the templates
// name (a character cell of 6 by 13 pixels: a horizontal unit is a quarter of the width,
// a vertical one an eighth of the height).
#include <QRect>

namespace hqlv::mahjong {

inline constexpr int DluX(int x) { return x * 6 / 4; }
inline constexpr int DluY(int y) { return y * 13 / 8; }
inline QRect DluRect(int x, int y, int w, int h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

}  // namespace hqlv::mahjong
