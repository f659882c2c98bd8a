// Times the installer's extraction of its payload (library from the cabinet,
// archive written out, staged extraction, moves into the folder, the
// permissions over the installed tree) against
// 7-Zip's own console extracting the same archive, both in this Wine prefix.
// usage: extract_bench INSTALLER.exe 7za.exe PAYLOAD.7z RUNS
#include <windows.h>
#include <psapi.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/Timing.h"
#include "unpack/ArchiveLibrary.h"
#include "unpack/ExtractArchive.h"
#include "unpack/FolderDacl.h"
#include "unpack/ProductFolderDacl.h"
#include "unpack/ResourceUnpack.h"
#include "unpack/TempPath.h"
#include "unpack/UnzipCallback.h"
#include "util/FolderOps.h"

namespace {

using bench::Median;
using bench::Now;

std::vector<double> g_loadSeconds;
std::vector<double> g_directSeconds;
std::vector<double> g_writeSeconds, g_stagedSeconds, g_daclSeconds, g_inheritSeconds;
std::vector<double> g_finishSeconds;

// The installer's own sink, timed: what the moves and the removal of the
// staging folder, both at the end, take out of the staged extraction.
class TimedUnzipCallback : public CUnzipCallback {
 public:
  int OnFinish(bool succeeded) override {
    double start = Now();
    int result = CUnzipCallback::OnFinish(succeeded);
    finishSeconds += Now() - start;
    return result;
  }
  double finishSeconds = 0;
};

// The installer's steps one at a time, to see which of them costs what on
// top of the decoding: the archive copy, the staged extraction with its
// moves, and the folder permissions over the installed tree both ways: the
// product folder's own, protected, set once more on it after the moves for
// Windows to hand down; and a folder's DACL copied onto every item (the
// common folder's way).
void ExtractInSteps(HMODULE installer) {
  ArchiveLibrary library;
  library.LoadArchiveLibrary(installer, L"IDR_7Z_CAB_DLL", L"DLL");
  CResourceUnpack unpack;
  unpack.LoadFromResource(installer, L"ID_KELVOZIP_MAIN", L"BINARY");
  std::wstring file, staging, target;
  MakeTempPath(file);
  double start = Now();
  unpack.WriteToFile(file.c_str());
  g_writeSeconds.push_back(Now() - start);
  MakeTempPath(staging);
  MakeTempPath(target);
  ::CreateDirectoryW(staging.c_str(), nullptr);
  ::CreateDirectoryW(target.c_str(), nullptr);
  TimedUnzipCallback sink;
  // As the installer does when it gives the tree its permissions afterwards.
  sink.Prepare(staging, target, nullptr, ProtectProductFolder(target.c_str()));
  start = Now();
  if (ExtractArchive(file.c_str(), staging.c_str(), &sink) != 0) {
    fwprintf(stderr, L"staged extraction failed\n");
  }
  g_stagedSeconds.push_back(Now() - start);
  g_finishSeconds.push_back(sink.finishSeconds);
  start = Now();
  ProtectProductFolder(target.c_str());
  g_inheritSeconds.push_back(Now() - start);
  start = Now();
  CopyFolderDacl(target.c_str(), target.c_str());
  g_daclSeconds.push_back(Now() - start);
  library.ReleaseArchiveLibrary();
  ::DeleteFileW(file.c_str());
  DeleteDirectoryTree(target.c_str());
}

// The library alone on the archive file, no staging, no moves: what the
// installer's own handling costs on top of the decoding.
void ExtractDirect(HMODULE installer, const std::wstring& archive) {
  ArchiveLibrary library;
  library.LoadArchiveLibrary(installer, L"IDR_7Z_CAB_DLL", L"DLL");
  std::wstring folder;
  MakeTempPath(folder);
  double start = Now();
  if (ExtractArchive(archive.c_str(), folder.c_str(), nullptr) != 0) {
    fwprintf(stderr, L"direct extraction failed\n");
  }
  g_directSeconds.push_back(Now() - start);
  library.ReleaseArchiveLibrary();
  DeleteDirectoryTree(folder.c_str());
}

double ExtractOurs(HMODULE installer, const std::wstring& folder) {
  double start = Now();
  ArchiveLibrary library;
  library.LoadArchiveLibrary(installer, L"IDR_7Z_CAB_DLL", L"DLL");
  g_loadSeconds.push_back(Now() - start);
  bool ok = library.ExtractMainArchive(installer, L"ID_KELVOZIP_MAIN", L"BINARY", folder);
  library.ReleaseArchiveLibrary();
  double elapsed = Now() - start;
  if (!ok) fwprintf(stderr, L"our extraction failed\n");
  return elapsed;
}

double ExtractPeer(const std::wstring& sevenZip, const std::wstring& archive,
                   const std::wstring& folder, SIZE_T* peak) {
  std::wstring command = L"\"" + sevenZip + L"\" x -y -bso0 -bsp0 \"-o" + folder + L"\" \"" +
                         archive + L"\"";
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  double start = Now();
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
    fwprintf(stderr, L"cannot start %ls\n", sevenZip.c_str());
    return 0;
  }
  // Wine forgets an exited process's counters, so sample while it runs.
  while (::WaitForSingleObject(info.hProcess, 5) == WAIT_TIMEOUT) {
    PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
    if (::GetProcessMemoryInfo(info.hProcess, &counters, sizeof(counters))) {
      *peak = std::max(*peak, counters.PeakWorkingSetSize);
    }
  }
  double elapsed = Now() - start;
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    fwprintf(stderr, L"usage: extract_bench INSTALLER 7za.exe PAYLOAD.7z RUNS\n");
    return 2;
  }
  HMODULE installer = ::LoadLibraryExW(argv[1], nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!installer) {
    fwprintf(stderr, L"cannot load %ls\n", argv[1]);
    return 2;
  }
  int runs = _wtoi(argv[4]);
  std::vector<double> ours, peer;
  SIZE_T peerPeak = 0;
  // The library alone reads its archive from where ours writes its copy,
  // the temporary folder, not from the build tree through drive Z:.
  std::wstring archiveCopy;
  MakeTempPath(archiveCopy);
  ::CopyFileW(argv[3], archiveCopy.c_str(), FALSE);
  for (int run = 0; run < runs; ++run) {
    // Ours and the library alone back to back, taking turns at going first:
    // a slow spell of the machine, or what the run before left it to do,
    // falls on both alike.
    if (run % 2) ExtractDirect(installer, archiveCopy);
    std::wstring ourFolder, peerFolder;
    // The worker makes the install folder before it extracts.
    MakeTempPath(ourFolder);
    ::CreateDirectoryW(ourFolder.c_str(), nullptr);
    ours.push_back(ExtractOurs(installer, ourFolder));
    DeleteDirectoryTree(ourFolder.c_str());
    if (!(run % 2)) ExtractDirect(installer, archiveCopy);
    MakeTempPath(peerFolder);
    peer.push_back(ExtractPeer(argv[2], argv[3], peerFolder, &peerPeak));
    DeleteDirectoryTree(peerFolder.c_str());
    ExtractInSteps(installer);
  }
  ::DeleteFileW(archiveCopy.c_str());
  PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
  double ourMedian = Median(ours), peerMedian = Median(peer);
  wprintf(L"runs: %d (median of each)\n", runs);
  const double alone = Median(g_directSeconds);
  wprintf(L"installer ExtractMainArchive: %.3f s, peak working set %.1f MiB\n", ourMedian,
          counters.PeakWorkingSetSize / 1048576.0);
  wprintf(L"  of which library from cabinet: %.3f s\n", Median(g_loadSeconds));
  wprintf(L"  library alone, archive file to folder: %.3f s\n", alone);
  // Each run's two times were taken back to back: their ratio leaves out
  // what the machine's speed did between runs.
  std::vector<double> paired;
  for (size_t i = 0; i < ours.size() && i < g_directSeconds.size(); ++i) {
    if (g_directSeconds[i] > 0) paired.push_back(ours[i] / g_directSeconds[i]);
  }
  wprintf(L"  extraction ratio (installer/library alone, median of the runs' own): %.2f\n",
          Median(paired));
  wprintf(L"  step by step: archive copy %.3f s, staged extraction and moves %.3f s; "
          L"permissions over the tree %.3f s handed down by the product folder, %.3f s copied "
          L"(the common folder's way; both before the extraction reports)\n",
          Median(g_writeSeconds), Median(g_stagedSeconds), Median(g_inheritSeconds),
          Median(g_daclSeconds));
  wprintf(L"  within the staged extraction: moves and staging folder removal %.3f s\n",
          Median(g_finishSeconds));
  wprintf(L"7-Zip 7za x:                  %.3f s, peak working set %.1f MiB\n", peerMedian,
          peerPeak / 1048576.0);
  wprintf(L"ratio (installer/7z x): %.2f\n", peerMedian > 0 ? ourMedian / peerMedian : 0.0);
  return 0;
}
