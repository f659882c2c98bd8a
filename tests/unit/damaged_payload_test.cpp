// A damaged product archive inside the installer (cut short anywhere, or with
// a byte flipped) must end the extraction without a crash or a hang, and must
// not cost the user any file of the install it was meant to update.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "support/InstallerResources.h"
#include "support/TestFiles.h"
#include "unpack/ArchiveLibrary.h"

namespace {

struct Damage {
  const char* name;
  // Keep this fraction of the archive (1 keeps it whole)...
  double keep;
  // ...and flip the byte at this fraction of it (negative: none).
  double flipAt;
};

const Damage kDamages[] = {
    {"CutToOneByte", 1.5 / 16e6, -1},      {"CutAfterTheSignature", 6.0 / 16e6, -1},
    {"CutInTheStartHeader", 20.0 / 16e6, -1}, {"CutAtAQuarter", 0.25, -1},
    {"CutInTheMiddle", 0.5, -1},     {"CutBeforeTheEndHeader", 0.999, -1},
    {"FlippedSignature", 1, 0.0},    {"FlippedStartHeader", 1, 16.0 / 16e6},
    {"FlippedPackedData", 1, 0.3},   {"FlippedEndHeader", 1, 0.99999},
};

std::string Damaged(const std::string& archive, const Damage& damage) {
  std::string bytes = archive.substr(0, static_cast<size_t>(archive.size() * damage.keep));
  if (damage.flipAt >= 0 && !bytes.empty()) {
    size_t at = static_cast<size_t>(bytes.size() * damage.flipAt);
    if (at >= bytes.size()) at = bytes.size() - 1;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
  }
  return bytes;
}

// Some payload files, as an earlier version left them, and a file of the
// user's own that no payload knows.
std::vector<std::wstring> WriteEarlierInstall(const std::wstring& folder) {
  std::vector<std::wstring> files;
  for (const TreeEntry& entry : ReadTree(PayloadSourceFolder(), false)) {
    if (entry.isFolder || files.size() >= 25) continue;
    files.push_back(entry.path);
  }
  files.push_back(L"user notes.txt");
  for (const std::wstring& file : files) {
    std::wstring path = folder + L"\\" + file;
    ::SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    WriteFileBytes(path, "earlier version of this file");
  }
  return files;
}

class DamagedPayloadTest : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedPayloadTest, EndsCleanlyAndLosesNoFileOfTheEarlierInstall) {
  static const std::string archive = InstallerResourceBytes(L"ID_KELVOZIP_MAIN", L"BINARY");
  ASSERT_GT(archive.size(), 1000000u);
  ScopedTempDir work;
  const Damage& damage = GetParam();
  std::wstring installer = CopyInstallerWithResource(work.path(), L"ID_KELVOZIP_MAIN", L"BINARY",
                                                     Damaged(archive, damage));
  ASSERT_FALSE(installer.empty());
  std::wstring target = work.Join(L"Kelvopeltbox");
  std::vector<std::wstring> earlier = WriteEarlierInstall(target);

  bool extracted;
  {
    InstallerModule module(installer);
    ASSERT_TRUE(module.get());
    ArchiveLibrary library;
    ASSERT_TRUE(library.LoadArchiveLibrary(module.get(), L"IDR_7Z_CAB_DLL", L"DLL"));
    extracted = library.ExtractMainArchive(module.get(), L"ID_KELVOZIP_MAIN", L"BINARY", target);
    library.ReleaseArchiveLibrary();
  }

  // A cut archive can never be taken for a good one; a flipped byte in the
  // packed data may still open, and then items fail only their own check.
  if (damage.keep < 1) {
    EXPECT_FALSE(extracted);
  }
  for (const std::wstring& file : earlier) {
    EXPECT_TRUE(FileExists(target + L"\\" + file)) << "lost: " << ToUtf8(file);
  }
  for (const TreeEntry& entry : ReadTree(target, false)) {
    EXPECT_EQ(entry.path.find(L".bak"), std::wstring::npos) << "left behind: " << ToUtf8(entry.path);
  }
}

// The items before and after the damaged one are intact, and none of them
// may reach the installed folder either: a half-new install is not whole.
TEST(DamagedPayload, ItemFailingItsChecksumFailsTheExtractionAndReplacesNothing) {
  std::string archive;
  ASSERT_TRUE(ReadFileBytes(std::wstring(KELVO_TEST_DATA_WIN) + L"\\archives\\crc.7z", &archive));
  ScopedTempDir work;
  std::wstring installer =
      CopyInstallerWithResource(work.path(), L"ID_KELVOZIP_MAIN", L"BINARY", archive);
  ASSERT_FALSE(installer.empty());
  std::wstring target = work.Join(L"Kelvopeltbox");
  const wchar_t* const names[] = {L"a.txt", L"b.txt", L"c.txt"};
  ASSERT_EQ(::SHCreateDirectoryExW(nullptr, target.c_str(), nullptr), ERROR_SUCCESS);
  for (const wchar_t* name : names) {
    ASSERT_TRUE(WriteFileBytes(target + L"\\" + name, "installed earlier"));
  }
  InstallerModule module(installer);
  ASSERT_TRUE(module.get());
  ArchiveLibrary library;
  ASSERT_TRUE(library.LoadArchiveLibrary(module.get(), L"IDR_7Z_CAB_DLL", L"DLL"));
  EXPECT_FALSE(library.ExtractMainArchive(module.get(), L"ID_KELVOZIP_MAIN", L"BINARY", target));
  library.ReleaseArchiveLibrary();
  for (const wchar_t* name : names) {
    std::string content;
    EXPECT_TRUE(ReadFileBytes(target + L"\\" + name, &content)) << ToUtf8(name);
    EXPECT_EQ(content, "installed earlier") << ToUtf8(name);
  }
  EXPECT_EQ(ListFolder(target).size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(ArchiveFaults, DamagedPayloadTest, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
