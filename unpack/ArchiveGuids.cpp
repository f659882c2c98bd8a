// The 7z library's interface ids, defined once for the whole installer.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <propidl.h>
#include <initguid.h>

#include "7zip/Archive/IArchive.h"
#include "7zip/IPassword.h"
#include "7zip/IStream.h"
