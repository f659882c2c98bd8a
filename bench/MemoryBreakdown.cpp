#include "bench/MemoryBreakdown.h"

#include <psapi.h>
#include <stdio.h>

#include <algorithm>

#include "support/TestFiles.h"

namespace bench {

namespace {

constexpr ULONG_PTR kPage = 4096;
constexpr SIZE_T kLargeBlockKb = 1024;

const wchar_t kPayloadPart[] = L"installer image: payload resource";
const wchar_t kResourcesPart[] = L"installer image: other resources (cabinets, skin, texts)";
const wchar_t kImagePart[] = L"installer image: code and data";
const wchar_t k7zImagePart[] = L"7z library image";
const wchar_t k7zBlocksPart[] =
    L"private blocks >= 1 MiB that came with the 7z library (dictionary, buffers)";
const wchar_t kOtherBlocksPart[] = L"other private blocks >= 1 MiB";
const wchar_t kHeapPart[] = L"heap and smaller private blocks";
const wchar_t kGdiplusPart[] = L"GDI+ and its PNG decoder (images)";
const wchar_t kFontsPart[] = L"fonts";
const wchar_t kSurfacesPart[] = L"window surfaces shared with X";
const wchar_t kWinePart[] = L"Wine and system libraries";
const wchar_t kUnixPart[] =
    L"memory Windows gave no account of (Wine's own, or a query left unanswered)";

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = towlower(c);
  return text;
}

bool EndsWith(const std::wstring& text, const wchar_t* tail) {
  size_t length = wcslen(tail);
  return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

std::wstring BaseName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

MemoryBreakdown::MemoryBreakdown(HANDLE process, const std::wstring& mark,
                                 const std::wstring& installer)
    : process_(process), mark_(ToUtf8(mark)), installerName_(Lower(BaseName(installer))) {
  HMODULE image = ::LoadLibraryExW(installer.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
  if (!image) return;
  auto base = reinterpret_cast<ULONG_PTR>(image) & ~static_cast<ULONG_PTR>(3);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& resources =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  resourcesStart_ = resources.VirtualAddress;
  resourcesEnd_ = resources.VirtualAddress + resources.Size;
  if (HRSRC found = ::FindResourceW(image, L"ID_KELVOZIP_MAIN", L"BINARY")) {
    auto data = reinterpret_cast<ULONG_PTR>(::LockResource(::LoadResource(image, found)));
    if (data) {
      payloadStart_ = data - base;
      payloadEnd_ = payloadStart_ + ::SizeofResource(image, found);
    }
  }
  ::FreeLibrary(image);
}

bool MemoryBreakdown::FindUnixPid() {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (!iswdigit(found.cFileName[0])) continue;
    std::string commandLine;
    if (!ReadFileBytes(std::wstring(L"Z:\\proc\\") + found.cFileName + L"\\cmdline", &commandLine)) {
      continue;
    }
    std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
    if (commandLine.find(mark_) != std::string::npos) {
      unixPid_ = wcstoul(found.cFileName, nullptr, 10);
    }
  } while (!unixPid_ && ::FindNextFileW(search, &found));
  ::FindClose(search);
  return unixPid_ != 0;
}

std::vector<MemoryBreakdown::Vma> MemoryBreakdown::ReadSmaps() const {
  std::vector<Vma> vmas;
  wchar_t path[64];
  swprintf(path, 64, L"Z:\\proc\\%lu\\smaps", unixPid_);
  std::string text;
  if (!ReadFileBytes(path, &text)) return vmas;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.empty()) continue;
    char first = line[0];
    if ((first >= '0' && first <= '9') || (first >= 'a' && first <= 'f')) {
      // "start-end perms offset device inode   path"
      Vma vma = {};
      vma.start = strtoul(line.c_str(), nullptr, 16);
      vma.end = strtoul(line.c_str() + line.find('-') + 1, nullptr, 16);
      size_t field = 0, pos = 0;
      while (field < 5 && pos < line.size()) {
        pos = line.find(' ', pos);
        if (pos == std::string::npos) break;
        while (pos < line.size() && line[pos] == ' ') ++pos;
        ++field;
      }
      if (field == 5 && pos < line.size()) vma.path = FromUtf8(line.substr(pos));
      vmas.push_back(vma);
    } else if (line.compare(0, 4, "Rss:") == 0 && !vmas.empty()) {
      vmas.back().residentKb = strtoul(line.c_str() + 4, nullptr, 10);
    }
  }
  return vmas;
}

