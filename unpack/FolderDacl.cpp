#include "unpack/FolderDacl.h"

#include <aclapi.h>
#include <shlwapi.h>

#include <string>

#include "util/StandardOutput.h"
#include "util/SystemSeam.h"
#include "util/WindowsVersion.h"

namespace {

bool DriveKeepsAcls(const wchar_t* path) {
  wchar_t root[4] = {path[0], L':', L'\\', L'\0'};
  DWORD flags = 0;
  if (!::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    return false;
  }
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

void SetDacl(const std::wstring& path, PACL dacl) {
  DWORD error = ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                        DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
  if (error != ERROR_SUCCESS) WriteStandardOutputLine(L"SetNamedSecurityInfo Error %u\n", error);
}

// A link (junction, symbolic link) is left alone: setting a DACL on it sets
// it on what it points to, maybe a folder of the system's.
void ApplyDaclToTree(const std::wstring& path, PACL dacl) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  SetDacl(path, dacl);
  WIN32_FIND_DATAW found;
  HANDLE search = Seam().FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      continue;
    }
    std::wstring child = path + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ApplyDaclToTree(child, dacl);
    } else {
      SetDacl(child, dacl);
    }
  } while (Seam().FindNextFileW(search, &found));
  ::FindClose(search);
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
