#include "install/MachineId.h"
BOOL GetMachineId(wchar_t* out, size_t capacity) { return FALSE; }
void GenerateMachineId(char*, size_t) {}
void MachineIdHash(const char*, char*, size_t) {}
void StoreMachineId(const char*) {}