// Pages of [start, end) in memory now, from the pagemap's present bit.
SIZE_T MemoryBreakdown::ResidentPages(ULONG_PTR start, ULONG_PTR end) const {
  if (pagemap_ == INVALID_HANDLE_VALUE || end <= start) return 0;
  SIZE_T present = 0;
  static UINT64 entries[4096];
  for (ULONG_PTR page = start / kPage; page < end / kPage;) {
    ULONG_PTR count = std::min<ULONG_PTR>(end / kPage - page, 4096);
    OVERLAPPED at = {};
    UINT64 offset = static_cast<UINT64>(page) * 8;
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(pagemap_, entries, static_cast<DWORD>(count * 8), &got, &at) || got == 0) break;
    for (DWORD i = 0; i < got / 8; ++i) {
      if (entries[i] >> 63) ++present;
    }
    page += got / 8;
  }
  return present;
}

std::wstring MemoryBreakdown::ModuleName(ULONG_PTR allocationBase) {
  auto known = moduleNames_.find(allocationBase);
  if (known != moduleNames_.end()) return known->second;
  wchar_t name[MAX_PATH] = {};
  ::GetModuleFileNameExW(process_, reinterpret_cast<HMODULE>(allocationBase), name, MAX_PATH);
  std::wstring lower = Lower(name);
  moduleNames_[allocationBase] = lower;
  if (!imageBase_ && BaseName(lower) == installerName_) imageBase_ = allocationBase;
  return lower;
}

std::wstring MemoryBreakdown::ImagePart(ULONG_PTR address) const {
  ULONG_PTR offset = address - imageBase_;
  if (offset >= payloadStart_ && offset < payloadEnd_) return kPayloadPart;
  if (offset >= resourcesStart_ && offset < resourcesEnd_) return kResourcesPart;
  return kImagePart;
}

std::wstring MemoryBreakdown::NamedPart(const std::wstring& path) const {
  std::wstring lower = Lower(path);
  if (EndsWith(lower, L".tmp")) return k7zImagePart;
  if (lower.find(L"gdiplus") != std::wstring::npos ||
      lower.find(L"windowscodecs") != std::wstring::npos ||
      lower.find(L"libpng") != std::wstring::npos) {
    return kGdiplusPart;
  }
  if (EndsWith(lower, L".ttf") || EndsWith(lower, L".ttc") || EndsWith(lower, L".otf") ||
      lower.find(L"/fonts/") != std::wstring::npos) {
    return kFontsPart;
  }
  if (lower.find(L"/sysv") == 0) return kSurfacesPart;
  return kWinePart;
}

void MemoryBreakdown::TakeApart(const std::vector<Vma>& vmas, SIZE_T totalKb) {
  // Module bases first, so image pages are told by their module.
  HMODULE modules[1024];
  DWORD needed = 0;
  bool with7z = false;
  if (::EnumProcessModulesEx(process_, modules, sizeof(modules), &needed, LIST_MODULES_ALL)) {
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 1024; ++i) {
      if (EndsWith(ModuleName(reinterpret_cast<ULONG_PTR>(modules[i])), L".tmp")) with7z = true;
    }
  }
  std::map<std::wstring, SIZE_T> parts;
  std::map<ULONG_PTR, SIZE_T> blockPages;
  auto addPages = [&parts](const std::wstring& part, SIZE_T pages) { parts[part] += pages * 4; };
  // An image range split at the payload and resource bounds.
  auto addImage = [&](ULONG_PTR from, ULONG_PTR to) {
    const ULONG_PTR cuts[] = {imageBase_ + resourcesStart_, imageBase_ + payloadStart_,
                              imageBase_ + payloadEnd_, imageBase_ + resourcesEnd_};
    ULONG_PTR at = from;
    while (at < to) {
      ULONG_PTR next = to;
      for (ULONG_PTR cut : cuts) {
        if (cut > at && cut < next) next = cut;
      }
      addPages(ImagePart(at), ResidentPages(at, next));
      at = next;
    }
  };
  for (const Vma& vma : vmas) {
    if (vma.residentKb == 0) continue;
    bool anonymous = vma.path.empty() || vma.path[0] == L'[';
    if (!anonymous) {
      if (imageBase_ && Lower(BaseName(vma.path)) == installerName_) {
        addImage(vma.start, vma.end);
      } else {
        parts[NamedPart(vma.path)] += vma.residentKb;
      }
      continue;
    }
    for (ULONG_PTR at = vma.start; at < vma.end;) {
      MEMORY_BASIC_INFORMATION region = {};
      if (!::VirtualQueryEx(process_, reinterpret_cast<void*>(at), &region, sizeof(region))) {
        addPages(kUnixPart, ResidentPages(at, vma.end));
        break;
      }
      ULONG_PTR regionEnd =
          std::min<ULONG_PTR>(reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize,
                              vma.end);
      if (regionEnd <= at) break;
      auto allocation = reinterpret_cast<ULONG_PTR>(region.AllocationBase);
      if (region.State != MEM_COMMIT) {
        addPages(kUnixPart, ResidentPages(at, regionEnd));
      } else if (region.Type == MEM_IMAGE) {
        std::wstring module = ModuleName(allocation);
        if (allocation == imageBase_) {
          addImage(at, regionEnd);
        } else {
          addPages(NamedPart(module), ResidentPages(at, regionEnd));
        }
      } else {
        blockPages[allocation] += ResidentPages(at, regionEnd);
      }
      at = regionEnd;
    }
  }
  std::vector<std::pair<SIZE_T, SIZE_T>> blocks;
  for (const auto& block : blockPages) {
    SIZE_T kb = block.second * 4;
    if (!blockSeenWith7z_.count(block.first)) blockSeenWith7z_[block.first] = with7z;
    if (kb < kLargeBlockKb) {
      parts[kHeapPart] += kb;
      continue;
    }
    parts[blockSeenWith7z_[block.first] ? k7zBlocksPart : kOtherBlocksPart] += kb;
    // The allocation's whole size, region by region.
    SIZE_T allocated = 0;
    for (ULONG_PTR at = block.first;;) {
      MEMORY_BASIC_INFORMATION region = {};
      if (!::VirtualQueryEx(process_, reinterpret_cast<void*>(at), &region, sizeof(region)) ||
          reinterpret_cast<ULONG_PTR>(region.AllocationBase) != block.first) {
        break;
      }
      allocated += region.RegionSize;
      at = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize;
    }
    blocks.push_back({kb, allocated / 1024});
  }
  std::sort(blocks.rbegin(), blocks.rend());
  peakKb_ = totalKb;
  peakParts_ = parts;
  peakBlocks_ = blocks;
}

