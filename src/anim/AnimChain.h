#pragma once

#include "frames/FrameList.h"

#include <cstdint>
#include <memory>

class cDllManager;
class cIntList;
class cScriptList;

// The frame chains the animator plays and saves, locked from the open file.
// Frames the plug-in refuses are left out without a word; a chain is null when
// no frame at all could be locked. `palette` (768 bytes) is shown for frames
// that bring none; the nodes share it, so replacing the program's palette later
// leaves them intact.

// The frames of `indices` in their order, each node numbered with its frame
// number, unmirrored.
std::unique_ptr<cFrameList> LockFrameList(cDllManager& plugins,
                                          const std::shared_ptr<unsigned char[]>& palette,
                                          const cIntList* indices);

// Frames `from` to `to`, each node numbered with its frame number, unmirrored.
std::unique_ptr<cFrameList> LockFrameRange(cDllManager& plugins,
                                           const std::shared_ptr<unsigned char[]>& palette,
                                           int32_t from, int32_t to);

// One node per script step whose frame could be locked, numbered with the
// step's place in the script and mirrored by its flags.
std::unique_ptr<cFrameList> LockScriptSteps(cDllManager& plugins,
                                            const std::shared_ptr<unsigned char[]>& palette,
                                            const cScriptList& steps);

// A copy of the `width` x `height` bytes at `pixels`, each row reversed when
// `mirror` has cFrameList::kMirrorX, the rows in reverse order when it has
// cFrameList::kMirrorY.
std::unique_ptr<unsigned char[]> MirroredCopy(const unsigned char* pixels, int32_t width,
                                              int32_t height, int32_t mirror);

// Writes the chain as one animation file `fileName` through the plug-in saving
// `extension`. Mirrored nodes are handed over as mirrored copies that live until
// the plug-in returns; the plug-in's own buffers are only read. Nodes without a
// palette go with `fallbackPalette`. False when the plug-in reports a failure.
bool SaveAnimation(cDllManager& plugins, const cFrameList& first, const char* fileName,
                   const char* extension, const unsigned char* fallbackPalette);
