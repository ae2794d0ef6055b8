#pragma once

#include "frames/FrameList.h"
#include "plugins/SaveChain.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class cDllManager;
class cIntList;
class cScriptList;

// Frame chains locked from the open file: the ones the animator plays and saves,
// and the saving of chosen frames that Save and pzconv share.
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

// What saving frames does when one of them cannot be locked.
enum class LockFailure {
    SaveThoseBefore, // the frames locked before it are saved all the same
    SaveNothing,     // nothing is written: a partial conversion would pass for a whole one
};

struct FrameSaveResult {
    int unlockedFrame = -1;         // the frame that could not be locked, or -1
    bool asked = false;             // the plug-in was handed a chain
    bool saved = false;             // and answered true
    std::vector<std::string> files; // the names handed over, in order (an animation's: one)
};

// Locks each frame of `frames` in order and hands them to the plug-in saving
// `extension`: as one file per frame, named as frameOutputName names them after
// `path` (the output path without its extension), or, for an animation, as one
// file `path`.`extension`. Frames without a palette go with `fallbackPalette`
// (768 bytes). The locked buffers are the plug-in's and are only read.
FrameSaveResult SaveFrames(cDllManager& plugins, cSaveChain::Kind kind, const cIntList* frames,
                           const char* path, const char* extension,
                           const unsigned char* fallbackPalette, LockFailure onLockFailure);
