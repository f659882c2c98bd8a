#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

// The product stand-ins the build puts in build/<arch>/product, and the
// launch log they all append to.

// A built stand-in ("KelvoCloudEnterpriseSync.exe", "uninstall.exe",
// "KelvoEnterpriseShellExt64.dll", ...), as Wine sees it.
std::wstring StandInPath(const wchar_t* name);

// Rewrites a program's version resource so that its file and product version
// read as version ("a.b.c.d"); the strings follow. A signed program is signed
// again, as the maker's build would. The file must not be in use.
bool StampFileVersion(const std::wstring& path, const std::wstring& version);

// Copies the named stand-ins into folder (created if missing), each stamped
// with version, as an earlier or later install of the product would leave
// them. False when any copy or stamp fails.
bool MakeInstalledCopy(const std::wstring& folder, const std::wstring& version,
                       std::initializer_list<const wchar_t*> files);

// %APPDATA%\KelvoStandIn, where the stand-ins log and look for flag files.
std::wstring StandInDataFolder();

// The launch log, one entry per start: the command line as the stand-in saw
// it. Other tests start stand-ins at the same time, so look for a token of
// your own rather than counting lines.
std::vector<std::wstring> ReadLaunchLog();
// The log lines containing token.
std::vector<std::wstring> LaunchLogLinesWith(const std::wstring& token);
// Waits until a line containing token shows up; the line, or "" on timeout.
std::wstring WaitForLaunchLogLine(const std::wstring& token, DWORD timeoutMs = 20000);
// Empties the log. Only for tests that run alone: others may be reading it.
void ClearLaunchLog();

// Creates %APPDATA%\KelvoStandIn\<name> (e.g. "ignore-close", which makes the
// product deaf to WM_CLOSE) and removes it again. With onlyFor empty it
// applies to every stand-in started meanwhile, whichever test started it, so
// keep such an object short-lived; otherwise only to starts whose command
// line contains onlyFor. Holders of the same flag take turns.
class ScopedStandInFlag {
 public:
  explicit ScopedStandInFlag(const wchar_t* name, const std::wstring& onlyFor = std::wstring());
  ~ScopedStandInFlag();
  ScopedStandInFlag(const ScopedStandInFlag&) = delete;
  ScopedStandInFlag& operator=(const ScopedStandInFlag&) = delete;

 private:
  std::wstring path_;
  HANDLE mutex_ = nullptr;
};

// Tests that start the product or its intro program, or stop them by name,
// take turns: stopping the product ends every copy that runs, and "is the
// product running" sees them all.
class ProductProcessesTurn {
 public:
  ProductProcessesTurn();
  ~ProductProcessesTurn();
  ProductProcessesTurn(const ProductProcessesTurn&) = delete;
  ProductProcessesTurn& operator=(const ProductProcessesTurn&) = delete;

 private:
  HANDLE mutex_ = nullptr;
};

// Ends every running product and intro stand-in (left over by a test).
void EndProductProcesses();

// The stand-in shell DLLs record their registration in the real per-user
// hive under their file name, also when regsvr32 (a child process, outside
// any RegistrySandbox) registers them. Tests that register them take turns.
class ShellDllRegistrationTurn {
 public:
  ShellDllRegistrationTurn();
  ~ShellDllRegistrationTurn();
  ShellDllRegistrationTurn(const ShellDllRegistrationTurn&) = delete;
  ShellDllRegistrationTurn& operator=(const ShellDllRegistrationTurn&) = delete;

 private:
  HANDLE mutex_ = nullptr;
};
