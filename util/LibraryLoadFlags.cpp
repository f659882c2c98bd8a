#include "util/LibraryLoadFlags.h"

namespace {

// What Windows XP to 7 load by name on a program's behalf, after its static
// imports, for what this installer does: themes and the composited desktop
// for its windows, the shell's property store and compatibility checks,
// COM's class catalogue, the user profile, the crypto libraries other system
// libraries bind (our signature check uses none), file permissions, cabinets, NetBIOS and
// process lists. Where the loader cannot be told to search the system folder
// only, each is loaded here from there first: a later load by name then
// finds the loaded one and never looks beside the program. Absent ones
// (e.g. dwmapi on XP) are skipped.
constexpr const wchar_t* kLoadedByNameOnOurBehalf[] = {
    L"uxtheme.dll",   L"dwmapi.dll",   L"propsys.dll",  L"apphelp.dll",  L"clbcatq.dll",
    L"comres.dll",    L"oleacc.dll",   L"userenv.dll",  L"profapi.dll",  L"version.dll",
    L"cryptbase.dll", L"cryptsp.dll",  L"rsaenh.dll",   L"sspicli.dll",  L"secur32.dll",
    L"wintrust.dll",  L"crypt32.dll",  L"msasn1.dll",   L"ntmarta.dll",  L"setupapi.dll",
    L"cabinet.dll",   L"netapi32.dll", L"netutils.dll", L"srvcli.dll",   L"wkscli.dll",
    L"iphlpapi.dll",  L"ws2_32.dll",   L"dnsapi.dll",   L"psapi.dll",    L"msimg32.dll",
    L"winmm.dll",     L"linkinfo.dll", L"ntshrui.dll",  L"mpr.dll",      L"explorerframe.dll",
};

// Bound by name past the default directories even where the loader knows
// them, so loaded here first on every system: GDI+'s imaging codecs, which
// Wine's GDI+ binds late through its own delay imports.
constexpr const wchar_t* kBoundPastTheDefaultDirectories[] = {L"windowscodecs.dll"};

using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);

}  // namespace

DWORD SystemFolderOnlyLoadFlags() {
  // Looked up on the first call, at start-up; a thread racing it would only
  // store the same answer.
  constexpr LONG kNotLookedUp = -1;
  static volatile LONG flags = kNotLookedUp;
  if (flags == kNotLookedUp) {
    HMODULE kernel = ::GetModuleHandleW(L"Kernel32.dll");
    bool searchFlagsKnown = kernel && ::GetProcAddress(kernel, "AddDllDirectory");
    flags = searchFlagsKnown ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0;
  }
  return static_cast<DWORD>(flags);
}

DWORD SystemLibraryLoadFlags() {
  DWORD flags = SystemFolderOnlyLoadFlags();
  return flags ? flags : LOAD_WITH_ALTERED_SEARCH_PATH;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + ::lstrlenW(name) >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  ::lstrcpynW(path + length + 1, name, MAX_PATH - length - 1);
  return ::LoadLibraryExW(path, nullptr, SystemLibraryLoadFlags());
}

void LimitLibrarySearchToSystemFolder() {
  HMODULE kernel = ::GetModuleHandleW(L"Kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void*>(
      kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    // Takes the current folder out of the search; the program's own folder
    // stays first, hence the loads below, kept for the life of the process.
    ::SetDllDirectoryW(L"");
    for (const wchar_t* name : kLoadedByNameOnOurBehalf) LoadSystemLibrary(name);
  }
  for (const wchar_t* name : kBoundPastTheDefaultDirectories) LoadSystemLibrary(name);
}
