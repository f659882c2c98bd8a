#pragma once
#include <windows.h>

#include <string>

// The built installer loaded as a resource module, as the installer uses its
// own executable's resources.
class InstallerModule {
 public:
  explicit InstallerModule(const std::wstring& path = std::wstring());  // "": the built installer
  ~InstallerModule();
  InstallerModule(const InstallerModule&) = delete;
  InstallerModule& operator=(const InstallerModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// The bytes of one resource of the built installer.
std::string InstallerResourceBytes(const wchar_t* name, const wchar_t* type);
// A copy of the built installer in folder with one resource replaced by
// bytes. Its path, or "".
std::wstring CopyInstallerWithResource(const std::wstring& folder, const wchar_t* name,
                                       const wchar_t* type, const std::string& bytes);
