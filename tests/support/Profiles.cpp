#include <lcms2.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "Support.h"

namespace ts {
namespace {

cmsHPROFILE OpenBuiltin(Builtin kind) {
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, kind == Builtin::Gray ? 2.2 : 1.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE p = nullptr;
    switch (kind) {
    case Builtin::Srgb:
        p = cmsCreate_sRGBProfile();
        break;
    case Builtin::Lab4:
        p = cmsCreateLab4Profile(nullptr);
        break;
    case Builtin::Lab2:
        p = cmsCreateLab2Profile(nullptr);
        break;
    case Builtin::Xyz:
        p = cmsCreateXYZProfile();
        break;
    case Builtin::Gray:
        p = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
        break;
    case Builtin::Abstract:
        p = cmsCreateBCHSWabstractProfile(17, 10, 1, 0, 0, 0, 0);
        break;
    case Builtin::DeviceLink:
        p = cmsCreateLinearizationDeviceLink(cmsSigRgbData, curves);
        break;
    }
    cmsFreeToneCurve(gamma);
    return p;
}

std::string Save(cmsHPROFILE p, const std::string& dir, const std::string& name) {
    const std::string path = dir + "/" + name;
    const bool saved = p && cmsSaveProfileToFile(p, path.c_str());
    if (p)
        cmsCloseProfile(p);
    return saved ? path : "";
}

// One 16-bit table sampled from a model, with Lab in the v2 encoding on its Lab side.
cmsPipeline* Table(int inputs, int outputs, int grid, const Model& model, bool labIn) {
    cmsPipeline* pipe = cmsPipelineAlloc(nullptr, inputs, outputs);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, grid, inputs, outputs, nullptr);
    struct Cargo {
        const Model* model;
        int inputs, outputs;
        bool labIn;
    } cargo{&model, inputs, outputs, labIn};
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* c) -> cmsInt32Number {
            const Cargo& k = *static_cast<Cargo*>(c);
            double x[cmsMAXCHANNELS], y[cmsMAXCHANNELS];
            cmsCIELab lab;
            if (k.labIn) {
                cmsLabEncoded2FloatV2(&lab, in);
                x[0] = lab.L, x[1] = lab.a, x[2] = lab.b;
            } else {
                for (int i = 0; i < k.inputs; ++i)
                    x[i] = in[i] / 65535.0;
            }
            (*k.model)(x, y);
            if (k.labIn) {
                for (int i = 0; i < k.outputs; ++i)
                    out[i] = cmsUInt16Number(std::lround(std::clamp(y[i], 0.0, 1.0) * 65535));
            } else {
                lab = {y[0], y[1], y[2]};
                cmsFloat2LabEncodedV2(out, &lab);
            }
            return 1;
        },
        &cargo, 0);
    cmsPipelineInsertStage(pipe, cmsAT_END, clut);
    return pipe;
}

void WriteTables(cmsHPROFILE p, cmsTagSignature first, const std::vector<Model>& models, int inputs,
                 int outputs, int grid, bool labIn) {
    for (size_t i = 0; i < models.size() && i < 3; ++i) {
        cmsPipeline* pipe = Table(inputs, outputs, grid, models[i], labIn);
        cmsWriteTag(p, cmsTagSignature(first + i), pipe);
        cmsPipelineFree(pipe);
    }
    for (size_t i = models.size(); i > 0 && i < 3; ++i)
        cmsLinkTag(p, cmsTagSignature(first + i), first);
}

cmsHTRANSFORM SrgbLab(bool toLab) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile(), lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = toLab ? cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, 1,
                                                 cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE)
                            : cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_DBL, 1,
                                                 cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return t;
}

} // namespace

void SrgbToLab(const double* rgb, double* lab) {
    static const cmsHTRANSFORM t = SrgbLab(true);
    cmsDoTransform(t, rgb, lab, 1);
}

void LabToSrgb(const double* lab, double* rgb) {
    static const cmsHTRANSFORM t = SrgbLab(false);
    cmsDoTransform(t, lab, rgb, 1);
    for (int i = 0; i < 3; ++i)
        rgb[i] = std::clamp(rgb[i], 0.0, 1.0);
}

