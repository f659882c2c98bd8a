#pragma once
// 7-Zip's own interface headers, with the COM types they expect declared first.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <propidl.h>

#include "7zip/Archive/IArchive.h"
#include "7zip/IPassword.h"
#include "7zip/IStream.h"
#include "7zip/PropID.h"
