// The machine identifier: its hash against an independent model, its cache
// under HKLM "Software\KelvoSafe\Liveup", and what it is made of (processor,
// disk serial, adapter address), with disks and network drivers played
// through the seam, since Wine has neither.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "install/MachineComponents.h"
#include "install/MachineId.h"
#include "support/RegistrySandbox.h"
#include "support/SeamFakes.h"
#include "support/TestFiles.h"

namespace {

using fakes::Request;

const wchar_t kCacheKey[] = L"Software\\KelvoSafe\\Liveup";
constexpr DWORD kSmartGetVersion = 0x74080, kSmartReceiveDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008, kStorageQueryProperty = 0x2D1400, kNdisQuery = 0x170002;
const std::string kIdentifier = "0123456789abcdef0123456789abcdef";

std::string Hash(const std::string& text) {
  char out[64] = {};
  MachineIdHash(text.c_str(), out, sizeof(out));
  return out;
}
std::string Cache(const wchar_t* value) { return ToUtf8(RegText(HKEY_LOCAL_MACHINE, kCacheKey, value)); }
std::string Generate() {
  char out[260] = {};
  GenerateMachineId(out, sizeof(out));
  return out;
}
std::string Processor() {
  char text[100] = {};
  ReadCpuSignature(text, sizeof(text));
  return text;
}

// ATA IDENTIFY data: each word of serial and model holds two characters,
// high byte first.
std::string IdentifyBlock(std::string serial, std::string model) {
  std::string block(512, '\0');
  serial.resize(20, ' ');
  model.resize(40, ' ');
  for (size_t i = 0; i < 20; i += 2) block[20 + i] = serial[i + 1], block[21 + i] = serial[i];
  for (size_t i = 0; i < 40; i += 2) block[54 + i] = model[i + 1], block[55 + i] = model[i];
  return block;
}

// A drive answering SMART: the device map, then IDENTIFY to `command` only.
fakes::Answer SmartDrive(BYTE deviceMap, BYTE command, const std::string& serial, DWORD replySize = 528) {
  return [=](const Request& request, BYTE* out, DWORD* returned) {
    if (request.code == kSmartGetVersion) {
      GETVERSIONINPARAMS version = {1};
      version.bIDEDeviceMap = deviceMap;
      std::memcpy(out, &version, sizeof(version));
      *returned = sizeof(version);
      return true;
    }
    if (request.code != kSmartReceiveDriveData || static_cast<BYTE>(request.input[10]) != command ||
        request.outputSize < replySize) {
      return false;
    }
    std::string identify = IdentifyBlock(serial, "FAKE DISK");
    std::memcpy(out + 16, identify.data(), identify.size());
    *returned = replySize;
    return true;
  };
}

fakes::Answer StorageDrive(const std::string& serial) {
  return [=](const Request& request, BYTE* out, DWORD* returned) {
    if (request.code != kStorageQueryProperty || request.input.size() != 12) return false;
    STORAGE_DEVICE_DESCRIPTOR descriptor = {sizeof(descriptor)};
    descriptor.SerialNumberOffset = 64;
    descriptor.Size = static_cast<DWORD>(64 + serial.size() + 1);
    std::memset(out, 0, descriptor.Size);
    std::memcpy(out, &descriptor, sizeof(descriptor));
    std::memcpy(out + 64, serial.c_str(), serial.size() + 1);
    *returned = descriptor.Size;
    return true;
  };
}

// A network card listed under NetworkCards whose driver answers with address.
void AddCard(const std::string& service, std::vector<BYTE> address) {
  WriteRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\" +
                 FromUtf8(service), L"ServiceName", FromUtf8(service));
  fakes::AddDevice("\\\\.\\" + service, [=](const Request& request, BYTE* out, DWORD* returned) {
    if (request.code != kNdisQuery || *reinterpret_cast<const DWORD*>(request.input.data()) != 0x01010101) {
      return false;
    }
    std::copy(address.begin(), address.end(), out);
    *returned = static_cast<DWORD>(address.size());
    return true;
  });
}

class MachineId : public ::testing::Test {
 protected:
  void SetUp() override { fakes::UseDevices(); }
  void TearDown() override { EXPECT_EQ(fakes::handlesOpen, 0) << "device handles left open"; }
  // One card, so the identifier does not depend on what Wine's NetBIOS says.
  void AddOneCard() { AddCard("{NIC}", {0x00, 0x1B, 0x21, 0xFF, 0x00, 0x02}); }
  static constexpr char kOneCard[] = "001B21FF0002";

