#include "unpack/FolderDacl.h"

#include <aclapi.h>
#include <shlwapi.h>

#include <string>

#include "util/StandardOutput.h"
#include "util/SystemSeam.h"
#include "util/WindowsVersion.h"

bool DriveKeepsAcls(const wchar_t* path) {
  wchar_t root[4] = {path[0], L':', L'\\', L'\0'};
  DWORD flags = 0;
  if (!::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    return false;
  }
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

namespace {

void SetDacl(const std::wstring& path, PACL dacl, SECURITY_INFORMATION how) {
  DWORD error = Seam().SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                             how, nullptr, nullptr, dacl, nullptr);
  if (error != ERROR_SUCCESS) WriteStandardOutputLine(L"SetNamedSecurityInfo Error %u\n", error);
}

// Every file and folder below path, each folder before what it holds. A
// link (junction, symbolic link) is passed by: setting a DACL on it sets it
// on what it points to, maybe a folder of the system's.
void ApplyDaclBelow(const std::wstring& path, PACL dacl, SECURITY_INFORMATION how) {
  WIN32_FIND_DATAW found;
  HANDLE search = Seam().FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      continue;
    }
    std::wstring child = path + L"\\" + name;
    SetDacl(child, dacl, how);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ApplyDaclBelow(child, dacl, how);
  } while (Seam().FindNextFileW(search, &found));
  ::FindClose(search);
}

void ApplyDaclToTree(const std::wstring& path, PACL dacl) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  SetDacl(path, dacl, DACL_SECURITY_INFORMATION);
  ApplyDaclBelow(path, dacl, DACL_SECURITY_INFORMATION);
}

bool DrivesKeepAcls(const wchar_t* targetFolder, const wchar_t* sourceFolder) {
  if (!targetFolder || !*targetFolder || !sourceFolder || !*sourceFolder) return false;
  if (WindowsMajorVersion() < 6) return false;
  return DriveKeepsAcls(targetFolder) && DriveKeepsAcls(sourceFolder);
}

}  // namespace

bool FolderDaclApplies(const wchar_t* targetFolder, const wchar_t* sourceFolder) {
  if (!DrivesKeepAcls(targetFolder, sourceFolder)) return false;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  bool present = ::GetNamedSecurityInfoW(sourceFolder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, &dacl, nullptr,
                                         &descriptor) == ERROR_SUCCESS &&
                 dacl;
  if (descriptor) ::LocalFree(descriptor);
  return present;
}

bool CopyFolderDacl(const wchar_t* targetFolder, const wchar_t* sourceFolder) {
  if (!DrivesKeepAcls(targetFolder, sourceFolder)) return false;

  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(sourceFolder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) == ERROR_SUCCESS &&
      dacl) {
    ApplyDaclToTree(targetFolder, dacl);
  }
  if (descriptor) ::LocalFree(descriptor);
  return true;
}

void InheritDaclBelow(const wchar_t* folder) {
  // No entry of its own: each item has what its folder hands down.
  ACL none;
  if (!::InitializeAcl(&none, sizeof(none), ACL_REVISION)) return;
  ApplyDaclBelow(folder, &none, DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION);
}
