#pragma once
// The install worker's own steps, timed in this process with the installer's
// resources: the pre-extraction, then each pass of the schedule of a silent
// fresh install into folder. The machine's records are written as by the
// installer; the product is not started.
#include <string>

namespace bench {

void PrintWorkerTimeline(const std::wstring& installer, const std::wstring& folder);

}  // namespace bench
