// Calling convention and visibility of the exported functions.
#ifndef VEXAL_API_H
#define VEXAL_API_H

#if defined(_WIN32) && defined(__i386__)
#define VEXAL_CALL __stdcall
#else
#define VEXAL_CALL
#endif

#if defined(_WIN32)
#define VEXAL_EXPORT __declspec(dllexport)
#else
#define VEXAL_EXPORT __attribute__((visibility("default")))
#endif

#endif
