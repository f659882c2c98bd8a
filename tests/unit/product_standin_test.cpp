// The product stand-ins as the installer meets them: what they log, which
// starts stay up and how they end, what the shell DLLs register, the
// versions they carry, and copies stamped with another version.
#include <gtest/gtest.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "support/InstallerResources.h"
#include "support/ProcessRunner.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/FileVersion.h"

namespace {

const wchar_t kProduct[] = L"KelvoCloudEnterpriseSync.exe";
const wchar_t kTrayTitle[] = L"Kelvoenterpriseboxtray";
// The two the 32-bit test process can load; the 64-bit pair comes from the
// same source.
const wchar_t* const kShellDlls[] = {L"KelvoEnterpriseShellExt.dll",
                                     L"KelvoCloudEnterpriseBar.dll"};
const wchar_t kRegisteredKey[] = L"Software\\KelvoStandIn\\Registered";

// A token no other test's command line contains.
std::wstring Token() { return L"tok" + NewGuidText().substr(1, 8) + L"-同步"; }

std::wstring CommandLineOf(const std::wstring& program, const std::wstring& arguments) {
  return L"\"" + program + L"\" " + arguments;
}

// A started program, terminated if the test leaves it running.
class Started {
 public:
  Started(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = CommandLineOf(program, arguments);
    STARTUPINFOW startup = {sizeof(startup)};
    if (::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &info_)) {
      ::CloseHandle(info_.hThread);
    }
  }
  ~Started() {
    if (!info_.hProcess) return;
    if (Running()) {
      ::TerminateProcess(info_.hProcess, 1);
      ::WaitForSingleObject(info_.hProcess, 5000);
    }
    ::CloseHandle(info_.hProcess);
  }
  bool ok() const { return info_.hProcess != nullptr; }
  bool Running() const { return ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  bool Ends(DWORD timeoutMs) const {
    return ::WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }
  DWORD id() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }

 private:
  // Acquired before the start, released after the termination above.
  ProductProcessesTurn turn_;
  PROCESS_INFORMATION info_ = {};
};

// The top-level window with this title that belongs to process id; other
// tests may have a product of their own running.
HWND FindWindowOf(DWORD id, const wchar_t* title, DWORD timeoutMs = 20000) {
  struct Search {
    DWORD id;
    const wchar_t* title;
    HWND found;
  } search = {id, title, nullptr};
  DWORD start = ::GetTickCount();
  do {
    ::EnumWindows(
        [](HWND window, LPARAM param) WINAPI -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          wchar_t text[64] = {};
          ::GetWindowTextW(window, text, 64);
          if (owner == s->id && wcscmp(text, s->title) == 0) {
            s->found = window;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    ::Sleep(50);
  } while (::GetTickCount() - start < timeoutMs);
  return nullptr;
}

template <typename Function>
Function Entry(HMODULE dll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(dll, name)));
}

TEST(ProductStandIn, OneShotRequestsLogTheCommandLineVerbatimAndExitZero) {
  ProductProcessesTurn turn;
  for (const wchar_t* request : {L"/reg", L"/explorer"}) {
    std::wstring token = Token();
    std::wstring arguments = std::wstring(request) + L" " + token;
    ProcessResult result = RunProgram(StandInPath(kProduct), arguments, 30000);
    ASSERT_TRUE(result.started) << request;
    EXPECT_FALSE(result.timedOut) << request << " kept it running";
    EXPECT_EQ(result.exitCode, 0u) << request;
    std::vector<std::wstring> lines = LaunchLogLinesWith(token);
    ASSERT_EQ(lines.size(), 1u) << request;
    EXPECT_EQ(lines[0], CommandLineOf(StandInPath(kProduct), arguments));
  }
}

TEST(ProductStandIn, PlainStartSitsInAHiddenTrayWindowUntilWmClose) {
  std::wstring token = Token();
  std::wstring arguments = L"/autostart " + token;
  Started product(StandInPath(kProduct), arguments);
  ASSERT_TRUE(product.ok());
  HWND tray = FindWindowOf(product.id(), kTrayTitle);
  ASSERT_TRUE(tray) << "no window titled " << kTrayTitle;
  EXPECT_FALSE(::IsWindowVisible(tray));
  EXPECT_EQ(::GetParent(tray), nullptr);
  EXPECT_TRUE(::FindWindowW(nullptr, kTrayTitle));
  EXPECT_EQ(WaitForLaunchLogLine(token), CommandLineOf(StandInPath(kProduct), arguments));

  ::Sleep(500);
  ASSERT_TRUE(product.Running()) << "left before being asked";
  ASSERT_TRUE(::PostMessageW(tray, WM_CLOSE, 0, 0));
  ASSERT_TRUE(product.Ends(15000)) << "WM_CLOSE did not end it";
  EXPECT_EQ(product.ExitCode(), 0u);
  EXPECT_FALSE(::IsWindow(tray));
}