  RegistrySandbox sandbox_;
  fakes::ScopedSeam seam_;
};

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

TEST_F(MachineId, ValidCacheIsKeptAndAnyOtherIsMadeAnewKeepingTheOldValue) {
  std::string upperCheck = kIdentifier + Hash(kIdentifier);
  std::transform(upperCheck.begin() + 32, upperCheck.end(), upperCheck.begin() + 32, ::toupper);
  WriteRegString(HKEY_LOCAL_MACHINE, kCacheKey, L"mid", FromUtf8(upperCheck));
  EXPECT_EQ(Generate(), kIdentifier);
  EXPECT_EQ(Cache(L"mid_old"), "");
  EXPECT_TRUE(fakes::opened.empty()) << "asked the hardware despite a valid cache";

  AddOneCard();
  const std::string whole = kIdentifier + Hash(kIdentifier);
  std::string badCheck = whole;
  badCheck[40] = badCheck[40] == '0' ? '1' : '0';
  for (const std::string& old : {whole.substr(0, 63), whole + "0", badCheck}) {
    WriteRegString(HKEY_LOCAL_MACHINE, kCacheKey, L"mid", FromUtf8(old));
    const std::string made = Generate();
    EXPECT_EQ(made, Hash(Processor() + kOneCard));
    EXPECT_EQ(Cache(L"mid"), made + Hash(made));
    EXPECT_EQ(Cache(L"mid_old"), old);
  }
}

TEST_F(MachineId, NothingCollectedGivesTheFailureHashAndKeepsNothing) {
  WriteRegString(HKEY_LOCAL_MACHINE, kCacheKey, L"mid", L"earlier");
  char out[260] = {};
  MachineIdFromCollectedText("", out, sizeof(out));
  EXPECT_STREQ(out, "30908dae359c9665d70190674e7dc5a0");
  EXPECT_EQ(Cache(L"mid"), "earlier");
  char tooShort[31];
  std::memset(tooShort, 'x', sizeof(tooShort));
  GenerateMachineId(tooShort, sizeof(tooShort));
  EXPECT_EQ(std::string(tooShort, sizeof(tooShort)), std::string(sizeof(tooShort), 'x'));
}

// The smallest address of the cards that answer; one that answers nothing
// or is missing is passed over.
TEST_F(MachineId, AdapterAddressIsTheSmallestOfTheCardsThatAnswer) {
  char address[100] = {};
  EXPECT_FALSE(ReadAdapterAddress(address, sizeof(address)));
  AddCard("{NIC-B}", {0x00, 0x1B, 0x21, 0xFF, 0x00, 0x02});
  AddCard("{NIC-A}", {0x00, 0x0C, 0x29, 0x01, 0xAB, 0x03});
  AddCard("{SILENT}", {});
  WriteRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\9",
                 L"ServiceName", L"{MISSING}");
  ASSERT_TRUE(ReadAdapterAddress(address, sizeof(address)));
  EXPECT_STREQ(address, "000C2901AB03");
  EXPECT_EQ(Generate(), Hash(Processor() + "000C2901AB03"));
  EXPECT_EQ(Processor().size(), 21u) << "vendor, ':' and the feature bits";
}

