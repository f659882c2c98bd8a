#pragma once
#include <windows.h>

// The folder picker behind the browse button: starts at the edit's folder,
// and on OK writes the chosen folder, after the product-folder rule, into
// the edit (whose EN_CHANGE re-runs the free-space check).
void BrowseForFolder(HWND owner, HWND pathEdit);