void MemoryBreakdown::Sample() {
  if (!unixPid_ && !FindUnixPid()) return;
  PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
  if (!::GetProcessMemoryInfo(process_, &counters, sizeof(counters))) return;
  if (counters.WorkingSetSize < nextSnapshotBytes_) return;
  nextSnapshotBytes_ = counters.WorkingSetSize + 256 * 1024;
  std::vector<Vma> vmas = ReadSmaps();
  SIZE_T totalKb = 0;
  for (const Vma& vma : vmas) totalKb += vma.residentKb;
  if (totalKb <= peakKb_) return;
  // Opened anew each time: an open pagemap goes on showing the address
  // space of the program the process ran when it was opened, and a process
  // Wine starts runs its loader first.
  wchar_t path[64];
  swprintf(path, 64, L"Z:\\proc\\%lu\\pagemap", unixPid_);
  pagemap_ = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  TakeApart(vmas, totalKb);
  if (pagemap_ != INVALID_HANDLE_VALUE) ::CloseHandle(pagemap_);
  pagemap_ = INVALID_HANDLE_VALUE;
}

void MemoryBreakdown::Print() const {
  if (!peakKb_) {
    wprintf(L"  (no breakdown: the process's Linux side could not be read through Z:\\proc)\n");
    return;
  }
  std::vector<std::pair<SIZE_T, std::wstring>> sorted;
  SIZE_T placedKb = 0;
  for (const auto& part : peakParts_) {
    sorted.push_back({part.second, part.first});
    placedKb += part.second;
  }
  std::sort(sorted.rbegin(), sorted.rend());
  wprintf(L"  peak working set taken apart: %.1f MiB\n", peakKb_ / 1024.0);
  for (const auto& part : sorted) {
    wprintf(L"  %7.1f MiB  %ls\n", part.first / 1024.0, part.second.c_str());
  }
  if (!peakBlocks_.empty()) {
    wprintf(L"  private blocks >= 1 MiB (resident of allocated MiB):");
    // An allocation whose size the busy process did not tell shows as "?".
    for (const auto& block : peakBlocks_) {
      if (block.second) {
        wprintf(L" %.1f/%.1f", block.first / 1024.0, block.second / 1024.0);
      } else {
        wprintf(L" %.1f/?", block.first / 1024.0);
      }
    }
    wprintf(L"\n");
  }
  if (placedKb + 1024 < peakKb_) {
    wprintf(L"  %7.1f MiB  (not placed: pages that came or went between the readings)\n",
            (peakKb_ - placedKb) / 1024.0);
  }
}

}  // namespace bench
