#pragma once
#include <windows.h>

#include <string>

class ResourceFile;

// Turns one resource of a module into files: written to a temporary file,
// then expanded as a cabinet or extracted as a 7z archive.
class CResourceUnpack {
 public:
  CResourceUnpack() = default;
  virtual ~CResourceUnpack() = default;

  // module null = the installer's own executable.
  bool LoadFromResource(HMODULE module, const wchar_t* name, const wchar_t* type);
  // Creates the file anew and writes every byte of the loaded resource,
  // read from the module's file where it can be, else from the mapping.
  bool WriteToFile(const wchar_t* path);
  // Unpacks into a new "{GUID}.tmp" folder in the temporary folder. The
  // caller owns that folder; on failure the attempt's leftovers stay.
  bool UnpackToTemp(std::wstring& outFolder, bool archive);

  const BYTE* data() const { return data_; }
  LONG size() const { return size_; }

 protected:
  // Writes the resource to a fresh temporary file and makes a fresh
  // temporary folder beside it.
  bool WriteTempFileAndFolder(std::wstring& file, std::wstring& folder);
  bool CopyFromFile(ResourceFile& source, HANDLE target) const;

  HMODULE module_ = nullptr;
  const BYTE* data_ = nullptr;  // resource memory lives as long as the module
  LONG size_ = 0;
};

// The free-standing form: fills a caller's pointer and size.
bool LoadResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type,
                       const BYTE** data, LONG* size);
