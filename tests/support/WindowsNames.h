#pragma once
// The names a user or an administrator meets on a machine with the product,
// as Windows shows them: a typo in the installer's own copy must fail a test.
namespace names {
inline constexpr wchar_t kName[] = L"KelvoAI云盘同步版";
inline constexpr wchar_t kFormerName[] = L"Kelvo安全云盘同步版";
inline constexpr wchar_t kMainExe[] = L"KelvoCloudEnterpriseSync.exe";
inline constexpr wchar_t kInstallerTitle[] = L"欢迎使用 KelvoAI云盘同步版";
inline constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo企业云盘同步版";
inline constexpr wchar_t kAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoCloudEnterpriseSync.exe";
inline constexpr wchar_t kSuiteAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Kelvosafe.exe";
inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Kelvocloudenterprisebox";
}  // namespace names
