#pragma once
// The pop-up grid of face pictures the chat's face button opens: every "<n>.bmp" of the
// face folder (n above 0; files the user cannot write are left out) as a 24 by 24 cell,
// ten to a row, with its remark from face.ini as tooltip. A click hides the grid and tells
// the owner view the face number (message 0x85B7).
#include <QWidget>

#include <string>
#include <vector>

#include "platform/core/message.h"

namespace hqlv::framework {

class CSkinButton;

inline constexpr uint32_t kMsgOwnFace = 0x85B7;  // w: face number
inline constexpr int kFaceCell = 24;
inline constexpr int kFaceColumns = 10;
inline constexpr int kFaceMax = 256;

class CFacePickerWnd : public QWidget {
public:
    explicit CFacePickerWnd(QWidget* parent = nullptr);

    void SetOwner(platform::Handle view) { owner_ = view; }
    void SetFaceFolder(const std::string& folder);
    // Reads the folder again; the number of faces now shown. The grid reads it by itself
    // the first time it is shown.
    int LoadFaces();
    void GetSize(int* width, int* height) const;
    int faceCount() const { return int(cells_.size()); }
    const std::vector<int>& faceNumbers() const { return numbers_; }
    CSkinButton* cell(int i) const {
        return i >= 0 && i < faceCount() ? cells_[size_t(i)] : nullptr;
    }
    // Places the grid so its bottom-right corner is at `corner` (global) and shows it.
    void ShowAt(const QPoint& corner);
    // A face chosen: hide and tell the owner.
    void OnFaceClicked(int face);

protected:
    bool event(QEvent* e) override;

private:
    void AddFace(int index, int face, const QImage& bitmap);

    platform::Handle owner_ = 0;
    std::string folder_;
    std::vector<CSkinButton*> cells_;
    std::vector<int> numbers_;
    bool loaded_ = false;
};

// The face number a file name stands for: its leading decimal number, 0 when none.
int FaceNumberOfFile(const std::string& name);

}  // namespace hqlv::framework
