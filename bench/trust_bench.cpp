// Times the signature check of signed files: the first check in the process
// and then repeated ones.
// usage: trust_bench RUNS FILE...
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <vector>

#include "bench/Timing.h"
#include "unpack/SignatureCheck.h"

namespace {

double NowMs() { return 1000.0 * bench::Now(); }

double FileBytes(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return 0;
  return static_cast<double>(data.nFileSizeLow) + 4294967296.0 * data.nFileSizeHigh;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: trust_bench RUNS FILE...\n");
    return 2;
  }
  int runs = std::max(1, _wtoi(argv[1]));
  for (int f = 2; f < argc; ++f) {
    const wchar_t* path = argv[f];
    LONG level = -1;
    double start = NowMs();
    BOOL first = VerifyFileSignature(path, &level);
    double firstMs = NowMs() - start;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
      start = NowMs();
      VerifyFileSignature(path, &level);
      times.push_back(NowMs() - start);
    }
    double median = bench::Median(times);
    std::sort(times.begin(), times.end());
    double bytes = FileBytes(path);
    wprintf(L"%ls: %.0f bytes, verified=%d level=%ld\n", path, bytes, first, level);
    wprintf(L"  first check %.3f ms; then min %.3f / median %.3f / max %.3f ms over %d runs"
            L" (%.0f MB/s)\n",
            firstMs, times.front(), median, times.back(), runs,
            median > 0 ? bytes / 1048576.0 / (median / 1000.0) : 0.0);
  }
  return 0;
}
