// Export and calling-convention macros shared by every library.
#pragma once

#if defined(_WIN32)
// Each DLL names its exports in its own .def file: dllexport would add the
// decorated names (_NAME@N) of the standard convention beside the plain ones.
#define KV_EXPORT
#define KV_CALL __stdcall
#else
#define KV_EXPORT __attribute__((visibility("default")))
// The host calls the exports with the standard (callee-pops) convention on a
// 32-bit target; elsewhere there is only one convention.
#if defined(__i386__)
#define KV_CALL __attribute__((stdcall))
#else
#define KV_CALL
#endif
#endif

#ifdef __cplusplus
#define KV_EXTERN_C extern "C"
#else
#define KV_EXTERN_C
#endif

// KV_API marks a plain C export of a library.
#define KV_API KV_EXTERN_C KV_EXPORT
