#pragma once
// The dialogs are laid out in dialog units of the font their templates name; the program's
// own font can draw a text wider or taller than its control. FitDialogTexts widens (and
// heightens) every control whose text (with a box's indicator or a button's margins) does not
// fit, grows each parent to hold its controls, and grows the dialog last, so that no text is
// cut and no control stands outside. Positions and texts stay as they are.
class QWidget;

namespace hqlv::mahjong {

// The width a control's text needs (0 for a control without a text), and the height of its
// lines (labels and buttons).
int TextWidthNeeded(const QWidget* control);
int TextHeightNeeded(const QWidget* control);
void FitDialogTexts(QWidget* dialog);

}  // namespace hqlv::mahjong
