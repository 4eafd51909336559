// <windows.h> for the shell, without the macros that collide with the
// core's interface names (Canvas::TextOut would otherwise become TextOutW).
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef TextOut
