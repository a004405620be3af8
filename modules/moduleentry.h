// The one entry point of each module the program loads (the printer, the sound output): a
// function of no arguments that makes the module's object, which the caller owns and
// deletes through its interface's virtual destructor. Each interface names its module's
// file (`Interface::module`); the program loads it with modules/modules.h.
//
// The entry's name carries this build's identity (the version, the compiler, Qt and the
// interfaces' headers: TAPECALC_BUILD_ID, made by CMake), so a module of another version
// or build has no entry this program looks for and is refused rather than called with
// objects of another layout.
#pragma once

#include "tapecalc_build_id.h"

#define TAPECALC_MODULE_JOIN_(a, b) a##b
#define TAPECALC_MODULE_JOIN(a, b) TAPECALC_MODULE_JOIN_(a, b)
#define TAPECALC_MODULE_TEXT_(a) #a
#define TAPECALC_MODULE_TEXT(a) TAPECALC_MODULE_TEXT_(a)
#define TAPECALC_MODULE_ENTRY_NAME TAPECALC_MODULE_JOIN(tapecalc_module_, TAPECALC_BUILD_ID)

#if defined(_WIN32)
#define TAPECALC_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define TAPECALC_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Opens the definition of a module's entry, which returns a new `Interface`:
//     TAPECALC_MODULE_ENTRY(tapecalc::CueOutput) { return makeCueOutput().release(); }
#define TAPECALC_MODULE_ENTRY(Interface)                                                           \
    TAPECALC_MODULE_EXPORT Interface *TAPECALC_MODULE_ENTRY_NAME()

namespace tapecalc {

// The name under which the loader looks the entry up.
inline constexpr char moduleEntrySymbol[] = TAPECALC_MODULE_TEXT(TAPECALC_MODULE_ENTRY_NAME);

} // namespace tapecalc