TEST_F(MachineId, DiskSerialComesFromSmartFirstAndEachReaderTriesDrivesZeroToFifteen) {
  char serial[100] = {};
  EXPECT_FALSE(ReadDiskSerialViaSmart(serial, sizeof(serial)));
  EXPECT_FALSE(ReadDiskSerialViaScsiMiniport(serial, sizeof(serial)));
  auto opened = [](const char* name) {
    return std::find(fakes::opened.begin(), fakes::opened.end(), name) != fakes::opened.end();
  };
  EXPECT_TRUE(opened("\\\\.\\PhysicalDrive15") && opened("\\\\.\\Scsi15:"));
  EXPECT_FALSE(opened("\\\\.\\PhysicalDrive16"));

  AddOneCard();
  // Drive 1 (no IDE device on 0) is ATAPI: bits 1 and 4, packet identify.
  fakes::AddDevice("\\\\.\\PhysicalDrive0", SmartDrive(0x00, 0xEC, "NOT-THIS-ONE"));
  fakes::AddDevice("\\\\.\\PhysicalDrive1", SmartDrive(0x22, 0xA1, "ATAPI-77"));
  fakes::AddDevice("\\\\.\\PhysicalDrive3", StorageDrive("Q-STORAGE"));
  ASSERT_TRUE(ReadDiskSerialViaSmart(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "ATAPI-77");
  for (const Request& r : fakes::requests) {
    if (r.code != kSmartReceiveDriveData) continue;
    EXPECT_EQ(r.device, "\\\\.\\PhysicalDrive1") << "a drive without IDE devices was asked";
    SENDCMDINPARAMS command = {};
    std::memcpy(&command, r.input.data(), sizeof(command) - 1);
    EXPECT_EQ(command.irDriveRegs.bDriveHeadReg, 0xB0);
    EXPECT_EQ(command.bDriveNumber, 1);
  }
  EXPECT_EQ(Generate(), Hash(Processor() + "ATAPI-77" + kOneCard));
}

TEST_F(MachineId, OtherDiskReadersDecodeTheirSerials) {
  char serial[100] = {};
  // SCSI miniport: target 0 answers empty IDENTIFY data, target 1 a disk.
  fakes::AddDevice("\\\\.\\Scsi2:", [](const Request& request, BYTE* out, DWORD* returned) {
    if (request.code != kScsiMiniport || request.input.size() != 60 || request.input.compare(4, 8, "SCSIDISK") ||
        static_cast<BYTE>(request.input[38]) != 0xEC) {
      return false;
    }
    std::string identify = request.input[40] == 1 ? IdentifyBlock("S3Z9NB0K", "Samsung SSD") : std::string(512, '\0');
    std::memcpy(out + 44, identify.data(), identify.size());
    *returned = 557;
    return true;
  });
  ASSERT_TRUE(ReadDiskSerialViaScsiMiniport(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "S3Z9NB0K");
  // Storage query: hex pairs ("2SBA1C32", spaces as '0') or text, swapped in
  // pairs; a serial with an unprintable character is none.
  for (const auto& [text, expected] : {std::pair<std::string, const char*>{"32534241314333322 2 ", "S2ABC123"},
                                       {"2SBA1C32", "S2ABC123"}}) {
    fakes::devices.clear();
    fakes::AddDevice("\\\\.\\PhysicalDrive0", StorageDrive(text));
    ASSERT_TRUE(ReadDiskSerialViaStorageQuery(serial, sizeof(serial)));
    EXPECT_STREQ(serial, expected);
  }
  fakes::devices.clear();
  fakes::AddDevice("\\\\.\\PhysicalDrive0", StorageDrive("AB\x01" "CD"));
  fakes::AddDevice("\\\\.\\PhysicalDrive1", StorageDrive("1X"));
  ASSERT_TRUE(ReadDiskSerialViaStorageQuery(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "X1");
  // Last resort: SMART again, opened with delete sharing too.
  fakes::devices.clear();
  fakes::AddDevice("\\\\.\\PhysicalDrive0", SmartDrive(0x01, 0xEC, "SHARED-9  ", 545),
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  EXPECT_FALSE(ReadDiskSerialViaSmart(serial, sizeof(serial)));
  ASSERT_TRUE(ReadDiskSerialViaSmartFullSharing(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "SHARED-9");
}

TEST(MachineIdOfThisMachine, IsLowerHexCachedWithItsCheckAndTheSameWhenMadeAgain) {
  RegistrySandbox sandbox;
  EXPECT_FALSE(GetMachineId(nullptr, 40));
  wchar_t first[260] = {};
  ASSERT_TRUE(GetMachineId(first, 260));
  const std::string identifier = ToUtf8(first);
  ASSERT_EQ(identifier.size(), 32u);
  EXPECT_EQ(identifier.find_first_not_of("0123456789abcdef"), std::string::npos) << identifier;
  EXPECT_EQ(Cache(L"mid"), identifier + Hash(identifier));
  ASSERT_EQ(::SHDeleteValueW(HKEY_LOCAL_MACHINE, kCacheKey, L"mid"), ERROR_SUCCESS);
  wchar_t again[9] = {};
  ASSERT_TRUE(GetMachineId(again, 9));
  EXPECT_EQ(ToUtf8(again), identifier.substr(0, 8));
}

}  // namespace
