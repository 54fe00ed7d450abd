#include "ConversionHarness.h"

#include "ProfileFixtures.h"

TestProfiles::TestProfiles()
    : srgb(fx::MakeSrgbProfile(dir.path())), lab(fx::MakeLabProfile(dir.path())),
      xyz(fx::MakeXyzProfile(dir.path())), gray(fx::MakeGrayProfile(dir.path())),
      cmy(fx::MakeCmyProfile(dir.path())), cmyk(fx::MakeCmykProfile(dir.path())),
      ink5(fx::MakeInkProfile(dir.path(), 5)), ink6(fx::MakeInkProfile(dir.path(), 6)),
      ink7(fx::MakeInkProfile(dir.path(), 7)) {}

TestProfiles& P() {
    static TestProfiles profiles;
    return profiles;
}
