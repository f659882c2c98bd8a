#include "install/NamespaceFolder.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "install/SetupContext.h"

using namespace namespace_folder;

namespace {

constexpr REGSAM kWrite64 = KEY_WRITE | KEY_WOW64_64KEY;
constexpr wchar_t kInfoTip[] = L"个人知识助手";
constexpr wchar_t kShellDocObjectServer[] = L"%SystemRoot%\\system32\\shdocvw.dll";
constexpr wchar_t kFolderShortcutClass[] = L"{0AFACED1-E828-11D1-9187-B532F1E9575D}";
constexpr DWORD kFolderAttributes = 0xF8220000;
// Places-bar CSIDLs: recent items, desktop, documents, computer, network.
constexpr DWORD kPlaceRecent = 8;
constexpr DWORD kPlaceDesktop = 0;
constexpr DWORD kPlaceDocuments = 5;
constexpr DWORD kPlaceComputer = 17;
constexpr DWORD kPlaceNetwork = 18;

// Strings are stored without their terminating NUL.
void SetString(HKEY key, const wchar_t* name, const wchar_t* text, DWORD type = REG_SZ) {
  ::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(lstrlenW(text) * sizeof(wchar_t)));
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
  ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// How one class location opens its keys: the per-user one in the 64-bit
// view, the class root as it comes.
class ClassWriter {
 public:
  ClassWriter(HKEY root, std::wstring classKey, bool perUser)
      : root_(root), classKey_(std::move(classKey)), perUser_(perUser) {}

  HKEY Create(const wchar_t* subkey) const {
    std::wstring path = subkey ? classKey_ + L"\\" + subkey : classKey_;
    HKEY key = nullptr;
    LONG status = perUser_ ? ::RegCreateKeyExW(root_, path.c_str(), 0, nullptr, 0, kWrite64,
                                               nullptr, &key, nullptr)
                           : ::RegCreateKeyW(root_, path.c_str(), &key);
    return status == ERROR_SUCCESS ? key : nullptr;
  }

  // Every value of the folder class; a subkey that cannot be created is
  // skipped with its values.
  void WriteClass(HKEY classKey, const wchar_t* exePath) const {
    SetString(classKey, nullptr, kDisplayName);
    SetString(classKey, L"InfoTip", kInfoTip);
    SetString(classKey, L"TileInfo", L"prop:System.ItemAuthors");
    SetString(classKey, L"System.ItemAuthors", kInfoTip);
    if (HKEY key = Create(L"DefaultIcon")) {
      SetString(key, nullptr, exePath, REG_EXPAND_SZ);
      ::RegCloseKey(key);
    }
    if (HKEY key = Create(L"Shell\\Open\\Command")) {
      SetString(key, nullptr, exePath);
      ::RegCloseKey(key);
    }
    if (HKEY key = Create(L"InprocServer32")) {
      SetString(key, nullptr, kShellDocObjectServer, REG_EXPAND_SZ);
      SetString(key, L"ThreadingModel", L"Apartment");
      ::RegCloseKey(key);
    }
    if (HKEY key = Create(L"ShellFolder")) {
      SetDword(key, L"Attributes", kFolderAttributes);
      SetString(key, L"PinToNameSpaceTree", L"");
      ::RegCloseKey(key);
    }
    if (HKEY key = Create(L"Instance")) {
      SetString(key, L"CLSID", kFolderShortcutClass);
      ::RegCloseKey(key);
    }
    if (HKEY key = Create(L"Instance\\InitPropertyBag")) {
      SetString(key, L"Target", exePath);
      ::RegCloseKey(key);
    }
  }

 private:
  HKEY root_;
  std::wstring classKey_;
  bool perUser_;
};

// A registry string value read into a bounded buffer; false when missing,
// not a string or too long.
bool ReadString(HKEY key, const wchar_t* name, size_t maxChars, std::wstring* text,
                bool* exists = nullptr) {
  std::wstring buffer(maxChars + 1, L'\0');
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(maxChars * sizeof(wchar_t));
  LONG status = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]),
                                   &size);
  if (exists) *exists = status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  buffer.resize(size / sizeof(wchar_t));
  while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
  *text = buffer;
  return true;
}

bool IsOurPlace(HKEY placesBar, const wchar_t* name, bool* exists = nullptr) {
  std::wstring text;
  return ReadString(placesBar, name, 520, &text, exists) && lstrcmpiW(text.c_str(), kOurPlace) == 0;
}

void SetStandardPlaces(HKEY placesBar) {
  SetDword(placesBar, L"place1", kPlaceDesktop);
  SetDword(placesBar, L"place2", kPlaceDocuments);
  SetDword(placesBar, L"place3", kPlaceComputer);
}

