// The machine identifier: its hash, the machine-wide cache under
// HKLM "Software\KelvoSafe\Liveup", and what it is made of (processor,
// disk serial, network adapter address). Disks and network drivers are
// played through the system-call seam, because Wine has neither.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "install/MachineComponents.h"
#include "install/MachineId.h"
#include "support/RegistrySandbox.h"
#include "util/SystemSeam.h"

namespace {

constexpr char kCacheKey[] = "Software\\KelvoSafe\\Liveup";
constexpr char kNetworkCardsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";

// Expected hashes, made by tests/tools/machine-id-hash.py: MD5 written from
// scratch in Python (its single finish checked against hashlib), finished
// twice as the identifier requires. Run the script to recompute them.
constexpr char kHashOfEmpty[] = "5d2735c78b4ad61d0f6b5933aef45e4f";
constexpr char kPlainMd5OfEmpty[] = "d41d8cd98f00b204e9800998ecf8427e";
constexpr char kHashOfFailure[] = "30908dae359c9665d70190674e7dc5a0";  // "Mid2Failed"
constexpr char kHashOf259a[] = "8fa01ba24c018b89916d23ea57244e6e";     // 'a' x 259 (and x 300)
constexpr char kHashOf258a[] = "958e6e3b9edc62892df3b2f66e806b61";     // 'a' x 258

constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartReceiveDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008;
constexpr DWORD kStorageQueryProperty = 0x2D1400;
constexpr DWORD kNdisQueryGlobalStats = 0x170002;

std::string Hash(const std::string& text) {
  char out[64] = {};
  MachineIdHash(text.c_str(), out, sizeof(out));
  return out;
}

std::string ProcessorText() {
  char text[100] = {};
  ReadCpuSignature(text, sizeof(text));
  return text;
}

std::string Generate() {
  char out[260] = {};
  GenerateMachineId(out, sizeof(out));
  return out;
}

bool IsLowerHex(const std::string& text) {
  return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string ReadCache(const char* value) {
  std::string text;
  if (!ReadRegStringA(HKEY_LOCAL_MACHINE, kCacheKey, value, &text)) return "<absent>";
  return text;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), ::toupper);
  return text;
}

// Stand-in drivers: a device is found by the name it is opened with and
// answers device controls through `answer`; opens and requests are recorded.
struct FakeRequest {
  std::string device;
  DWORD code;
  std::string input;
  DWORD outputSize;
};
using Answer = std::function<bool(const FakeRequest& request, BYTE* out, DWORD* returned)>;
struct FakeDevice {
  std::string name;
  DWORD requiredShare;  // opens sharing less than this are refused
  Answer answer;
};

std::vector<FakeDevice> g_devices;
std::vector<std::string> g_opened;
std::vector<FakeRequest> g_requests;
int g_handlesOpen = 0;

constexpr uintptr_t kFirstFakeHandle = 0x7AB00000;

HANDLE FakeHandle(size_t index) { return reinterpret_cast<HANDLE>(kFirstFakeHandle + index * 4); }

bool FakeIndex(HANDLE handle, size_t* index) {
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (value < kFirstFakeHandle || (value - kFirstFakeHandle) / 4 >= g_devices.size()) return false;
  *index = (value - kFirstFakeHandle) / 4;
  return true;
}

HANDLE WINAPI FakeCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD,
                              DWORD, HANDLE) {
  g_opened.push_back(name);
  for (size_t i = 0; i < g_devices.size(); ++i) {
    const DWORD required = g_devices[i].requiredShare;
    if (g_devices[i].name == name && (share & required) == required) {
      ++g_handlesOpen;
      return FakeHandle(i);
    }
  }
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}

BOOL WINAPI FakeDeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
  size_t index = 0;
  if (!FakeIndex(handle, &index)) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::string input = in ? std::string(static_cast<const char*>(in), inSize) : std::string();
  FakeRequest request{g_devices[index].name, code, input, outSize};
  g_requests.push_back(request);
  *returned = 0;
  if (!g_devices[index].answer(request, static_cast<BYTE*>(out), returned)) {
    ::SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
  size_t index = 0;
  if (!FakeIndex(handle, &index)) return ::CloseHandle(handle);
  --g_handlesOpen;
  return TRUE;
}

