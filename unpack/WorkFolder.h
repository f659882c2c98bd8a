#pragma once
#include <windows.h>

// The elevated run's own folder for everything it unpacks: under the
// system's temporary folder, open to Administrators and SYSTEM only, and
// held open (not deletable, not renamable) until RemoveWorkFolder.
// Once it exists, MakeTempPath names paths inside it.

// Creates the folder under a fresh "{GUID}.tmp" name; an existing name is
// never taken over. False when none could be made: from then on the run has
// no temporary place at all (WorkFolderRequired), rather than the user's.
bool CreateWorkFolder();

// True once CreateWorkFolder was asked for: an elevated run never falls back
// to the user's temporary folder, before the folder exists or after it went.
bool WorkFolderRequired();

// The folder with a trailing backslash, or "" when there is none.
const wchar_t* WorkFolderPath();

// Removes the folder and everything in it, links as links; what is still in
// use goes at the next restart.
void RemoveWorkFolder();
