#include "app/CommandLine.h"

#include <shellapi.h>
#include <wchar.h>

#include <vector>

#include "install/InstallOptions.h"

namespace {

bool IsTrimmedSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

// CommandLineToArgvW, with its first token following the program-name rule.
std::vector<std::wstring> SplitArguments(const wchar_t* text, bool* ok) {
  std::vector<std::wstring> args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(text, &count);
  *ok = argv != nullptr;
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);
  return args;
}

}  // namespace

BOOL HasSwitch(const wchar_t* text, const wchar_t* switchText) {
  if (!text || !*text || !switchText || !*switchText) return FALSE;
  if (wcscmp(text, switchText) == 0) return TRUE;
  const wchar_t* hit = wcsstr(text, switchText);
  if (!hit) return FALSE;
  // Only the first occurrence counts, and only when it stands alone.
  if (hit != text && hit[-1] != L' ') return FALSE;
  wchar_t after = hit[wcslen(switchText)];
  return after == L'\0' || after == L' ';
}

BOOL GetSwitchValue(const wchar_t* text, const wchar_t* prefix, wchar_t* out, size_t outCapacity) {
  if (!text || !prefix || !*prefix || !out || outCapacity == 0) return FALSE;
  const wchar_t* hit = wcsstr(text, prefix);
  if (!hit) return FALSE;
  const wchar_t* value = hit + wcslen(prefix);
  const wchar_t* end;
  if (*value == L'"') {
    ++value;
    end = wcschr(value, L'"');
    if (!end) end = wcschr(value, L' ');
  } else {
    end = wcschr(value, L' ');
  }
  if (!end) end = value + wcslen(value);
  size_t length = static_cast<size_t>(end - value);
  if (length > outCapacity - 1) length = outCapacity - 1;
  wmemset(out, L'\0', outCapacity);
  wmemcpy(out, value, length);
  return TRUE;
}

std::wstring ValueAfterEquals(const std::wstring& argument) {
  size_t equals = argument.find(L'=');
  if (equals == std::wstring::npos) return std::wstring();
  size_t begin = equals + 1;
  size_t end = argument.size();
  while (begin < end && IsTrimmedSpace(argument[begin])) ++begin;
  while (end > begin && IsTrimmedSpace(argument[end - 1])) --end;
  return argument.substr(begin, end - begin);
}

std::wstring ParseInstallDir(const wchar_t* text) {
  // A folder given without the opening quote is never taken.
  if (!text || (!wcsstr(text, L"/D=\"") && !wcsstr(text, L"/d=\""))) return std::wstring();
  bool ok = false;
  std::vector<std::wstring> args = SplitArguments(text, &ok);
  if (!ok) return std::wstring();
  for (const std::wstring& arg : args) {
    if (arg.find(L"/D") == std::wstring::npos && arg.find(L"/d") == std::wstring::npos) continue;
    std::wstring value = ValueAfterEquals(arg);
    size_t begin = value.find_first_not_of(L'"');
    if (begin == std::wstring::npos) return std::wstring();
    size_t end = value.find_last_not_of(L'"');
    return value.substr(begin, end - begin + 1);
  }
  return std::wstring();
}

void ParseCommandLine(InstallOptions& options, const wchar_t* argumentString) {
  wchar_t buffer[260] = {};
  if (argumentString) wcsncpy(buffer, argumentString, kWorkingBufferChars);

  options.silent = HasSwitch(buffer, L"/S");
  if (!options.silent) options.silent = HasSwitch(buffer, L"/s");

  if (options.silent) {
    options.installDirOverride = ParseInstallDir(buffer);

    options.silentRun = TRUE;
    bool ok = false;
    std::vector<std::wstring> args = SplitArguments(buffer, &ok);
    for (const std::wstring& arg : args) {
      if (arg.find(L"/silentrun=") == std::wstring::npos) continue;
      std::wstring value = ValueAfterEquals(arg);
      if (!value.empty() && _wcsicmp(value.c_str(), L"0") == 0) options.silentRun = FALSE;
      break;
    }
  }

  if (!GetSwitchValue(buffer, L"/pid=", options.pid, 259)) {
    wcscpy(options.pid, L"home");
  }
}
