#include "install/SetupContext.h"

namespace {
constexpr wchar_t kProductMutex[] = L"CloudEnterpriseBox";
}

// Tells the product an installation is in progress; only over an installed copy.
void SetupContext::CreateProductMutex() {
  if (installMode == kFreshInstall || productMutexCreated) return;
  productMutexCreated = TRUE;
  productMutex = ::CreateMutexW(nullptr, FALSE, kProductMutex);
}

void SetupContext::ReleaseProductMutex() {
  if (!productMutexCreated) return;
  productMutexCreated = FALSE;
  if (productMutex) ::CloseHandle(productMutex);
  productMutex = nullptr;
}
