#pragma once
#include <windows.h>

// Where the security suite's setup programs are downloaded from.
extern const wchar_t kSuiteDownloadHost[];

// The download address the corrupted-file report opens: the suite's stable
// setup when its installed "Kelvover.dll" is trusted and says it is no beta,
// the beta setup otherwise.
const wchar_t* SuiteDownloadAddress();