TEST(ProductStandIn, IgnoreCloseFlagLeavesOnlyTerminationToEndIt) {
  std::wstring token = Token();
  ScopedStandInFlag flag(L"ignore-close", token);
  Started deaf(StandInPath(kProduct), L"/updatepro /protype=2 " + token);
  Started other(StandInPath(kProduct), L"/autostart " + Token());
  ASSERT_TRUE(deaf.ok() && other.ok());
  HWND deafTray = FindWindowOf(deaf.id(), kTrayTitle);
  HWND otherTray = FindWindowOf(other.id(), kTrayTitle);
  ASSERT_TRUE(deafTray && otherTray);

  ASSERT_TRUE(::PostMessageW(deafTray, WM_CLOSE, 0, 0));
  ASSERT_TRUE(::PostMessageW(otherTray, WM_CLOSE, 0, 0));
  // The flag names this test's start only: another start still closes.
  EXPECT_TRUE(other.Ends(15000)) << "the flag reached a start it does not name";
  EXPECT_FALSE(deaf.Ends(2000)) << "closed although told to ignore WM_CLOSE";
  EXPECT_TRUE(::IsWindow(deafTray));
  ASSERT_TRUE(::TerminateProcess(deaf.handle(), 7));
  EXPECT_TRUE(deaf.Ends(5000));
}

TEST(ProductStandIn, IntroStaysUntilTerminatedAndUninstallExitsAtOnce) {
  std::wstring introToken = Token();
  Started intro(StandInPath(L"KelvoCloudIntro.exe"), introToken);
  ASSERT_TRUE(intro.ok());
  EXPECT_EQ(WaitForLaunchLogLine(introToken),
            CommandLineOf(StandInPath(L"KelvoCloudIntro.exe"), introToken));
  EXPECT_EQ(::WaitForInputIdle(intro.handle(), 10000), 0u) << "never waits for input";
  EXPECT_FALSE(intro.Ends(1000)) << "the intro left by itself";

  std::wstring uninstallToken = Token();
  ProcessResult uninstall = RunProgram(StandInPath(L"uninstall.exe"), uninstallToken, 30000);
  ASSERT_TRUE(uninstall.started);
  EXPECT_FALSE(uninstall.timedOut);
  EXPECT_EQ(uninstall.exitCode, 0u);
  EXPECT_EQ(LaunchLogLinesWith(uninstallToken).size(), 1u);
}

TEST(ProductStandIn, StartsAtTheSameTimeEachLogOneWholeLine) {
  // Long lines, so a write that is not one append would show up torn.
  const int kStarts = 8;
  std::vector<std::wstring> arguments;
  std::vector<std::unique_ptr<Started>> started;
  for (int i = 0; i < kStarts; ++i) {
    arguments.push_back(Token() + L" " + std::wstring(3000 + i * 97, L'a' + i) + L" 结束");
  }
  for (int i = 0; i < kStarts; ++i) {
    started.push_back(std::make_unique<Started>(StandInPath(L"uninstall.exe"), arguments[i]));
    ASSERT_TRUE(started.back()->ok());
  }
  for (auto& program : started) ASSERT_TRUE(program->Ends(60000));
  for (int i = 0; i < kStarts; ++i) {
    std::vector<std::wstring> lines = LaunchLogLinesWith(arguments[i].substr(0, 11));
    ASSERT_EQ(lines.size(), 1u) << "start " << i;
    EXPECT_TRUE(lines[0] == CommandLineOf(StandInPath(L"uninstall.exe"), arguments[i]))
        << "start " << i << " logged a torn line of " << lines[0].size() << " characters";
  }
}

