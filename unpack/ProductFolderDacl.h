#pragma once
#include <windows.h>

#include <string>

// Gives the product folder permissions of its own, wherever it lies:
// Administrators (also its owner), SYSTEM and, from Windows Vista,
// TrustedInstaller may change it; everyone else may read and run what is in
// it. Protected from the parent folder's and handed down to everything in
// it, to what is already there too. False where the drive keeps no
// permissions or they cannot be set.
bool ProtectProductFolder(const wchar_t* folder);

// Whether the product folder lies in the maker's common folder ("Kelvo")
// right under Program Files, which only administrators may change: that one
// lends the product folder its permissions instead. Names it in commonFolder.
bool InMakersCommonFolder(const std::wstring& productFolder, std::wstring* commonFolder);
