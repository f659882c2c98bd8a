#pragma once

// Registry records that describe the installed product, and the one record of
// the maker's security suite the installer reads.
namespace registry_names {

inline constexpr wchar_t kAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoCloudEnterpriseSync.exe";
inline constexpr wchar_t kSuiteAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Kelvosafe.exe";
inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Kelvocloudenterprisebox";

inline constexpr wchar_t kPublisher[] = L"Kelvo安全中心";
// The maker's home page, shown by the system's program list.
inline constexpr wchar_t kMakerHomePage[] = L"https://kelvo.com";
static_assert(sizeof(kMakerHomePage) / sizeof(wchar_t) - 1 == 17, "the address has 17 characters");

// Folders of a default installation: <maker's folder>\Kelvopeltbox.
inline constexpr wchar_t kMakerFolder[] = L"Kelvo";
inline constexpr wchar_t kDefaultFolderName[] = L"Kelvopeltbox";
inline constexpr wchar_t kUninstaller[] = L"uninstall.exe";

}  // namespace registry_names
