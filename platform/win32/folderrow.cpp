#include "platform/win32/folderrow.h"

#include <algorithm>
#include <string>

#include "platform/win32/dpi.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

// In pixels at 96 DPI.
constexpr int kFolderGlyph = 16;
constexpr int kFolderIndent = 10;
constexpr int kFolderMargin = 2;
constexpr int kFolderTextGap = 3;
constexpr int kFolderTextPadding = 2;

// A folder glyph on a 16-unit grid drawn at `size` pixels: a tab and a body, and for an
// open folder the front flap tipped forward.
void DrawFolderGlyph(HDC dc, int x, int y, int size, bool open) {
  const auto at = [&](int gridX, int gridY) {
    return POINT{x + ScaleRounded(gridX, size, 16), y + ScaleRounded(gridY, size, 16)};
  };
  const Pen edge(CreatePen(PS_SOLID, std::max(1, size / 16), RGB(128, 96, 0)));
  const Brush back(CreateSolidBrush(open ? RGB(216, 168, 40) : RGB(255, 208, 80)));
  const Brush front(CreateSolidBrush(RGB(255, 232, 128)));
  // Selected after they are made, so put back before they are deleted.
  const SelectedObject pen(dc, edge.get());
  const SelectedObject brush(dc, back.get());
  const POINT body[] = {at(1, 3), at(6, 3), at(7, 4), at(14, 4), at(14, 13), at(1, 13)};
  Polygon(dc, body, 6);
  if (open) {
    SelectObject(dc, front.get());
    const POINT flap[] = {at(3, 7), at(16, 7), at(14, 13), at(1, 13)};
    Polygon(dc, flap, 4);
  }
}

}  // namespace

int FolderRowHeight(HFONT font, int dpi) {
  return std::max(LineHeight(font), ScalePixels(kFolderGlyph, dpi)) + ScalePixels(2, dpi);
}

void DrawFolderRow(const DRAWITEMSTRUCT& item, const FolderList& folders, int dpi) {
  const HDC dc = item.hDC;
  FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
  if (item.itemID == static_cast<UINT>(-1)) {
    return;
  }
  const int row = static_cast<int>(item.itemID);
  const int index = FolderIndexOfRow(folders, row);
  // Each ancestor one step further in; the subfolders one step beyond the open folder.
  const int steps = std::min(row, folders.AncestorCount() + 1);

  const int glyph = ScalePixels(kFolderGlyph, dpi);
  const int x =
      item.rcItem.left + ScalePixels(kFolderMargin, dpi) + steps * ScalePixels(kFolderIndent, dpi);
  const int rowHeight = item.rcItem.bottom - item.rcItem.top;
  DrawFolderGlyph(dc, x, item.rcItem.top + (rowHeight - glyph) / 2, glyph, index < 0);

  const std::wstring name = Widen(folders.NameAt(index));
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
  const SelectedObject selectedFont(dc, font);
  const int padding = ScalePixels(kFolderTextPadding, dpi);
  RECT text = item.rcItem;
  text.left = x + glyph + ScalePixels(kFolderTextGap, dpi);
  text.right = text.left + TextWidth(font, name) + 2 * padding;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &text, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT inner = text;
  inner.left += padding;
  DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &inner,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    DrawFocusRect(dc, &text);
  }
}

}  // namespace platform::win32
