#pragma once
// The colour layer's own Little CMS context and the plug-ins registered in it,
// which make Little CMS compute what the ICC reference CMM computes: linear
// interpolation of every table, no black-point compensation, and the
// perceptual PCS adjustment between profile versions. Like every IccLcms*.h
// header, only icc/ includes this.

#include <lcms2.h>

// The context every profile is opened and every transform is made in; null
// when Little CMS could not make it. Made once, kept for the program's life.
cmsContext icLcmsContext();