void AddDevice(const std::string& name, Answer answer,
               DWORD requiredShare = FILE_SHARE_READ | FILE_SHARE_WRITE) {
  g_devices.push_back({name, requiredShare, std::move(answer)});
}

// ATA IDENTIFY data: each word of the serial and model holds its two
// characters high byte first.
std::string IdentifyBlock(std::string serial, std::string model) {
  std::string block(512, '\0');
  serial.resize(20, ' ');
  model.resize(40, ' ');
  for (size_t i = 0; i < 20; i += 2) {
    block[20 + i] = serial[i + 1];
    block[20 + i + 1] = serial[i];
  }
  for (size_t i = 0; i < 40; i += 2) {
    block[54 + i] = model[i + 1];
    block[54 + i + 1] = model[i];
  }
  return block;
}

// A physical drive that answers SMART: version with the given device map,
// then IDENTIFY (only to `command`) with the given serial.
Answer SmartDrive(BYTE deviceMap, BYTE command, const std::string& serial) {
  return [=](const FakeRequest& request, BYTE* out, DWORD* returned) {
    if (request.code == kSmartGetVersion) {
      GETVERSIONINPARAMS version = {};
      version.bVersion = 1;
      version.bIDEDeviceMap = deviceMap;
      if (request.outputSize < sizeof(version)) return false;
      std::memcpy(out, &version, sizeof(version));
      *returned = sizeof(version);
      return true;
    }
    if (request.code == kSmartReceiveDriveData && request.input.size() >= 32 &&
        static_cast<BYTE>(request.input[10]) == command && request.outputSize >= 528) {
      std::string identify = IdentifyBlock(serial, "FAKE DISK");
      std::memcpy(out + 16, identify.data(), identify.size());
      *returned = 528;
      return true;
    }
    return false;
  };
}

// A storage device descriptor whose serial text is `serial`.
Answer StorageDrive(const std::string& serial) {
  return [=](const FakeRequest& request, BYTE* out, DWORD* returned) {
    if (request.code != kStorageQueryProperty || request.input.size() != 12) return false;
    STORAGE_PROPERTY_QUERY query;
    std::memcpy(&query, request.input.data(), sizeof(query));
    if (query.PropertyId != StorageDeviceProperty || query.QueryType != PropertyStandardQuery) {
      return false;
    }
    STORAGE_DEVICE_DESCRIPTOR descriptor = {};
    descriptor.Version = sizeof(descriptor);
    descriptor.SerialNumberOffset = 64;
    descriptor.Size = static_cast<DWORD>(64 + serial.size() + 1);
    std::memset(out, 0, descriptor.Size);
    std::memcpy(out, &descriptor, sizeof(descriptor));
    std::memcpy(out + 64, serial.c_str(), serial.size() + 1);
    *returned = descriptor.Size;
    return true;
  };
}

Answer AdapterAnswering(std::vector<BYTE> address) {
  return [=](const FakeRequest& request, BYTE* out, DWORD* returned) {
    DWORD oid = 0;
    if (request.code != kNdisQueryGlobalStats || request.input.size() != sizeof(oid)) return false;
    std::memcpy(&oid, request.input.data(), sizeof(oid));
    if (oid != 0x01010101 || request.outputSize < address.size()) return false;
    std::copy(address.begin(), address.end(), out);
    *returned = static_cast<DWORD>(address.size());
    return true;
  };
}

void AddNetworkCard(const std::string& card, const std::string& service) {
  std::string key = std::string(kNetworkCardsKey) + "\\" + card;
  ASSERT_TRUE(WriteRegStringA(HKEY_LOCAL_MACHINE, key.c_str(), "ServiceName", service));
}

