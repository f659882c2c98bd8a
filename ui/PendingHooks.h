#pragma once
#include <windows.h>

#include <string>

class SetupContext;

// What the windows need from start-up and install steps that are built
// elsewhere. Each is a small stand-in until those land; the windows call
// only these names, so wiring the real operations is a one-line change here.

// A security scanner's scan mutex exists (the pre-checks' IsScanInProgress).
BOOL ScanRunningForWindow();
// The blocking scan notice owned by the main window (the pre-checks'
// ScanNotice): retry while the scan runs, or ignore.
void ShowScanNoticeOwnedBy(HWND owner);
// A process named like the product's main executable runs (the stop step's
// IsProductRunning).
BOOL ProductRunningForTexts();
// The Run entry, written when the finished page's box asks for it (the
// registry step's WriteAutoStartEntry). Does nothing yet.
void WriteAutoStartEntryNow(SetupContext& context);
// Until the setup context fills itself: the "/D=" folder, else the default
// folder under Program Files. Leaves a folder already set alone.
void FillInstallFolderIfUnset(SetupContext& context, const std::wstring& installDirOverride);
