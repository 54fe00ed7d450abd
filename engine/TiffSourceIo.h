#pragma once
// libtiff reads a source through these: large reads at explicit offsets, so
// that an image stored as thousands of one-row strips costs a few system
// calls instead of a seek and a read for every strip.

#include <tiffio.h>

// Opens fd (taken over: closed when the image is closed, or on failure) as
// TIFFFdOpenExt would with the same mode and options; TIFFFileno gives fd.
TIFF* OpenBufferedSource(int fd, const char* path, const char* mode, TIFFOpenOptions* options);

// Lets go of the bytes read ahead, so that the next read sees the file as
// it is now; for images opened by OpenBufferedSource only.
void ForgetReadAhead(TIFF* tif);