// First pass: a fixed bar with our folder first, unless "place4" has it.
void WritePlacesBarFirstPass() {
  HKEY placesBar = nullptr;
  if (::RegCreateKeyW(HKEY_CURRENT_USER, kPlacesBarKey, &placesBar) != ERROR_SUCCESS) return;
  SetDword(placesBar, L"place0", kPlaceRecent);
  SetStandardPlaces(placesBar);
  if (!IsOurPlace(placesBar, L"place4")) SetString(placesBar, L"place0", kOurPlace);
  ::RegCloseKey(placesBar);
}

// Second pass: our folder moves from "place4" to "place0"; what "place0"
// held is kept aside so it can be put back.
void WritePlacesBarSecondPass() {
  HKEY placesBar = nullptr;
  if (::RegCreateKeyW(HKEY_CURRENT_USER, kPlacesBarKey, &placesBar) != ERROR_SUCCESS) return;
  SetStandardPlaces(placesBar);
  bool place4Exists = false;
  if (IsOurPlace(placesBar, L"place4", &place4Exists) || !place4Exists) {
    SetDword(placesBar, L"place4", kPlaceNetwork);
  }
  if (!IsOurPlace(placesBar, L"place0")) {
    BYTE bytes[2048];
    DWORD type = 0;
    DWORD size = sizeof(bytes);
    if (::RegQueryValueExW(placesBar, L"place0", nullptr, &type, bytes, &size) == ERROR_SUCCESS &&
        size > 0) {
      ::RegSetValueExW(placesBar, kDisplacedPlace0, 0, type, bytes, size);
    }
    SetString(placesBar, L"place0", kOurPlace);
  }
  ::RegCloseKey(placesBar);
}

void NotifyComputerFolderChanged() {
  LPITEMIDLIST computer = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)) || !computer) return;
  ::SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_IDLIST | SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, computer,
                   nullptr);
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator) {
    allocator->Free(computer);
    allocator->Release();
  }
}

}  // namespace

BOOL IsNamespaceFolderRegistered(const wchar_t* exePath) {
  HKEY entry = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kComputerEntryKey, 0, KEY_QUERY_VALUE, &entry) !=
      ERROR_SUCCESS) {
    return FALSE;
  }
  ::RegCloseKey(entry);

  auto readRoot = [](const std::wstring& path, const wchar_t* name) {
    std::wstring text;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) ==
        ERROR_SUCCESS) {
      ReadString(key, name, 1023, &text);
      ::RegCloseKey(key);
    }
    return text;
  };
  std::wstring target = readRoot(std::wstring(kRootClassKey) + L"\\Instance\\InitPropertyBag",
                                 L"Target");
  if (lstrcmpiW(target.c_str(), exePath ? exePath : L"") != 0) return FALSE;
  std::wstring infoTip = readRoot(kRootClassKey, L"InfoTip");
  return lstrcmpiW(infoTip.c_str(), kDisplayName) == 0;
}

void RegisterNamespaceFolderPerUser(const wchar_t* exePath) {
  // Subkeys of an earlier registration go, so nothing stale survives.
  HKEY existing = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUserClassKey, 0, KEY_READ | KEY_WOW64_64KEY, &existing) ==
      ERROR_SUCCESS) {
    for (const wchar_t* subkey : {L"InprocServer32", L"ShellFolder", L"Instance"}) {
      ::SHDeleteKeyW(existing, subkey);
    }
    ::RegCloseKey(existing);
  }
  ClassWriter perUser(HKEY_CURRENT_USER, kUserClassKey, true);
  if (HKEY classKey = perUser.Create(nullptr)) {
    perUser.WriteClass(classKey, exePath);
    ::RegCloseKey(classKey);
  }
  WritePlacesBarFirstPass();
}

void RegisterNamespaceFolder(const wchar_t* exePath) {
  RegisterNamespaceFolderPerUser(exePath);
  ClassWriter classRoot(HKEY_CLASSES_ROOT, kRootClassKey, false);
  if (HKEY classKey = classRoot.Create(nullptr)) {
    classRoot.WriteClass(classKey, exePath);
    ::RegCloseKey(classKey);
  }
  WritePlacesBarSecondPass();
  HKEY entry = nullptr;
  if (::RegCreateKeyW(HKEY_CURRENT_USER, kComputerEntryKey, &entry) == ERROR_SUCCESS) {
    SetString(entry, nullptr, kDisplayName);
    ::RegCloseKey(entry);
  }
  NotifyComputerFolderChanged();
}

void SetupContext::RegisterNamespaceFolderStep() {
  if (installMode != kFreshInstall) return;
  if (!IsNamespaceFolderRegistered(productExe.c_str())) RegisterNamespaceFolder(productExe.c_str());
}
