// Microsoft's WebView2.h includes "EventToken.h" as the Windows SDK spells it; mingw-w64
// ships the same declarations as <eventtoken.h>, and the Linux file system we build on tells
// the two spellings apart. This folder is on the include path of the WebView2 code only.
#pragma once
#include <eventtoken.h>
