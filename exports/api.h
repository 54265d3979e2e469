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

// The library's own C API (vexal_batch.h): exported from libvexal.so and the
// 64-bit DLL; the 32-bit DLL keeps exactly the 88 decorated names.
#if defined(_WIN64)
#define VEXAL_API_EXPORT __declspec(dllexport)
#elif defined(_WIN32)
#define VEXAL_API_EXPORT
#else
#define VEXAL_API_EXPORT __attribute__((visibility("default")))
#endif

#endif
