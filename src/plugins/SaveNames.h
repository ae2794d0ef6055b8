#pragma once

#include "frames/JqString.h"

#include <string>

// The file a saved frame goes to. `path` is the chosen output path without its
// extension; `ext` the extension without its dot. A save of one frame writes
// path + "." + ext; a save of several tells the files apart by the frame number,
// path + number + "." + ext, the number zero-padded to three digits. Numbers from
// 1000 on keep all their digits: cutting them to three would give frames 5 and
// 1005 the same file, and the later one would overwrite the earlier.
JqString frameOutputName(const char* path, int frame, int selectedCount, const char* ext);

// A frame's number as the saved files and the viewer's labels carry it:
// zero-padded to three digits, longer numbers whole, so no two frames of one file
// share a name.
std::string frameNumberText(int frame);

// How many decimal digits a non-negative number has: the width that frame
// numbers and counts from 1000 on are written with.
int decimalDigits(int n);
