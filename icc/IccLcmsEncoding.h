#pragma once
// How the values of one colour space cross between the ICC float
// conventions and Little CMS's double formats. Only icc/ includes this.

enum class IccLcmsEncoding { Plain, Ink, Lab, Xyz };

// ICC float values to Little CMS's doubles and back (channels of the space).
void icToLcms(IccLcmsEncoding e, int channels, const double* in, double* out);
void icFromLcms(IccLcmsEncoding e, int channels, const double* in, double* out);