// Every test runs against a private registry and a machine whose only
// hardware is what the test adds; the seam is put back afterwards.
class MachineIdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_devices.clear();
    g_opened.clear();
    g_requests.clear();
    g_handlesOpen = 0;
    Seam().CreateFileA = FakeCreateFileA;
    Seam().DeviceIoControl = FakeDeviceIoControl;
    Seam().CloseHandle = FakeCloseHandle;
  }
  void TearDown() override {
    ResetSystemSeam();
    g_devices.clear();
    EXPECT_EQ(g_handlesOpen, 0) << "device handles left open";
  }

  // One network card, so the identifier does not depend on what NetBIOS
  // under Wine happens to report.
  void AddOneNetworkCard() {
    AddNetworkCard("3", "{FAKE-NIC}");
    AddDevice("\\\\.\\{FAKE-NIC}", AdapterAnswering({0x00, 0x1B, 0x21, 0xFF, 0x00, 0x02}));
  }
  static constexpr char kOneCardAddress[] = "001B21FF0002";

  RegistrySandbox sandbox_;
};

// --- The hash ---------------------------------------------------------------

TEST_F(MachineIdTest, HashOfEmptyTextIsTheDoublyFinishedMd5) {
  EXPECT_EQ(Hash(""), kHashOfEmpty);
  EXPECT_NE(Hash(""), kPlainMd5OfEmpty);
}

TEST_F(MachineIdTest, HashOfFailureTextMatchesIndependentValue) {
  EXPECT_EQ(Hash("Mid2Failed"), kHashOfFailure);
}

TEST_F(MachineIdTest, HashTakesOnlyTheFirst259Bytes) {
  EXPECT_EQ(Hash(std::string(300, 'a')), kHashOf259a);
  EXPECT_EQ(Hash(std::string(259, 'a')), kHashOf259a);
  EXPECT_EQ(Hash(std::string(258, 'a')), kHashOf258a);
}

TEST_F(MachineIdTest, HashIsRightAroundBlockBoundaries) {
  // Lengths where padding ends just before, at, or across a 64-byte block.
  const std::pair<size_t, const char*> expected[] = {
      {55, "d1de83ec7560036ac2806b328e416569"},  {56, "68659628a1ec2b4918c0a7536b4f4749"},
      {63, "0e97996066e460b0600b57bff67265a6"},  {64, "82f84856aee7de736c15364291f85670"},
      {119, "0005464e2d7bde63d3974322aeac9824"}, {120, "5a6052368bb943b0a2929c6227eddbca"}};
  for (const auto& [length, hash] : expected) {
    EXPECT_EQ(Hash(std::string(length, 'a')), hash) << length;
  }
}

TEST_F(MachineIdTest, HashIsCutToTheBufferAndTerminated) {
  char out[10];
  std::memset(out, 'x', sizeof(out));
  MachineIdHash("", out, sizeof(out));
  EXPECT_EQ(std::string(out), std::string(kHashOfEmpty, 9));
}

// --- The cache --------------------------------------------------------------

TEST_F(MachineIdTest, ValidCacheIsReusedWhateverTheCaseOfItsCheck) {
  const std::string identifier = "0123456789abcdef0123456789abcdef";
  const std::string cached = identifier + Upper(Hash(identifier));
  ASSERT_TRUE(WriteRegStringA(HKEY_LOCAL_MACHINE, kCacheKey, "mid", cached));

  EXPECT_EQ(Generate(), identifier);
  EXPECT_EQ(ReadCache("mid"), cached);
  EXPECT_EQ(ReadCache("mid_old"), "<absent>");
  EXPECT_TRUE(g_opened.empty()) << "asked the hardware despite a valid cache";
}

void ExpectMadeAnewReplacing(const std::string& old, const std::string& expectedIdentifier) {
  ASSERT_TRUE(WriteRegStringA(HKEY_LOCAL_MACHINE, kCacheKey, "mid", old));
  std::string identifier = Generate();
  EXPECT_EQ(identifier, expectedIdentifier);
  EXPECT_EQ(ReadCache("mid"), identifier + Hash(identifier));
  EXPECT_EQ(ReadCache("mid_old"), old);
}