std::string MakeProfile(const std::string& dir, Builtin kind, const std::string& name) {
    static const char* names[] = {"srgb", "lab4", "lab2", "xyz", "gray", "abstract", "link"};
    return Save(OpenBuiltin(kind), dir,
                name.empty() ? names[int(kind)] + std::string(".icc") : name);
}

std::string MakeProfile(const std::string& dir, const TableProfile& t, const std::string& name) {
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 2.4);
    cmsSetDeviceClass(p, cmsProfileClassSignature(t.deviceClass));
    cmsSetColorSpace(p, cmsColorSpaceSignature(t.space));
    cmsSetPCS(p, cmsSigLabData);
    cmsSetHeaderRenderingIntent(p, cmsUInt32Number(t.headerIntent));
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    WriteTables(p, cmsSigAToB0Tag, t.toLab, t.channels, 3, t.grid, false);
    WriteTables(p, cmsSigBToA0Tag, t.fromLab, 3, t.channels, 17, true);
    if (!t.colorants.empty()) {
        cmsNAMEDCOLORLIST* list = cmsAllocNamedColorList(nullptr, 0, 0, "", "");
        cmsUInt16Number pcs[3] = {}, device[cmsMAXCHANNELS] = {};
        for (const std::string& c : t.colorants)
            cmsAppendNamedColor(list, c.c_str(), pcs, device);
        cmsWriteTag(p, cmsSigColorantTableTag, list);
        cmsFreeNamedColorList(list);
    }
    return Save(p, dir, name);
}

TableProfile InkTables(int inks) {
    TableProfile t;
    t.channels = inks;
    t.space = inks == 3   ? 0x434D5920
              : inks == 4 ? 0x434D594B
                          : uint32_t("0123456789ABCDEF"[inks]) << 24 | 0x434C52;
    t.grid = std::max(3, 17 - 4 * (inks - 3));
    // The inks past the third darken all three; back from Lab they take half the grey.
    t.toLab = {[inks](const double* in, double* lab) {
        double extra = 0, rgb[3];
        for (int i = 3; i < inks; ++i)
            extra += in[i] / (inks - 3);
        for (int i = 0; i < 3; ++i)
            rgb[i] = (1 - in[i]) * (1 - extra);
        SrgbToLab(rgb, lab);
    }};
    t.fromLab = {[inks](const double* lab, double* out) {
        double rgb[3];
        LabToSrgb(lab, rgb);
        const double extra = inks > 3 ? (1 - *std::max_element(rgb, rgb + 3)) / 2 : 0;
        for (int i = 0; i < inks; ++i)
            out[i] = i < 3 ? 1 - rgb[i] / (1 - extra) : extra;
    }};
    return t;
}

TableProfile CmyTables() {
    return InkTables(3);
}

TableProfile IntentTables() {
    static const int order[3][3] = {{0, 1, 2}, {2, 1, 0}, {1, 2, 0}};
    TableProfile t;
    t.space = 0x52474220, t.channels = 3, t.grid = 17, t.headerIntent = 2;
    for (int k = 0; k < 3; ++k) {
        t.toLab.push_back([k](const double* in, double* lab) {
            const double rgb[3] = {in[order[k][0]], in[order[k][1]], in[order[k][2]]};
            SrgbToLab(rgb, lab);
        });
        t.fromLab.push_back([k](const double* lab, double* out) {
            double rgb[3];
            LabToSrgb(lab, rgb);
            for (int i = 0; i < 3; ++i)
                out[order[k][i]] = rgb[i];
        });
    }
    return t;
}

std::string SystemProfile(const std::string& relative) {
    return "/usr/share/color/icc/" + relative;
}

std::string MissingProfile(const std::string& relative) {
    const std::string path = SystemProfile(relative);
    if (access(path.c_str(), R_OK) == 0)
        return "";
    // As dpkg -S finds them on Debian 12.
    const auto under = [&](const char* folder) { return relative.rfind(folder, 0) == 0; };
    const char* package = under("ghostscript/") ? "libgs-common (which ghostscript installs)"
                          : under("colord/")    ? "colord-data"
                                                : "icc-profiles-free";
    return "The profile " + path + " is missing: it comes with the Debian package " + package;
}

} // namespace ts
