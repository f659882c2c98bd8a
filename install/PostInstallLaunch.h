#pragma once
#include <windows.h>

#include <string>

class SetupContext;
struct InstallOptions;

// How the product is to be started after the install: the full command line
// for a direct start, or file and arguments for a start through the shell.
struct LaunchRequest {
  std::wstring command;
  std::wstring file;
  std::wstring arguments;
  bool launch = false;
  // Whether the per-user Run value is (re)written.
  bool writeRun = false;
};

// The switches follow the install: an outdated toolbar is updated, an
// unattended upgrade starts as at log-on, a renamed product says so once.
LaunchRequest BuildLaunchRequest(const SetupContext& context, const InstallOptions& options);