TEST_F(MachineIdTest, CacheOneCharacterShortIsMadeAnew) {
  AddOneNetworkCard();
  const std::string identifier = "0123456789abcdef0123456789abcdef";
  std::string old = identifier + Hash(identifier);
  old.pop_back();
  ExpectMadeAnewReplacing(old, Hash(ProcessorText() + kOneCardAddress));
}

TEST_F(MachineIdTest, CacheOneCharacterLongIsMadeAnew) {
  AddOneNetworkCard();
  const std::string identifier = "0123456789abcdef0123456789abcdef";
  ExpectMadeAnewReplacing(identifier + Hash(identifier) + "0",
                          Hash(ProcessorText() + kOneCardAddress));
}

TEST_F(MachineIdTest, CacheWhoseCheckDoesNotMatchIsMadeAnew) {
  AddOneNetworkCard();
  const std::string identifier = "0123456789abcdef0123456789abcdef";
  std::string old = identifier + Hash(identifier);
  old[40] = old[40] == '0' ? '1' : '0';
  ExpectMadeAnewReplacing(old, Hash(ProcessorText() + kOneCardAddress));
}

TEST_F(MachineIdTest, StoringKeepsTheEarlierValueAsOld) {
  ASSERT_TRUE(WriteRegStringA(HKEY_LOCAL_MACHINE, kCacheKey, "mid", "earlier"));
  StoreMachineId("fedcba9876543210fedcba9876543210");
  EXPECT_EQ(ReadCache("mid"),
            "fedcba9876543210fedcba9876543210" + Hash("fedcba9876543210fedcba9876543210"));
  EXPECT_EQ(ReadCache("mid_old"), "earlier");
}

TEST_F(MachineIdTest, StoringOverTheSameTextWritesNoOld) {
  const std::string identifier = "fedcba9876543210fedcba9876543210";
  ASSERT_TRUE(WriteRegStringA(HKEY_LOCAL_MACHINE, kCacheKey, "mid", identifier));
  StoreMachineId(identifier.c_str());
  EXPECT_EQ(ReadCache("mid"), identifier + Hash(identifier));
  EXPECT_EQ(ReadCache("mid_old"), "<absent>");
}

TEST_F(MachineIdTest, FirstStoreWritesNoOld) {
  StoreMachineId("fedcba9876543210fedcba9876543210");
  EXPECT_EQ(ReadCache("mid").size(), 64u);
  EXPECT_EQ(ReadCache("mid_old"), "<absent>");
}

// --- From collected text to identifier ---------------------------------------

TEST_F(MachineIdTest, NothingCollectedGivesTheFailureHashAndStoresNothing) {
  ASSERT_TRUE(WriteRegStringA(HKEY_LOCAL_MACHINE, kCacheKey, "mid", "earlier"));
  char out[260] = {};
  MachineIdFromCollectedText("", out, sizeof(out));
  EXPECT_STREQ(out, kHashOfFailure);
  EXPECT_EQ(ReadCache("mid"), "earlier");
  EXPECT_EQ(ReadCache("mid_old"), "<absent>");
}

TEST_F(MachineIdTest, CollectedTextIsHashedAndStored) {
  char out[260] = {};
  MachineIdFromCollectedText("GenuineIntel:bfebfbffWD-123000C29010203", out, sizeof(out));
  const std::string identifier = Hash("GenuineIntel:bfebfbffWD-123000C29010203");
  EXPECT_EQ(out, identifier);
  EXPECT_EQ(ReadCache("mid"), identifier + Hash(identifier));
}

TEST_F(MachineIdTest, ProcessorTextIsVendorAndFeatureBits) {
  std::string text = ProcessorText();
  ASSERT_EQ(text.size(), 21u) << text;
  EXPECT_EQ(text[12], ':') << text;
  EXPECT_TRUE(IsLowerHex(text.substr(13))) << text;
}

