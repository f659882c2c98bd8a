#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

class SetupContext;
struct RetiredFile;

// The product's shell-extension and toolbar DLLs, registered as COM servers.
namespace shell_ext {
inline constexpr wchar_t kShellExt[] = L"KelvoEnterpriseShellExt.dll";
inline constexpr wchar_t kShellExt64[] = L"KelvoEnterpriseShellExt64.dll";
inline constexpr wchar_t kBar[] = L"KelvoCloudEnterpriseBar.dll";
inline constexpr wchar_t kBar64[] = L"KelvoCloudEnterpriseBar64.dll";
}  // namespace shell_ext

// Frees a file name of the install folder for the file extraction brings:
// deletes it, or, when it cannot be deleted (loaded by the shell), moves it
// to "<name>.bak". With retired, a deleted file is copied to the temporary
// folder first and *retired says how to bring it back. Returns the full path.
std::wstring RetireFile(const SetupContext& context, const wchar_t* fileName,
                        RetiredFile* retired = nullptr);

// "<system folder>\regsvr32.exe /s ", built once; empty while the system
// folder cannot be read. A DLL's quoted path follows it.
const wchar_t* RegistrationPrefix();

// Registers DLLs of the install folder through regsvr32 in the order given,
// each falling back to its DllInstall; the results in that order, FALSE
// where the file is missing or neither route succeeded.
std::vector<BOOL> RegisterDlls(const SetupContext& context,
                               std::initializer_list<const wchar_t*> fileNames);

// The oldest toolbar that still works with the new shell extension.
std::wstring MinimumToolbarVersion(HMODULE resources);
