#pragma once
// Where a child process's working set goes at its peak, under Wine: the
// Wine process is a Linux process whose resident pages (/proc/<pid>/smaps and
// pagemap, read through drive Z:) are sorted by what Windows says lies at
// their addresses (VirtualQueryEx, the module list).
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

class MemoryBreakdown {
 public:
  // process: the running child; mark: text of its command line that no other
  // process has (its install folder); installer: its executable, whose
  // payload resource is told apart from the rest of the image.
  MemoryBreakdown(HANDLE process, const std::wstring& mark, const std::wstring& installer);
  // Call every few milliseconds while the child runs: a new high of its
  // working set is taken apart at once.
  void Sample();
  // The parts at the highest working set seen, largest first.
  void Print() const;

 private:
  struct Vma {
    ULONG_PTR start, end;
    std::wstring path;
    SIZE_T residentKb;
  };
  bool FindUnixPid();
  std::vector<Vma> ReadSmaps() const;
  SIZE_T ResidentPages(ULONG_PTR start, ULONG_PTR end) const;
  std::wstring ModuleName(ULONG_PTR allocationBase);
  std::wstring ImagePart(ULONG_PTR address) const;
  std::wstring NamedPart(const std::wstring& path) const;
  void TakeApart(const std::vector<Vma>& vmas, SIZE_T totalKb);

  HANDLE process_;
  std::string mark_;
  std::wstring installerName_;
  // The installer's payload resource and its whole resource section, as
  // offsets from the image base.
  ULONG_PTR payloadStart_ = 0, payloadEnd_ = 0, resourcesStart_ = 0, resourcesEnd_ = 0;
  ULONG_PTR imageBase_ = 0;
  DWORD unixPid_ = 0;
  HANDLE pagemap_ = INVALID_HANDLE_VALUE;
  SIZE_T nextSnapshotBytes_ = 0;
  SIZE_T peakKb_ = 0;
  std::map<ULONG_PTR, std::wstring> moduleNames_;
  // Private blocks by allocation base: whether the 7z library was loaded
  // when each was first seen.
  std::map<ULONG_PTR, bool> blockSeenWith7z_;
  std::map<std::wstring, SIZE_T> peakParts_;
  std::vector<std::pair<SIZE_T, SIZE_T>> peakBlocks_;  // resident kB, allocation kB
};

}  // namespace bench