TEST_F(MachineIdTest, ShortOutputBufferIsLeftAlone) {
  char out[31];
  std::memset(out, 'x', sizeof(out));
  GenerateMachineId(out, sizeof(out));
  EXPECT_EQ(std::string(out, sizeof(out)), std::string(sizeof(out), 'x'));
  EXPECT_EQ(ReadCache("mid"), "<absent>");
}

// --- Network adapter ---------------------------------------------------------

TEST_F(MachineIdTest, SmallestAdapterAddressIsTaken) {
  AddNetworkCard("1", "{NIC-B}");
  AddNetworkCard("2", "{NIC-A}");
  AddDevice("\\\\.\\{NIC-B}", AdapterAnswering({0x00, 0x1B, 0x21, 0xFF, 0x00, 0x02}));
  AddDevice("\\\\.\\{NIC-A}", AdapterAnswering({0x00, 0x0C, 0x29, 0x01, 0xAB, 0x03}));

  char address[100] = {};
  ASSERT_TRUE(ReadAdapterAddress(address, sizeof(address)));
  EXPECT_STREQ(address, "000C2901AB03");
  EXPECT_EQ(Generate(), Hash(ProcessorText() + "000C2901AB03"));
}

TEST_F(MachineIdTest, AdapterThatAnswersNothingIsPassedOver) {
  AddNetworkCard("1", "{SILENT}");
  AddNetworkCard("2", "{MISSING}");
  AddNetworkCard("3", "{GOOD}");
  AddDevice("\\\\.\\{SILENT}", [](const FakeRequest&, BYTE*, DWORD* returned) {
    *returned = 0;
    return true;
  });
  AddDevice("\\\\.\\{GOOD}", AdapterAnswering({0xF0, 0x00, 0x00, 0x00, 0x00, 0x01}));

  char address[100] = {};
  ASSERT_TRUE(ReadAdapterAddress(address, sizeof(address)));
  EXPECT_STREQ(address, "F00000000001");
}

TEST_F(MachineIdTest, NoNetworkCardsListedFindsNoAdapter) {
  char address[100] = {};
  EXPECT_FALSE(ReadAdapterAddress(address, sizeof(address)));
  EXPECT_STREQ(address, "");
}

// --- Disk serial -------------------------------------------------------------

