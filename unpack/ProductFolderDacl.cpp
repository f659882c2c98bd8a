#include "unpack/ProductFolderDacl.h"

#include <aclapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include "unpack/FolderDacl.h"
#include "util/SystemSeam.h"
#include "util/WindowsVersion.h"

namespace {

class WellKnownSid {
 public:
  WellKnownSid(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1 = 0,
               DWORD s2 = 0, DWORD s3 = 0, DWORD s4 = 0, DWORD s5 = 0) {
    if (!::AllocateAndInitializeSid(&authority, count, s0, s1, s2, s3, s4, s5, 0, 0, &sid_)) {
      sid_ = nullptr;
    }
  }
  ~WellKnownSid() {
    if (sid_) ::FreeSid(sid_);
  }
  WellKnownSid(const WellKnownSid&) = delete;
  WellKnownSid& operator=(const WellKnownSid&) = delete;
  PSID get() const { return sid_; }

 private:
  PSID sid_ = nullptr;
};

constexpr SID_IDENTIFIER_AUTHORITY kNtAuthority = SECURITY_NT_AUTHORITY;
constexpr SID_IDENTIFIER_AUTHORITY kWorldAuthority = SECURITY_WORLD_SID_AUTHORITY;
constexpr DWORD kReadAndRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
constexpr DWORD kHandedDown = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

bool Allow(PACL acl, PSID sid, DWORD access) {
  return sid && ::AddAccessAllowedAceEx(acl, ACL_REVISION, kHandedDown, access, sid);
}

}  // namespace

bool ProtectProductFolder(const wchar_t* folder) {
  if (!folder || !*folder || !DriveKeepsAcls(folder)) return false;
  WellKnownSid administrators(kNtAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                              DOMAIN_ALIAS_RID_ADMINS);
  WellKnownSid system(kNtAuthority, 1, SECURITY_LOCAL_SYSTEM_RID);
  WellKnownSid trustedInstaller(kNtAuthority, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885,
                                3418522649, 1831038044, 1853292631, 2271478464);
  WellKnownSid everyone(kWorldAuthority, 1, SECURITY_WORLD_RID);

  DWORD buffer[128];  // four entries need about 150 bytes
  PACL acl = reinterpret_cast<PACL>(buffer);
  if (!::InitializeAcl(acl, sizeof(buffer), ACL_REVISION) ||
      !Allow(acl, administrators.get(), FILE_ALL_ACCESS) ||
      !Allow(acl, system.get(), FILE_ALL_ACCESS) ||
      (IsVistaOrLater() && !Allow(acl, trustedInstaller.get(), FILE_ALL_ACCESS)) ||
      !Allow(acl, everyone.get(), kReadAndRun)) {
    return false;
  }
  // A folder somebody made beforehand is theirs: an owner may always change
  // the permissions, so Administrators take it over first.
  wchar_t* path = const_cast<wchar_t*>(folder);
  constexpr SECURITY_INFORMATION kProtectedDacl =
      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
  if (Seam().SetNamedSecurityInfoW(path, SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | kProtectedDacl,
                                   administrators.get(), nullptr, acl, nullptr) == ERROR_SUCCESS) {
    return true;
  }
  return Seam().SetNamedSecurityInfoW(path, SE_FILE_OBJECT, kProtectedDacl, nullptr, nullptr, acl,
                                      nullptr) == ERROR_SUCCESS;
}

bool InMakersCommonFolder(const std::wstring& productFolder, std::wstring* commonFolder) {
  wchar_t parent[MAX_PATH] = {};
  wcsncpy(parent, productFolder.c_str(), MAX_PATH - 1);
  ::PathRemoveFileSpecW(parent);
  size_t length = wcslen(parent);
  if (length < 5 || wcscmp(parent + length - 5, L"Kelvo") != 0) return false;
  *commonFolder = parent;
  wchar_t programFiles[MAX_PATH] = {};
  ::PathRemoveFileSpecW(parent);
  return ::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE) &&
         lstrcmpiW(parent, programFiles) == 0;
}
