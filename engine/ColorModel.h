#pragma once
// The pixel kind of a TIFF file, by which a conversion compares an image
// with a profile's colour space.

enum TiffColorModel {
    TCM_ADDITIVE = 0,    // RGB, or grey stored black-is-zero
    TCM_SUBTRACTIVE = 1, // inks, or grey stored white-is-zero
    TCM_LAB = 2,         // CIE L*a*b*
};