TEST_F(MachineIdTest, SmartSerialIsReadHighByteFirstWithoutTrailingSpaces) {
  AddOneNetworkCard();
  AddDevice("\\\\.\\PhysicalDrive0", SmartDrive(0x01, 0xEC, "WD-WCC4E1234567"));

  char serial[100] = {};
  ASSERT_TRUE(ReadDiskSerialViaSmart(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "WD-WCC4E1234567");
  EXPECT_EQ(Generate(), Hash(ProcessorText() + "WD-WCC4E1234567" + kOneCardAddress));
}

TEST_F(MachineIdTest, SmartAsksPacketIdentifyOfAnAtapiSecondDrive) {
  // Drive 0 reports no IDE device; drive 1 is an ATAPI device (bit 1 + 4).
  AddDevice("\\\\.\\PhysicalDrive0", SmartDrive(0x00, 0xEC, "NOT-THIS-ONE"));
  AddDevice("\\\\.\\PhysicalDrive1", SmartDrive(0x22, 0xA1, "ATAPI-77"));

  char serial[100] = {};
  ASSERT_TRUE(ReadDiskSerialViaSmart(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "ATAPI-77");

  auto identify = std::find_if(g_requests.begin(), g_requests.end(), [](const FakeRequest& r) {
    return r.device == "\\\\.\\PhysicalDrive1" && r.code == kSmartReceiveDriveData;
  });
  ASSERT_NE(identify, g_requests.end());
  SENDCMDINPARAMS command = {};
  std::memcpy(&command, identify->input.data(), identify->input.size());
  EXPECT_EQ(identify->input.size(), 32u);
  EXPECT_EQ(command.cBufferSize, 512u);
  EXPECT_EQ(command.irDriveRegs.bDriveHeadReg, 0xB0);
  EXPECT_EQ(command.bDriveNumber, 1);
  for (const FakeRequest& r : g_requests) {
    EXPECT_FALSE(r.device == "\\\\.\\PhysicalDrive0" && r.code == kSmartReceiveDriveData)
        << "drive without IDE devices was asked to identify";
  }
}

TEST_F(MachineIdTest, ScsiMiniportTargetWithAModelGivesTheSerial) {
  AddOneNetworkCard();
  AddDevice("\\\\.\\Scsi2:", [](const FakeRequest& request, BYTE* out, DWORD* returned) {
    if (request.code != kScsiMiniport || request.input.size() != 60 || request.outputSize != 557) {
      return false;
    }
    const std::string& in = request.input;
    ULONG controlCode = 0;
    std::memcpy(&controlCode, in.data() + 16, 4);
    if (in.compare(4, 8, "SCSIDISK") != 0 || controlCode != 0x1B0501) return false;
    BYTE target = static_cast<BYTE>(in[28 + 12]);
    if (static_cast<BYTE>(in[28 + 10]) != 0xEC) return false;
    // Target 0 replies with empty IDENTIFY data, target 1 with a real disk.
    std::string identify =
        target == 1 ? IdentifyBlock("S3Z9NB0K", "Samsung SSD") : std::string(512, '\0');
    std::memcpy(out + 28 + 16, identify.data(), identify.size());
    *returned = 557;
    return true;
  });

  char serial[100] = {};
  ASSERT_TRUE(ReadDiskSerialViaScsiMiniport(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "S3Z9NB0K");
  EXPECT_EQ(Generate(), Hash(ProcessorText() + "S3Z9NB0K" + kOneCardAddress));
}

TEST_F(MachineIdTest, StorageQuerySerialInHexDigitsIsDecodedAndSwapped) {
  // "2SBA1C32" then two spaces, as hex pairs; spaces read as '0'.
  AddDevice("\\\\.\\PhysicalDrive0", StorageDrive("32534241314333322 2 "));
  char serial[100] = {};
  ASSERT_TRUE(ReadDiskSerialViaStorageQuery(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "S2ABC123");
}

TEST_F(MachineIdTest, StorageQuerySerialAsTextIsSwapped) {
  AddDevice("\\\\.\\PhysicalDrive0", StorageDrive("2SBA1C32"));
  char serial[100] = {};
  ASSERT_TRUE(ReadDiskSerialViaStorageQuery(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "S2ABC123");
}

TEST_F(MachineIdTest, StorageQuerySerialWithUnprintableCharacterIsNone) {
  AddDevice("\\\\.\\PhysicalDrive0", StorageDrive("AB\x01"
                                                  "CD"));
  AddDevice("\\\\.\\PhysicalDrive1", StorageDrive("1X"));
  char serial[100] = {};
  ASSERT_TRUE(ReadDiskSerialViaStorageQuery(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "X1");
}

TEST_F(MachineIdTest, SmartIsPreferredOverStorageQuery) {
  AddOneNetworkCard();
  AddDevice("\\\\.\\PhysicalDrive3", StorageDrive("Q-STORAGE"));
  AddDevice("\\\\.\\PhysicalDrive5", SmartDrive(0x02, 0xEC, "SMART-5"));
  EXPECT_EQ(Generate(), Hash(ProcessorText() + "SMART-5" + kOneCardAddress));
}

TEST_F(MachineIdTest, SmartWithFullSharingIsTheLastResort) {
  AddOneNetworkCard();
  // A driver that opens only when delete sharing is granted too.
  AddDevice(
      "\\\\.\\PhysicalDrive0",
      [](const FakeRequest& request, BYTE* out, DWORD* returned) {
        if (request.code == kSmartGetVersion) {
          GETVERSIONINPARAMS version = {};
          version.bIDEDeviceMap = 1;
          std::memcpy(out, &version, sizeof(version));
          *returned = sizeof(version);
          return true;
        }
        if (request.code != kSmartReceiveDriveData || request.input.size() != 33 ||
            request.outputSize != 545 || static_cast<BYTE>(request.input[10]) != 0xEC) {
          return false;
        }
        std::string identify = IdentifyBlock("SHARED-9  ", "SOME DISK");
        std::memcpy(out + 16, identify.data(), identify.size());
        *returned = 545;
        return true;
      },
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);

  char serial[100] = {};
  EXPECT_FALSE(ReadDiskSerialViaSmart(serial, sizeof(serial)));
  ASSERT_TRUE(ReadDiskSerialViaSmartFullSharing(serial, sizeof(serial)));
  EXPECT_STREQ(serial, "SHARED-9");
  EXPECT_EQ(Generate(), Hash(ProcessorText() + "SHARED-9" + kOneCardAddress));
}

TEST_F(MachineIdTest, DiskReadersTryDrivesZeroToFifteen) {
  char serial[100] = {};
  EXPECT_FALSE(ReadDiskSerialViaSmart(serial, sizeof(serial)));
  EXPECT_FALSE(ReadDiskSerialViaScsiMiniport(serial, sizeof(serial)));
  EXPECT_NE(std::find(g_opened.begin(), g_opened.end(), "\\\\.\\PhysicalDrive15"), g_opened.end());
  EXPECT_NE(std::find(g_opened.begin(), g_opened.end(), "\\\\.\\Scsi15:"), g_opened.end());
  EXPECT_EQ(std::find(g_opened.begin(), g_opened.end(), "\\\\.\\PhysicalDrive16"), g_opened.end());
}

// --- The real machine under Wine -------------------------------------------

class RealMachineIdTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetSystemSeam(); }
  RegistrySandbox sandbox_;
};

TEST_F(RealMachineIdTest, MissingBufferIsRefused) {
  wchar_t out[40] = L"untouched";
  EXPECT_FALSE(GetMachineId(nullptr, 40));
  EXPECT_FALSE(GetMachineId(out, 0));
  EXPECT_STREQ(out, L"untouched");
}

TEST_F(RealMachineIdTest, IdentifierIsLowerHexAndCachedWithItsCheck) {
  wchar_t out[260];
  std::fill(std::begin(out), std::end(out), L'x');
  ASSERT_TRUE(GetMachineId(out, 260));
  std::wstring wide = out;
  ASSERT_EQ(wide.size(), 32u);
  std::string identifier(wide.begin(), wide.end());
  EXPECT_TRUE(IsLowerHex(identifier)) << identifier;
  EXPECT_EQ(ReadCache("mid"), identifier + Hash(identifier));
}

TEST_F(RealMachineIdTest, IdentifierIsTheSameWhenMadeAgain) {
  wchar_t first[260] = {};
  ASSERT_TRUE(GetMachineId(first, 260));
  ASSERT_EQ(::SHDeleteValueA(HKEY_LOCAL_MACHINE, kCacheKey, "mid"), ERROR_SUCCESS);
  wchar_t second[260] = {};
  ASSERT_TRUE(GetMachineId(second, 260));
  EXPECT_STREQ(second, first);
  wchar_t cached[260] = {};
  ASSERT_TRUE(GetMachineId(cached, 260));
  EXPECT_STREQ(cached, first);
}

TEST_F(RealMachineIdTest, SmallBufferGetsTheStartOfTheIdentifier) {
  wchar_t whole[260] = {};
  ASSERT_TRUE(GetMachineId(whole, 260));
  wchar_t part[9];
  std::fill(std::begin(part), std::end(part), L'x');
  ASSERT_TRUE(GetMachineId(part, 9));
  EXPECT_EQ(std::wstring(part), std::wstring(whole, 8));
}

}  // namespace
