#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Where the build put a program or folder, as Wine sees it.
std::wstring BuiltProgram(const std::wstring& name);

// The tests' one way to start a process (the built installer unless another
// program is named), ended if it still runs when the object goes.
class InstallerRun {
 public:
  explicit InstallerRun(const std::wstring& arguments, const std::wstring& program = std::wstring(),
                        HANDLE standardOutput = nullptr);
  ~InstallerRun();
  InstallerRun(const InstallerRun&) = delete;
  InstallerRun& operator=(const InstallerRun&) = delete;

  // The process's top-level window with a child of this id (visible, unless
  // visible is false); null after the time-out or once the process ended.
  HWND WaitForWindowWith(int controlId, DWORD timeoutMs = 60000, bool visible = true) const;
  // The exit code, or STILL_ACTIVE (259) after the time-out.
  DWORD WaitForExit(DWORD timeoutMs = 120000);

  // What a deployment tool meets on the way to the end of the run.
  struct Outcome {
    DWORD exitCode = STILL_ACTIVE;  // STILL_ACTIVE after the time-out
    bool agreementShown = false;
    bool mainWindowShown = false;
    std::vector<std::wstring> messageBoxTexts;
  };
  // Plays the user's part to the end: accepts the agreement dialog and
  // answers every message box with answer, noting their texts.
  Outcome PlayToEnd(int answer = IDOK, DWORD timeoutMs = 180000);

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Runs the installer to its end as a deployment tool would (a fresh install
// asks for the agreement even when silent: accepted), while watch() runs every
// few milliseconds on a thread of its own, and once more after the end.
InstallerRun::Outcome RunInstallerToEnd(const std::wstring& arguments,
                                        const std::wstring& program = std::wstring(),
                                        const std::function<void()>& watch = nullptr);
