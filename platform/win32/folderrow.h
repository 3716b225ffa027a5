// The rows of the window's folder list (an owner-drawn list box): which entry a row
// shows, how tall a row is, and how one is painted - the entry's name behind a folder
// glyph, indented one step per level like a directory tree.
#pragma once

#include <windows.h>

#include "platform/folderlists.h"

namespace platform::win32 {

// Rows, top to bottom: the root, each further ancestor, the open folder, its
// subfolders. FolderRowOf gives the row of a FolderList index, FolderIndexOfRow the
// index of a row.
inline int FolderRowOf(const FolderList& folders, int index) {
  return index + folders.AncestorCount() + 1;
}
inline int FolderIndexOfRow(const FolderList& folders, int row) {
  return row - (folders.AncestorCount() + 1);
}

// A row's height in the list's `font` at `dpi`: the taller of a line and the glyph.
int FolderRowHeight(HFONT font, int dpi);

// Paints the row `item` asks for (WM_DRAWITEM) from `folders`, at `dpi`, in the list's
// font: open-folder glyphs down to the open folder, closed ones for its subfolders; the
// name highlighted when the row is selected, with a focus rectangle when it has focus.
void DrawFolderRow(const DRAWITEMSTRUCT& item, const FolderList& folders, int dpi);

}  // namespace platform::win32
