#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"

// The installer's windows as a user meets them: found by the controls they
// carry, clicked with real mouse messages, read back as texts, sizes,
// visibility and drawn colours.

std::vector<HWND> VisibleWindowsOf(DWORD processId);
// A top-level window of processId with a child of this id (visible, unless
// visible is false); null after the time-out, or once process (if given) ended.
HWND WaitForProcessWindowWith(DWORD processId, int controlId, DWORD timeoutMs = 60000,
                              bool visible = true, HANDLE process = nullptr);
bool IsMessageBox(HWND window);

HWND Control(HWND dialog, int id);
std::wstring ControlText(HWND dialog, int id);
bool ControlVisible(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
bool ControlChecked(HWND dialog, int id);
// The control's rectangle in its dialog's client coordinates.
RECT ControlRect(HWND dialog, int id);
SIZE ClientSize(HWND window);
// A left click in the middle of the control (button down and up, posted).
void ClickControl(HWND dialog, int id);
// Waits until condition() holds; false after the time-out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 60000);
bool WaitForText(HWND dialog, int id, const std::wstring& text, DWORD timeoutMs = 60000);
bool WaitForVisible(HWND dialog, int id, bool visible, DWORD timeoutMs = 60000);
// How many pixels of the control as drawn on screen have exactly this colour.
int CountScreenPixels(HWND dialog, int id, COLORREF colour);
// The visible message box owned by owner; null after the time-out.
HWND WaitForOwnedMessageBox(HWND owner, DWORD timeoutMs = 60000);
std::wstring MessageBoxText(HWND box);
void AnswerMessageBox(HWND box, int button);

// What differs from the damaged-package page (offering only to exit, its
// status line in red, no other page's controls); "" when it is that page.
std::wstring DamagedPackagePageFaults(HWND main);

// A fresh install on screen: accepts the agreement and waits until the main
// window offers "立即安装", enabled. The main window, or null.
class InstallerRun;
HWND AcceptAgreementAndWaitUntilReady(const InstallerRun& run);
