#pragma once
// Little CMS's XYZ to Lab stage computed without its cube roots, with the
// same results (see IccFastLab.cpp). Values are the pipeline's floats: XYZ
// over 1 + 32767/32768, Lab as L/100 and (a or b + 128)/255.

// One colour: three floats in, three out.
void icFastXyzToLab(const float* in, float* out);

// n colours, channel-major: channel c of colour i at c * stride + i, in and
// out. n is a multiple of 4 and the arrays hold every value it covers.
void icFastXyzToLabLanes(const float* in, float* out, unsigned n, unsigned stride);
