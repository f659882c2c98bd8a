#pragma once
#include <windows.h>

// The product's folder in "Computer": a folder shortcut to the product's
// main executable under its own class id, also placed in the places bar of
// the common file dialogs.

namespace namespace_folder {
inline constexpr wchar_t kClassId[] = L"{0363E446-2A0C-4914-813F-E3FC8539879E}";
inline constexpr wchar_t kDisplayName[] = L"KelvoAI云盘-同步版";
inline constexpr wchar_t kUserClassKey[] =
    L"Software\\Classes\\CLSID\\{0363E446-2A0C-4914-813F-E3FC8539879E}";
inline constexpr wchar_t kRootClassKey[] = L"CLSID\\{0363E446-2A0C-4914-813F-E3FC8539879E}";
inline constexpr wchar_t kComputerEntryKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace\\"
    L"{0363E446-2A0C-4914-813F-E3FC8539879E}";
inline constexpr wchar_t kPlacesBarKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Comdlg32\\PlacesBar";
// Our folder inside Computer, as a places-bar entry.
inline constexpr wchar_t kOurPlace[] =
    L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{0363E446-2A0C-4914-813F-E3FC8539879E}";
// Where a "place0" we displaced is kept, with its type and bytes.
inline constexpr wchar_t kDisplacedPlace0[] = L"PeltBoxReplaceValue";
}  // namespace namespace_folder

// Whether the Computer entry exists and the class under HKEY_CLASSES_ROOT
// points at exePath with our tooltip.
BOOL IsNamespaceFolderRegistered(const wchar_t* exePath);

// The per-user half: the class under HKCU\Software\Classes and the places
// bar's first pass.
void RegisterNamespaceFolderPerUser(const wchar_t* exePath);

// Both halves, the places bar's second pass, the Computer entry and the
// shell notification.
void RegisterNamespaceFolder(const wchar_t* exePath);
