#pragma once
#include <windows.h>

// Runs one of the shell's own context-menu verbs on a file inside the running
// desktop shell, found by its display text in shell32's string table. A shell
// without that verb (other texts, or no desktop shell) is skipped silently.
enum ShellPinVerb { kPinVerb = 0, kUnpinVerb = 1 };

void InvokeTaskbarVerb(ShellPinVerb which, const wchar_t* filePath);
void InvokeStartVerb(ShellPinVerb which, const wchar_t* filePath);
