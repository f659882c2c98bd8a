#pragma once
#include <windows.h>

// What the machine identifier is made of. Every reader writes NUL-terminated
// text into out (capacity bytes) and returns false when it found nothing;
// on machines without the hardware (or under Wine) they simply fail.

// "<CPUID vendor>:<leaf 1 EDX as %08x>".
bool ReadCpuSignature(char* out, size_t capacity);

// Disk serial readers, tried in this order; each walks drives 0..15 and
// stops at the first one that yields a serial (trailing spaces removed).
bool ReadDiskSerialViaSmart(char* out, size_t capacity);
bool ReadDiskSerialViaScsiMiniport(char* out, size_t capacity);
bool ReadDiskSerialViaStorageQuery(char* out, size_t capacity);
bool ReadDiskSerialViaSmartFullSharing(char* out, size_t capacity);

// Permanent address of the network card whose text is smallest, as
// "%02X" x 6, asked from each card's driver listed under NetworkCards.
bool ReadAdapterAddress(char* out, size_t capacity);
// The same address through NetBIOS adapter status, for when no card answers.
bool ReadNetBiosAddress(char* out, size_t capacity);

// Processor signature, then the first disk serial, then the adapter address,
// each as far as it could be read; empty when none could.
void CollectMachineText(char* out, size_t capacity);
