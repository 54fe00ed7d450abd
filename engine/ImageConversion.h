#pragma once
// Converts one image of a run: builds the transform from the job's two
// profiles, checks the source against them, writes the destination row by
// row and puts it in place once complete.

#include <cstdint>
#include <string>

#include "ColorModel.h"
#include "IccDefs.h"
#include "ImageResources.h"

class CConversionJob;

ImageResult ConvertImage(CConversionJob& job, const ImageResources& res,
                         const std::string& sourcePath, const std::string& destPath);

// The intent handed to the source step for an intent index 0..3.
icRenderingIntent SourceIntentFor(int intentIndex);

// Whether a source of this colour model and sample count agrees with the
// source profile's colour space.
bool SourceAgreesWithSpace(icColorSpaceSignature space, uint16_t samples, TiffColorModel model);

// The destination file's colour model and sample count for the destination
// profile's colour space; false for a space that cannot be stored.
bool DestinationLayoutFor(icColorSpaceSignature space, TiffColorModel& model, uint16_t& samples);
