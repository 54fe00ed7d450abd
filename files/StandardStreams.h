#pragma once
// A program started with standard input, output or error closed would hand
// those descriptor numbers to the first files it opens, and its messages
// would then be written into an image. Called first thing in main().

// Opens /dev/null on each of descriptors 0, 1 and 2 that is not open.
void EnsureStandardStreamsOpen();
