#pragma once
#include <windows.h>

// Gives the target folder and everything below it the DACL of the source
// folder. Only on Windows Vista and later and only where both drives keep
// ACLs. True when the source's DACL was read (whether or not every set worked).
bool CopyFolderDacl(const wchar_t* targetFolder, const wchar_t* sourceFolder);

// Whether CopyFolderDacl sets the DACL over the tree for these folders:
// Windows Vista or later, both drives keep ACLs, and the source has a DACL
// that can be read.
bool FolderDaclApplies(const wchar_t* targetFolder, const wchar_t* sourceFolder);

// Whether the drive of path keeps permissions (NTFS does, FAT does not).
bool DriveKeepsAcls(const wchar_t* path);

// Everything below folder drops what permissions it brought along (a move
// within a drive keeps them) and takes those folder hands down.
void InheritDaclBelow(const wchar_t* folder);
