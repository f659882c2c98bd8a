#pragma once
#include <windows.h>

// The machine identifier: 32 lowercase hex characters from the processor
// signature, a disk serial and a network adapter address, cached machine-wide
// under HKEY_LOCAL_MACHINE "Software\KelvoSafe\Liveup".

// FALSE for a missing buffer or zero capacity.
BOOL GetMachineId(wchar_t* out, size_t capacity);
// Does nothing when out is missing or size is below 32.
void GenerateMachineId(char* out, size_t size);
// GenerateMachineId past the cache: the hash of what was collected from the
// machine, stored; with nothing collected the hash of "Mid2Failed", not stored.
void MachineIdFromCollectedText(const char* collected, char* out, size_t size);
// MD5 of at most the first 259 bytes, finalised twice; lower-case hex.
void MachineIdHash(const char* text, char* out, size_t size);
void StoreMachineId(const char* identifier);
