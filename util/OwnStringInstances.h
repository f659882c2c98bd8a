// Forced ahead of every shipped source (CMakeLists.txt). The standard
// library otherwise declares std::string and std::wstring instantiated in
// its compiled copy, which links them whole: every member, with exception
// handling, its tables and runtime. Without those declarations our objects
// instantiate only the members they use, built without exceptions.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
