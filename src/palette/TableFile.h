#pragma once

#include <cstdio>

// Opens a palette (.pal) or translation (.trn) file for reading; null when it
// cannot be opened. Only a regular file opens: a folder, a device or a pipe
// fails as opening a folder fails on Windows, instead of reading as an empty
// file here (a folder) or waiting for a writer that never comes (a pipe).
std::FILE* openTableFile(const char* path);
