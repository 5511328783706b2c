#include "framework/widgets/face_picker.h"

#include <QCursor>
#include <QEvent>
#include <QImage>

#include <sys/stat.h>

#include <algorithm>
#include <climits>

#include "framework/widgets/skin_button.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/ui/cursor.h"
#include "platform/ui/draw_context.h"

namespace hqlv::framework {

int FaceNumberOfFile(const std::string& name) {
    int64_t n = 0;
    for (char c : name) {
        if (c < '0' || c > '9') break;
        n = std::min<int64_t>(n * 10 + (c - '0'), INT_MAX);
    }
    return int(n);
}

CFacePickerWnd::CFacePickerWnd(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {}

void CFacePickerWnd::SetFaceFolder(const std::string& folder) {
    folder_ = folder;
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

int CFacePickerWnd::LoadFaces() {
    loaded_ = true;
    for (CSkinButton* b : cells_) delete b;
    cells_.clear();
    numbers_.clear();
    if (folder_.empty()) return 0;
    for (const std::string& name : platform::listFolder(folder_)) {
        if (int(cells_.size()) >= kFaceMax) break;
        if (name.size() < 4) continue;
        std::string ext = name.substr(name.size() - 4);
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext != ".bmp") continue;
        std::string path = folder_ + name;
        // A file its owner may not write stands for the read-only attribute.
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || (st.st_mode & S_IWUSR) == 0) continue;
        int face = FaceNumberOfFile(name);
        if (face <= 0) continue;
        std::optional<QImage> image = platform::ui::LoadBitmapFile(path);
        if (!image || image->isNull()) continue;
        AddFace(int(cells_.size()), face, *image);
    }
    int w = 0, h = 0;
    GetSize(&w, &h);
    setFixedSize(std::max(w, 1), std::max(h, 1));
    return faceCount();
}

void CFacePickerWnd::AddFace(int index, int face, const QImage& bitmap) {
    // The settings reader hands GBK files over as UTF-8 already.
    std::string remark =
        platform::profileString("Remark", std::to_string(face), "", folder_ + "face.ini");
    if (remark.size() > 254) remark = remark.substr(0, 254);
    // White is the transparent colour of the face pictures.
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((row[x] & 0xFFFFFF) == 0xFFFFFF) row[x] = 0;
    }
    auto* cell = new CSkinButton(this);
    cell->setGeometry(index % kFaceColumns * kFaceCell, index / kFaceColumns * kFaceCell, kFaceCell,
                      kFaceCell);
    cell->SetImages(image, std::nullopt);
    cell->SetColor(CSkinButton::kBkIn, 0xFFFFFF, false);
    cell->SetColor(CSkinButton::kBkOut, 0xFFFFFF, false);
    cell->SetColor(CSkinButton::kBkFocus, 0xFFFFFF, false);
    cell->SetTooltipText(remark);
    cell->setProperty("face", face);
    connect(cell, &QAbstractButton::clicked, this, [this, face] { OnFaceClicked(face); });
    cells_.push_back(cell);
    numbers_.push_back(face);
}

void CFacePickerWnd::GetSize(int* width, int* height) const {
    *width = kFaceCell * kFaceColumns;
    *height = kFaceCell * ((faceCount() + kFaceColumns - 1) / kFaceColumns);
}

void CFacePickerWnd::ShowAt(const QPoint& corner) {
    // The faces belong to the grid's making: its size is theirs before it is placed. Reading
    // up to 256 pictures takes a moment, which the wait cursor shows, as at the making.
    if (!loaded_) {
        platform::ui::WaitCursor wait;
        LoadFaces();
    }
    move(corner.x() - width(), corner.y() - height());
    show();
    raise();
}

void CFacePickerWnd::OnFaceClicked(int face) {
    hide();
    platform::Message m;
    m.id = kMsgOwnFace;
    m.w = uintptr_t(face);
    if (owner_) platform::post(owner_, m);
}

bool CFacePickerWnd::event(QEvent* e) {
    // Losing the focus hides the grid unless the pointer is inside it.
    if (e->type() == QEvent::WindowDeactivate && !geometry().contains(QCursor::pos())) hide();
    return QWidget::event(e);
}

}  // namespace hqlv::framework
