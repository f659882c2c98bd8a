// The elevated installer's folder walks take a link (a junction planted in a
// folder it clears or gives permissions) for a leaf: what the link points to
// is never emptied, never given permissions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/SeamFakes.h"
#include "support/TestFiles.h"
#include "unpack/FolderDacl.h"
#include "util/FolderOps.h"

namespace {

TEST(FolderLinks, RemovalAndPermissionPassLeaveWhatALinkPointsTo) {
  fakes::ScopedSeam seam;
  ScopedTempDir dir;
  const std::wstring tree = dir.Join(L"staging");
  ASSERT_TRUE(CreateFolderTree((tree + L"\\link").c_str()));
  ASSERT_TRUE(WriteFileBytes(tree + L"\\link\\system.ini", "the link's target"));
  ASSERT_TRUE(WriteFileBytes(tree + L"\\extracted.txt", "ours"));
  fakes::ReportFolderAsLink(L"link");

  EXPECT_TRUE(CopyFolderDacl(tree.c_str(), dir.path().c_str()));
  auto listed = [](const std::wstring& pattern) {
    return std::count(fakes::listings.begin(), fakes::listings.end(), pattern) > 0;
  };
  EXPECT_TRUE(listed(tree + L"\\*")) << "no walk";
  EXPECT_FALSE(listed(tree + L"\\link\\*")) << "the permission pass went through the link";

  DeleteDirectoryTreeDeferred(tree.c_str());
  EXPECT_FALSE(FileExists(tree + L"\\extracted.txt"));
  EXPECT_EQ(FileText(tree + L"\\link\\system.ini"), "the link's target");
}

}  // namespace
