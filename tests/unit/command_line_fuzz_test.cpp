// Random command lines through the installer's parser: whatever deployment
// tools or users type, parsing ends, and what it yields keeps the rules that
// hold for every input (the 258-character window, options that exist only
// with "/S", the shape of "pid" and of the folder).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/CommandLine.h"
#include "install/InstallOptions.h"

namespace {

constexpr int kCommandLines = 100000;
constexpr size_t kMaxLength = 1000;
constexpr unsigned kSeed = 20261205;

// Pieces that make switches, and the characters that delimit or break them.
const wchar_t* const kTokens[] = {
    L"/S",         L"/s",          L"/D=",         L"/d=",          L"/D=\"", L"/d=\"",
    L"/pid=",      L"/PID=",       L"/silentrun=", L"/silentrun=0", L"/restart", L"/bakname=",
    L"C:\\",       L"Program Files", L"云盘",      L"\"",           L" ",       L"  ",
    L"\t",         L"=",           L"0",           L"00",           L"-S",      L"/",
    L"\\",         L"\r\n",        L"/SILENT",     L"x",
};
const wchar_t kCharacters[] = L"/\\\"= \t-:.0123456789SsDdpilentrux云盘\x3000\xFEFF";

std::wstring RandomCommandLine(std::mt19937& random) {
  std::uniform_int_distribution<size_t> lengthPick(0, kMaxLength);
  std::uniform_int_distribution<size_t> tokenPick(0, sizeof(kTokens) / sizeof(kTokens[0]) - 1);
  std::uniform_int_distribution<size_t> charPick(0, sizeof(kCharacters) / sizeof(wchar_t) - 2);
  std::uniform_int_distribution<int> coin(0, 2);
  size_t length = lengthPick(random);
  // Most command lines are short; keep a good share of them.
  if (coin(random) != 0) length %= 80;
  std::wstring line;
  while (line.size() < length) {
    if (coin(random) == 0) {
      line += kCharacters[charPick(random)];
    } else {
      line += kTokens[tokenPick(random)];
    }
  }
  line.resize(length);
  return line;
}

InstallOptions Parse(const std::wstring& line) {
  InstallOptions options;
  ParseCommandLine(options, line.c_str());
  return options;
}

bool SameOptions(const InstallOptions& a, const InstallOptions& b) {
  return a.silent == b.silent && a.silentRun == b.silentRun &&
         a.installDirOverride == b.installDirOverride && std::wstring(a.pid) == b.pid;
}

// Checks one command line; returns an empty string or what went wrong.
std::string Violation(const std::wstring& line) {
  const InstallOptions options = Parse(line);
  const std::wstring window = line.substr(0, kWorkingBufferChars);

  if (line.size() >= kWorkingBufferChars &&
      !SameOptions(options, Parse(window + L" /S /pid=tail /silentrun=0"))) {
    return "text beyond the working window changed the options";
  }
  if (!options.silent) {
    if (!options.installDirOverride.empty()) return "folder taken without /S";
    if (!options.silentRun) return "silentrun cleared without /S";
  }
  if (!options.silentRun && window.find(L"/silentrun=") == std::wstring::npos) {
    return "silentrun cleared without the switch";
  }
  const std::wstring& folder = options.installDirOverride;
  if (!folder.empty()) {
    if (window.find(L"/D=\"") == std::wstring::npos && window.find(L"/d=\"") == std::wstring::npos) {
      return "folder taken without a quoted /D=";
    }
    if (folder.front() == L'"' || folder.back() == L'"') return "folder keeps its quotes";
    // Argument splitting drops quotes and joins quoted pieces, but never
    // invents characters.
    for (wchar_t c : folder) {
      if (window.find(c) == std::wstring::npos) return "folder holds a character not typed";
    }
  }
  const std::wstring pid = options.pid;
  const size_t pidAt = window.find(L"/pid=");
  if (pidAt == std::wstring::npos) {
    if (pid != L"home") return "pid not \"home\" without /pid=";
  } else {
    if (pid.size() > kWorkingBufferChars) return "pid longer than the window";
    const bool quoted = pidAt + 5 < window.size() && window[pidAt + 5] == L'"';
    if (!quoted && pid.find(L' ') != std::wstring::npos) return "unquoted pid holds a space";
    if (quoted && pid.find(L'"') != std::wstring::npos) return "quoted pid holds a quote";
    if (window.find(pid, pidAt) == std::wstring::npos) return "pid text not in the command line";
  }
  return std::string();
}

TEST(CommandLineFuzz, RandomCommandLinesKeepTheParsingRules) {
  std::mt19937 random(kSeed);
  int failures = 0;
  for (int i = 0; i < kCommandLines && failures < 5; ++i) {
    const std::wstring line = RandomCommandLine(random);
    const std::string problem = Violation(line);
    if (!problem.empty()) {
      ++failures;
      ADD_FAILURE() << "command line #" << i << " (" << line.size() << " characters): " << problem;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(CommandLineFuzz, ExtremeLengthsAndEmptyInputsEnd) {
  EXPECT_TRUE(Violation(L"").empty());
  EXPECT_TRUE(Violation(std::wstring(kMaxLength, L'"')).empty());
  EXPECT_TRUE(Violation(std::wstring(kMaxLength, L' ')).empty());
  EXPECT_TRUE(Violation(L"/S /D=\"" + std::wstring(kMaxLength, L'\\')).empty());
  EXPECT_TRUE(Violation(L"/S /pid=\"" + std::wstring(kMaxLength, L'x')).empty());
  InstallOptions nullLine;
  ParseCommandLine(nullLine, nullptr);
  EXPECT_STREQ(nullLine.pid, L"home");
}

}  // namespace
