#pragma once

// Names the installer shares with the product and with earlier installations.
namespace product {

inline constexpr wchar_t kName[] = L"KelvoAI云盘同步版";
inline constexpr wchar_t kFormerName[] = L"Kelvo安全云盘同步版";
inline constexpr wchar_t kMainExe[] = L"KelvoCloudEnterpriseSync.exe";

// The uninstall entry keeps the product's first registry name for good.
inline constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo企业云盘同步版";

// One name serves as the single-instance mutex, the installer's window title
// and every message-box caption of the start-up checks.
inline constexpr wchar_t kInstallerTitle[] = L"欢迎使用 KelvoAI云盘同步版";

}  // namespace product
