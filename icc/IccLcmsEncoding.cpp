// The transform and its fast evaluator both cross between the encodings
// here, so that they cannot disagree on the way.
#include "IccLcmsEncoding.h"

#include "IccPcs.h"

void icToLcms(IccLcmsEncoding e, int channels, const double* in, double* out) {
    switch (e) {
    case IccLcmsEncoding::Lab:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        icLabFromPcs(out);
        return;
    case IccLcmsEncoding::Xyz:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        icXyzFromPcs(out);
        return;
    case IccLcmsEncoding::Ink:
        for (int i = 0; i < channels; ++i)
            out[i] = in[i] * 100.0;
        return;
    case IccLcmsEncoding::Plain:
        for (int i = 0; i < channels; ++i)
            out[i] = in[i];
        return;
    }
}

void icFromLcms(IccLcmsEncoding e, int channels, const double* in, double* out) {
    switch (e) {
    case IccLcmsEncoding::Lab:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        icLabToPcs(out);
        return;
    case IccLcmsEncoding::Xyz:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        icXyzToPcs(out);
        return;
    case IccLcmsEncoding::Ink:
        for (int i = 0; i < channels; ++i)
            out[i] = in[i] / 100.0;
        return;
    case IccLcmsEncoding::Plain:
        for (int i = 0; i < channels; ++i)
            out[i] = in[i];
        return;
    }
}
