#pragma once
// libtiff reads sources and writes destinations through these: large reads
// and writes at explicit offsets, so that an image stored as thousands of
// one-row strips costs a few system calls instead of a seek and a read or
// write for every strip.

#include <tiffio.h>

// Open fd (taken over: closed when the image is closed, or on failure) as
// TIFFFdOpenExt would with the same mode and options; TIFFFileno gives fd.
// Files are never mapped. A sink's file must be empty, and grow only
// through libtiff.
TIFF* OpenBufferedSource(int fd, const char* path, const char* mode, TIFFOpenOptions* options);
TIFF* OpenBufferedSink(int fd, const char* path, const char* mode);

// Lets go of the bytes a source read ahead, so that the next read sees the
// file as it is now.
void ForgetReadAhead(TIFF* tif);

// Writes what a sink holds back to its file, before the file is used by
// other means (its descriptor, fsync); false with errno set when the write
// fails. True for any other image.
bool FlushBufferedSink(TIFF* tif);
