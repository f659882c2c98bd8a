#include "support/InstallerResources.h"

#include "support/InstallerRun.h"
#include "unpack/ResourceUnpack.h"

InstallerModule::InstallerModule(const std::wstring& path)
    : module_(::LoadLibraryExW((path.empty() ? BuiltProgram(L"KelvoSetup.exe") : path).c_str(),
                               nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

InstallerModule::~InstallerModule() {
  if (module_) ::FreeLibrary(module_);
}

std::string InstallerResourceBytes(const wchar_t* name, const wchar_t* type) {
  InstallerModule module;
  const BYTE* data = nullptr;
  LONG size = 0;
  if (!LoadResourceBytes(module.get(), name, type, &data, &size)) return std::string();
  return std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
}

std::wstring CopyInstallerWithResource(const std::wstring& folder, const wchar_t* name,
                                       const wchar_t* type, const std::string& bytes) {
  std::wstring copy = folder + L"\\KelvoSetupCopy.exe";
  if (!::CopyFileW(BuiltProgram(L"KelvoSetup.exe").c_str(), copy.c_str(), FALSE)) return L"";
  HANDLE update = ::BeginUpdateResourceW(copy.c_str(), FALSE);
  if (!update) return L"";
  BOOL ok = ::UpdateResourceW(update, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                              const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  return ::EndUpdateResourceW(update, !ok) && ok ? copy : L"";
}
