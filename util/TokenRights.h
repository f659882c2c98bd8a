#pragma once
#include <windows.h>

// The effective token is a member of the built-in Administrators group.
BOOL IsAdministrator();

// The process token is elevated (TokenElevation); FALSE on any failure.
BOOL IsElevated();
