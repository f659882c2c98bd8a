#include "util/TokenRights.h"

#include "util/SystemSeam.h"

BOOL IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return FALSE;
  }
  BOOL member = FALSE;
  if (!Seam().CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  ::FreeSid(administrators);
  return member;
}

BOOL IsElevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return FALSE;
  DWORD elevation = 0;
  DWORD returned = 0;
  BOOL read = Seam().GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation),
                                         &returned);
  ::CloseHandle(token);
  return read && elevation != 0;
}