TEST(ProductStandIn, ShellDllsRecordTheirOwnNameForEachEntryPoint) {
  RegistrySandbox sandbox;
  using Register = HRESULT(STDAPICALLTYPE*)();
  using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);
  for (const wchar_t* name : kShellDlls) {
    SCOPED_TRACE(testing::Message() << name);
    HMODULE dll = ::LoadLibraryW(StandInPath(name).c_str());
    ASSERT_TRUE(dll);
    auto registerServer = Entry<Register>(dll, "DllRegisterServer");
    auto unregisterServer = Entry<Register>(dll, "DllUnregisterServer");
    auto install = Entry<Install>(dll, "DllInstall");
    auto canUnload = Entry<Register>(dll, "DllCanUnloadNow");
    auto getClassObject = Entry<GetClassObject>(dll, "DllGetClassObject");
    ASSERT_TRUE(registerServer && unregisterServer && install && canUnload && getClassObject);

    std::wstring value;
    DWORD type = 0;
    EXPECT_EQ(registerServer(), S_OK);
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kRegisteredKey, name, &value, &type));
    EXPECT_EQ(value, L"DllRegisterServer");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kRegisteredKey, name, &value));

    EXPECT_EQ(install(TRUE, L""), S_OK);
    ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kRegisteredKey, name, &value));
    EXPECT_EQ(value, L"DllInstall");
    EXPECT_EQ(install(FALSE, L""), S_OK);
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kRegisteredKey, name, &value));

    void* object = reinterpret_cast<void*>(1);
    CLSID anyClass = {0x1234, 0x5678, 0x9abc, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(getClassObject(anyClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
    ::FreeLibrary(dll);
  }
}

TEST(ProductStandIn, EveryStandInCarriesTheInstallersVersion) {
  std::wstring installer = ReadFileVersionText(BuiltProgram(L"KelvoSetup.exe").c_str());
  ASSERT_NE(installer, L"0.0.0.0");
  for (const wchar_t* name : {L"KelvoCloudEnterpriseSync.exe", L"KelvoCloudIntro.exe",
                              L"uninstall.exe", L"KelvoEnterpriseShellExt.dll",
                              L"KelvoEnterpriseShellExt64.dll", L"KelvoCloudEnterpriseBar.dll",
                              L"KelvoCloudEnterpriseBar64.dll"}) {
    EXPECT_EQ(ReadFileVersionText(StandInPath(name).c_str()), installer)
        << name;
  }
}

TEST(ProductStandIn, InstalledCopyReadsBackAsTheStampedVersionAndStillWorks) {
  ScopedTempDir temp;
  std::wstring folder = temp.Join(L"旧 版本");
  ASSERT_TRUE(MakeInstalledCopy(folder, L"1.9.30.770", {kProduct, L"KelvoCloudEnterpriseBar.dll"}));
  std::wstring exe = folder + L"\\" + kProduct;
  std::wstring dll = folder + L"\\KelvoCloudEnterpriseBar.dll";
  EXPECT_EQ(ReadFileVersionText(exe.c_str()), L"1.9.30.770");
  EXPECT_EQ(ReadFileVersionText(dll.c_str()), L"1.9.30.770");
  EXPECT_NE(ReadFileVersionText(StandInPath(kProduct).c_str()), L"1.9.30.770")
      << "the built stand-in was stamped, not the copy";

  // Version strings follow the numbers, and there is one version resource.
  DWORD ignored = 0;
  std::vector<BYTE> block(::GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  wchar_t* text = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                               reinterpret_cast<void**>(&text), &length));
  EXPECT_STREQ(text, L"1.9.30.770");
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &length));
  EXPECT_STREQ(text, kProduct);
  HMODULE image = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(image);
  int versionResources = 0;
  ::EnumResourceLanguagesW(
      image, MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(1),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) WINAPI -> BOOL {
        ++*reinterpret_cast<int*>(count);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&versionResources));
  ::FreeLibrary(image);
  EXPECT_EQ(versionResources, 1);

  // Stamping must leave working images.
  std::wstring token = Token();
  ProcessResult run = RunProgram(exe, L"/reg " + token, 30000);
  EXPECT_TRUE(run.started && !run.timedOut && run.exitCode == 0);
  EXPECT_EQ(LaunchLogLinesWith(token).size(), 1u);
  HMODULE loaded = ::LoadLibraryW(dll.c_str());
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(::GetProcAddress(loaded, "DllRegisterServer"));
  ::FreeLibrary(loaded);

  // A later stamp replaces the earlier one.
  ASSERT_TRUE(StampFileVersion(exe, L"3.0.0.1"));
  EXPECT_EQ(ReadFileVersionText(exe.c_str()), L"3.0.0.1");
  EXPECT_FALSE(StampFileVersion(exe, L"3.0.0.70000"));
  EXPECT_FALSE(StampFileVersion(exe, L"3.0.0"));
}

TEST(ProductStandIn, InstallerCarriesTheCurrentPayloadAndCabinet) {
  // A stale archive or a KelvoSetup.exe not relinked would install other
  // bytes than the payload folder the install tests compare against.
  std::string built;
  ASSERT_TRUE(ReadFileBytes(BuiltProgram(L"payload.7z"), &built));
  EXPECT_TRUE(InstallerResourceBytes(L"ID_KELVOZIP_MAIN", L"BINARY") == built);
  ASSERT_TRUE(ReadFileBytes(BuiltProgram(L"7z.cab"), &built));
  EXPECT_TRUE(InstallerResourceBytes(L"IDR_7Z_CAB_DLL", L"DLL") == built);
  for (const wchar_t* name : {L"KelvoCloudEnterpriseSync.exe", L"KelvoCloudIntro.exe",
                              L"uninstall.exe", L"KelvoEnterpriseShellExt64.dll"}) {
    std::string standIn, packed;
    ASSERT_TRUE(ReadFileBytes(StandInPath(name), &standIn));
    ASSERT_TRUE(ReadFileBytes(PayloadSourceFolder() + L"\\" + name, &packed));
    EXPECT_TRUE(standIn == packed) << "payload holds an old " << name;
  }
}

}  // namespace
