#pragma once

// The binary contract between pz4 and its format plug-ins. Plug-ins include this
// header alone; it must stay free of anything but the C++ standard library.

#include <cstddef>
#include <cstdint>

// One frame handed to a plug-in's SaveObject / SaveAnim. The chain and all it
// points to belong to the program and are freed as soon as the call returns.
struct SAVE_FRAME {
    SAVE_FRAME* next;       // following record, null in the last
    char* fileName;         // NUL-terminated output path, or null
    unsigned char* pixels;  // width x height palette indices, row 0 shown at the bottom
    unsigned char* palette; // 768 bytes, never null when handed over
    int width;
    int height;
    int colorCount; // colours of the palette: the plug-in's value, or 256
    int tag;        // the frame's tag from LockFrame, carried uninterpreted
};

#if UINTPTR_MAX == 0xFFFFFFFFu
// On 32-bit targets the record is the documented 32-byte layout plug-ins rely on.
static_assert(sizeof(SAVE_FRAME) == 32);
static_assert(offsetof(SAVE_FRAME, next) == 0);
static_assert(offsetof(SAVE_FRAME, fileName) == 4);
static_assert(offsetof(SAVE_FRAME, pixels) == 8);
static_assert(offsetof(SAVE_FRAME, palette) == 12);
static_assert(offsetof(SAVE_FRAME, width) == 16);
static_assert(offsetof(SAVE_FRAME, height) == 20);
static_assert(offsetof(SAVE_FRAME, colorCount) == 24);
static_assert(offsetof(SAVE_FRAME, tag) == 28);
#endif

namespace pz4::plugin {

// Bytes of a palette as plug-ins hand it out and take it back: 256 entries of
// red, green and blue, each 0..255 and used unscaled.
inline constexpr int kPaletteBytes = 768;

// Signatures of the twelve exports. Truth values travel in the low byte of the
// int result; the program never looks at the other bits.
using GetTextFn = const char* (*)();
using GetTruthFn = int (*)();
using LoadObjectFn = int (*)(char* path);
using UnloadObjectFn = void (*)();
using GetNumberOfFramesFn = int (*)();
using LockFrameFn = int (*)(int index, unsigned char** pixels, unsigned char** palette, int* width,
                            int* height, int* colorCount, int* tag);
using SaveFn = int (*)(SAVE_FRAME* first);

inline bool truth(int result) {
    return (static_cast<unsigned>(result) & 0xFFu) != 0;
}

enum class Export : int {
    GetDllAuthor,
    GetExtension,
    GetDllVersion,
    GetDescription,
    SupportsSaveFrames,
    SupportsSaveAnims,
    LoadObject,
    UnloadObject,
    GetNumberOfFrames,
    LockFrame,
    SaveObject,
    SaveAnim,
};
inline constexpr int kExportCount = 12;

struct ExportName {
    const char* plain;
    const char* decorated; // the platform C++ compiler's name, looked up first
};

// Decorated names: what the platform's C++ compiler calls a function of that
// signature declared outside extern "C" (Itanium ABI on ELF platforms).
inline constexpr ExportName kExportNames[kExportCount] = {
#ifdef _WIN32
    {"GetDllAuthor", "@GetDllAuthor$qv"},
    {"GetExtension", "@GetExtension$qv"},
    {"GetDllVersion", "@GetDllVersion$qv"},
    {"GetDescription", "@GetDescription$qv"},
    {"SupportsSaveFrames", "@SupportsSaveFrames$qv"},
    {"SupportsSaveAnims", "@SupportsSaveAnims$qv"},
    {"LoadObject", "@LoadObject$qpc"},
    {"UnloadObject", "@UnloadObject$qv"},
    {"GetNumberOfFrames", "@GetNumberOfFrames$qv"},
    {"LockFrame", "@LockFrame$qippuct2pit4t4t4"},
    {"SaveObject", "@SaveObject$qp10SAVE_FRAME"},
    {"SaveAnim", "@SaveAnim$qp10SAVE_FRAME"},
#else
    {"GetDllAuthor", "_Z12GetDllAuthorv"},
    {"GetExtension", "_Z12GetExtensionv"},
    {"GetDllVersion", "_Z13GetDllVersionv"},
    {"GetDescription", "_Z14GetDescriptionv"},
    {"SupportsSaveFrames", "_Z18SupportsSaveFramesv"},
    {"SupportsSaveAnims", "_Z17SupportsSaveAnimsv"},
    {"LoadObject", "_Z10LoadObjectPc"},
    {"UnloadObject", "_Z12UnloadObjectv"},
    {"GetNumberOfFrames", "_Z17GetNumberOfFramesv"},
    {"LockFrame", "_Z9LockFrameiPPhS0_PiS1_S1_S1_"},
    {"SaveObject", "_Z10SaveObjectP10SAVE_FRAME"},
    {"SaveAnim", "_Z8SaveAnimP10SAVE_FRAME"},
#endif
};

inline const ExportName& exportName(Export e) {
    return kExportNames[static_cast<int>(e)];
}

// Not one of the twelve, and optional: `const char* GetFailureReason()` gives a
// few words on why the plug-in's last LoadObject answered false ("PLTE with 0
// entries"), empty when it cannot say. LoadObject's answer stays true or false;
// the program keeps its own messages, command-line tools print the reason.
using GetFailureReasonFn = const char* (*)();
inline constexpr ExportName kFailureReasonName = {
#ifdef _WIN32
    "GetFailureReason", "@GetFailureReason$qv"
#else
    "GetFailureReason", "_Z16GetFailureReasonv"
#endif
};

// Optional too, for plug-ins that know a transparent colour. A plug-in without
// them is treated as one whose frames have none, and is handed none to save.
//
// `int GetFrameTransparency(int frame)`: the palette index shown as transparent in
// a frame already locked, or -1 (also for a frame not locked yet).
using GetFrameTransparencyFn = int (*)(int frame);
inline constexpr ExportName kFrameTransparencyName = {
#ifdef _WIN32
    "GetFrameTransparency", "@GetFrameTransparency$qi"
#else
    "GetFrameTransparency", "_Z20GetFrameTransparencyi"
#endif
};
// `void SetSaveTransparency(const int* indices, int count)`: called just before
// SaveObject or SaveAnim with the transparent index of each record of the chain,
// in order (-1 for none); it holds for that one call.
using SetSaveTransparencyFn = void (*)(const int* indices, int count);
inline constexpr ExportName kSaveTransparencyName = {
#ifdef _WIN32
    "SetSaveTransparency", "@SetSaveTransparency$qpxii"
#else
    "SetSaveTransparency", "_Z19SetSaveTransparencyPKii"
#endif
};

} // namespace pz4::plugin

// Plug-ins written in C++ export the plain C names with PZ4_EXPORT.
#ifdef _WIN32
#define PZ4_EXPORT extern "C" __declspec(dllexport)
#else
#define PZ4_EXPORT extern "C" __attribute__((visibility("default")))
#endif
