// The shell's file icons: the small and large system image lists and the
// index of the icon for a file, folder or file name, found with SHGetFileInfoA.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace htmlabel {

// The system image list of small or large file icons (not to be destroyed),
// or null.
HIMAGELIST SystemImageList(bool large);

// The index of the icon of an existing file or folder (by its own
// attributes), or of any other name taken as a file name of that kind; -1
// when the shell knows none. The answer for a name is kept for the process.
int SystemIconIndexOf(const std::string& name, bool large);

// Draws icon index of the small or large system image list transparently
// into rect of dc (stretched when rect differs from the icon size). Each
// icon is drawn by the image list once, over black and over white, into a
// copy with its coverage as alpha; later calls blend that copy (the image
// list's own drawing costs far more under Wine).
void DrawSystemIconAt(int index, bool large, HDC dc, const RECT& rect);

}  // namespace htmlabel
