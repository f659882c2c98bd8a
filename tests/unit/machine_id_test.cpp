// The machine identifier and its hash, against an independent model.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/MachineId.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"

namespace {

std::string Hash(const std::string& text) {
  char out[64] = {};
  MachineIdHash(text.c_str(), out, sizeof(out));
  return out;
}

// Expected values from tests/tools/machine-id-hash.py: MD5 written anew,
// finished twice on one context as the identifier does.
TEST(MachineIdHash, MatchesTheIndependentModel) {
  const std::pair<std::string, const char*> expected[] = {
      {"", "5d2735c78b4ad61d0f6b5933aef45e4f"},  // plain MD5 would be d41d8cd9...
      {"Mid2Failed", "30908dae359c9665d70190674e7dc5a0"},
      {std::string(300, 'a'), "8fa01ba24c018b89916d23ea57244e6e"},  // only 259 bytes count
      {std::string(259, 'a'), "8fa01ba24c018b89916d23ea57244e6e"},
      {std::string(258, 'a'), "958e6e3b9edc62892df3b2f66e806b61"},
      // Padding ending just before, at or across a 64-byte block.
      {std::string(55, 'a'), "d1de83ec7560036ac2806b328e416569"},
      {std::string(56, 'a'), "68659628a1ec2b4918c0a7536b4f4749"},
      {std::string(63, 'a'), "0e97996066e460b0600b57bff67265a6"},
      {std::string(64, 'a'), "82f84856aee7de736c15364291f85670"},
      {std::string(119, 'a'), "0005464e2d7bde63d3974322aeac9824"},
      {std::string(120, 'a'), "5a6052368bb943b0a2929c6227eddbca"}};
  for (const auto& [text, hash] : expected) EXPECT_EQ(Hash(text), hash) << text.size();
  char cut[10];
  std::memset(cut, 'x', sizeof(cut));
  MachineIdHash("", cut, sizeof(cut));
  EXPECT_EQ(std::string(cut), "5d2735c78");
}

// A cache cut short, too long or with a check that does not match is made
// anew, and the old value kept beside it.
TEST(MachineId, IsLowerHexCachedWithItsCheckAndTheSameWhenMadeAgain) {
  RegistrySandbox sandbox;
  const wchar_t key[] = L"Software\\KelvoSafe\\Liveup";
  wchar_t first[260] = {};
  ASSERT_TRUE(GetMachineId(first, 260));
  const std::string identifier = ToUtf8(first);
  ASSERT_EQ(identifier.size(), 32u);
  EXPECT_EQ(identifier.find_first_not_of("0123456789abcdef"), std::string::npos) << identifier;
  const std::wstring cached = RegText(HKEY_LOCAL_MACHINE, key, L"mid");
  EXPECT_EQ(ToUtf8(cached), identifier + Hash(identifier));
  std::wstring badCheck = cached;
  badCheck[40] = badCheck[40] == L'0' ? L'1' : L'0';
  for (const std::wstring& old : {cached.substr(0, 63), cached + L"0", badCheck}) {
    WriteRegString(HKEY_LOCAL_MACHINE, key, L"mid", old);
    wchar_t again[9] = {};
    ASSERT_TRUE(GetMachineId(again, 9));
    EXPECT_EQ(ToUtf8(again), identifier.substr(0, 8));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, L"mid"), cached);
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, L"mid_old"), old);
  }
}

}  // namespace
