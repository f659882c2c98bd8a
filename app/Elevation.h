#pragma once
#include <windows.h>

// Makes sure the installer runs with administrator rights: relaunches itself
// through the elevation prompt with "/restart" appended. Returns 1 when the
// elevated copy was started (this process then exits with 0), 0 to go on
// here, with GreenMode set when the user declined or the copy still lacks
// the rights.
int Elevate(const wchar_t* argumentString, int showCommand);

// The process holds administrator rights: a member of Administrators, or an
// elevated token on Windows Vista and later.
bool HasAdministratorRights();
