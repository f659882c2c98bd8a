#pragma once
#include <windows.h>

// What an archive extraction tells its sink, item by item. Return values are
// informational; no caller consults them.
class IExtractCallback {
 public:
  virtual int OnStart(const wchar_t* archivePath, const wchar_t* outputFolder) = 0;
  virtual int OnItemStart(UINT32 index, UINT32 count, const wchar_t* relativePath,
                          bool isDirectory) = 0;
  virtual int OnItemDone(UINT32 index, UINT32 count, const wchar_t* relativePath,
                         bool isDirectory) = 0;
  virtual int OnFinish(bool succeeded) = 0;

 protected:
  ~IExtractCallback() = default;
};
