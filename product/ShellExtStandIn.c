// Stand-in for the shell extension and toolbar DLLs. One source serves all
// four: each copy records registration under its own file name, so the tests
// can tell which DLL was registered, and by which entry point.
#include <windows.h>
#include <ole2.h>
#include <shlwapi.h>
#include <stdio.h>

static const wchar_t kRegisteredKey[] = L"Software\\KelvoStandIn\\Registered";
static const wchar_t kRegisteredAtKey[] = L"Software\\KelvoStandIn\\RegisteredAt";
static HMODULE self;

// The entry point itself: linked without the C runtime's start-up code,
// which has nothing to build here.
BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    self = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

static const wchar_t* OwnFileName(wchar_t* path) {
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return NULL;
  return PathFindFileNameW(path);
}

static LONG SetText(const wchar_t* keyName, const wchar_t* name, const wchar_t* text) {
  HKEY key = NULL;
  LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                                NULL);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text,
                          (DWORD)((lstrlenW(text) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status;
}

// How, and when: the machine's tick counter, zero-padded so that the texts
// of the DLLs registered one after the other sort in that order.
static HRESULT Record(const wchar_t* how) {
  wchar_t path[MAX_PATH], when[32];
  const wchar_t* name = OwnFileName(path);
  if (!name) return E_FAIL;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  _snwprintf(when, 31, L"%020I64u", (unsigned long long)now.QuadPart);
  when[31] = L'\0';
  SetText(kRegisteredAtKey, name, when);
  LONG status = SetText(kRegisteredKey, name, how);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

static HRESULT Forget(void) {
  wchar_t path[MAX_PATH];
  const wchar_t* name = OwnFileName(path);
  if (!name) return E_FAIL;
  HKEY key = NULL;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRegisteredKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return S_OK;  // never registered
  }
  RegDeleteValueW(key, name);
  RegCloseKey(key);
  return S_OK;
}

// Lets the tests play a DLL that regsvr32 cannot register while its own
// installer entry still works: regsvr32 inherits the test's environment,
// "1" for every DLL or the file names of those that refuse.
STDAPI DllRegisterServer(void) {
  wchar_t refusing[512], path[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"KELVO_STANDIN_REGISTER_FAILS", refusing, 512);
  const wchar_t* name = OwnFileName(path);
  if (length >= 512 || (length > 0 && (lstrcmpW(refusing, L"1") == 0 ||
                                       (name && StrStrIW(refusing, name))))) {
    return E_FAIL;
  }
  return Record(L"DllRegisterServer");
}

STDAPI DllUnregisterServer(void) { return Forget(); }

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  return install ? Record(L"DllInstall") : Forget();
}

STDAPI DllCanUnloadNow(void) { return S_OK; }

STDAPI DllGetClassObject(REFCLSID classId, REFIID interfaceId, LPVOID* object) {
  if (object) *object = NULL;
  return CLASS_E_CLASSNOTAVAILABLE;
}
