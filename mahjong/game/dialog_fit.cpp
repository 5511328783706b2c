#include "mahjong/game/dialog_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>

#include <algorithm>

namespace hqlv::mahjong {

namespace {

// A group box's frame corner before its title and after it.
constexpr int kGroupTitleInset = 16;

int WidestLine(const QFontMetrics& fm, QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    int w = 0;
    for (const QString& line : text.split(QChar('\n'))) w = std::max(w, fm.horizontalAdvance(line));
    return w;
}

}  // namespace

int TextWidthNeeded(const QWidget* w) {
    if (!w) return 0;
    const QFontMetrics fm = w->fontMetrics();
    const QStyle* style = w->style();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        if (b->text().isEmpty()) return 0;
        if (qobject_cast<const QCheckBox*>(w))
            return WidestLine(fm, b->text()) + style->pixelMetric(QStyle::PM_IndicatorWidth) +
                   style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        if (qobject_cast<const QRadioButton*>(w))
            return WidestLine(fm, b->text()) +
                   style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                   style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
        return WidestLine(fm, b->text()) + 2 * style->pixelMetric(QStyle::PM_ButtonMargin) +
               2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    }
    if (const auto* l = qobject_cast<const QLabel*>(w)) {
        // A label that wraps its words keeps its width and takes the lines it needs.
        if (l->text().isEmpty() || l->wordWrap()) return 0;
        return WidestLine(fm, l->text()) + 2 * l->margin() + 2 * l->frameWidth();
    }
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text().isEmpty()
                   ? 0
                   : WidestLine(fm, e->text()) + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
    if (const auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title().isEmpty() ? 0 : WidestLine(fm, g->title()) + kGroupTitleInset;
    return 0;
}

int TextHeightNeeded(const QWidget* w) {
    QString text;
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        text = b->text();
    } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
        if (l->wordWrap() && !l->text().isEmpty()) return l->heightForWidth(l->width());
        text = l->text();
    }
    if (text.isEmpty()) return 0;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return int(text.count(QChar('\n')) + 1) * w->fontMetrics().height();
}

void FitDialogTexts(QWidget* dialog) {
    if (!dialog) return;
    const QList<QWidget*> all = dialog->findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (w->isHidden()) continue;
        const int need = TextWidthNeeded(w), high = TextHeightNeeded(w);
        if (need > w->width() || high > w->height())
            w->resize(std::max(need, w->width()), std::max(high, w->height()));
    }
    // Deepest first: each parent below the dialog holds its controls, as far from its right
    // edge as the control stands from its left one.
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        QWidget* w = *it;
        QWidget* parent = w->parentWidget();
        if (!parent || parent == dialog || w->isWindow() || w->isHidden()) continue;
        const int right = w->x() + w->width() + std::max(w->x(), 0);
        if (right > parent->width()) parent->resize(right, parent->height());
    }
    // The dialog keeps the smallest left inset of its controls on its right side too.
    int inset = dialog->width(), right = 0, bottom = 0;
    for (QWidget* w : all) {
        if (w->parentWidget() != dialog || w->isWindow() || w->isHidden()) continue;
        inset = std::min(inset, std::max(w->x(), 0));
        right = std::max(right, w->x() + w->width());
        bottom = std::max(bottom, w->y() + w->height());
    }
    const int width = std::max(dialog->width(), right + inset);
    const int height = std::max(dialog->height(), bottom + inset);
    if (width == dialog->width() && height == dialog->height()) return;
    if (dialog->minimumSize() == dialog->maximumSize())
        dialog->setFixedSize(width, height);
    else
        dialog->resize(width, height);
}

}  // namespace hqlv::mahjong
