// The link of the ICC intents: Little CMS's own, with black-point
// compensation off and a stage for the perceptual PCS adjustment placed
// wherever one step meets the next; or, when compensation is asked for,
// exactly Little CMS's compensated link.
#include "IccLcmsLink.h"

#include <vector>

#include "IccLcmsContext.h"
#include "IccPcsJoint.h"

namespace {

constexpr cmsStageSignature kJointStage = static_cast<cmsStageSignature>(0x63704A6E); // 'cpJn'

bool IsPcs(cmsColorSpaceSignature s) {
    return s == cmsSigXYZData || s == cmsSigLabData;
}

bool IsLinkClass(cmsHPROFILE h) {
    const cmsProfileClassSignature cls = cmsGetDeviceClass(h);
    return cls == cmsSigLinkClass || cls == cmsSigAbstractClass;
}

// A step whose perceptual rendering comes from a version 4 table already
// sits on the version 4 medium; version 2 tables and matrix/TRC profiles
// (which have no perceptual rendering) do not, and abstract profiles are
// taken as they are.
bool NeedsPerceptualBlack(cmsHPROFILE h, cmsUInt32Number intent, bool input) {
    if (intent != INTENT_PERCEPTUAL || IsLinkClass(h))
        return false;
    if (cmsGetEncodedICCversion(h) < 0x04000000)
        return true;
    const bool table = input ? cmsIsTag(h, cmsSigAToB0Tag) || cmsIsTag(h, cmsSigDToB0Tag)
                             : cmsIsTag(h, cmsSigBToA0Tag) || cmsIsTag(h, cmsSigBToD0Tag);
    return !table;
}

// A joint placed after step `after` of the chain.
struct PlacedJoint {
    cmsUInt32Number after;
    IccPcsJoint joint;
};

void AddJoint(std::vector<PlacedJoint>& joints, cmsUInt32Number after, cmsColorSpaceSignature pcs,
              bool toV4) {
    if (joints.empty() || joints.back().after != after)
        joints.push_back({after, IccPcsJoint{static_cast<icColorSpaceSignature>(pcs)}});
    (toV4 ? joints.back().joint.toV4 : joints.back().joint.fromV4) = true;
}

std::vector<PlacedJoint> PlanJoints(cmsUInt32Number n, const cmsUInt32Number intents[],
                                    cmsHPROFILE profiles[]) {
    std::vector<PlacedJoint> joints;
    cmsColorSpaceSignature current = cmsGetColorSpace(profiles[0]);
    for (cmsUInt32Number i = 0; i < n; ++i) {
        const bool input = icLcmsStepIsInput(i, current, profiles[i]);
        const cmsColorSpaceSignature next = icLcmsStepOutputSpace(i, current, profiles[i]);
        if (NeedsPerceptualBlack(profiles[i], intents[i], input)) {
            if (input && IsPcs(next))
                AddJoint(joints, i, next, true);
            else if (!input && i > 0 && IsPcs(current))
                AddJoint(joints, i - 1, current, false);
        }
        current = next;
    }
    return joints;
}

void EvalJoint(const cmsFloat32Number in[], cmsFloat32Number out[], const cmsStage* mpe) {
    const auto* joint = static_cast<const IccPcsJoint*>(cmsStageData(mpe));
    icFloatNumber v[3] = {in[0], in[1], in[2]};
    icApplyPcsJoint(*joint, v);
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<cmsFloat32Number>(v[i]);
}

// Joint stages are made only in the layer's context.
void* DupJoint(cmsStage* mpe) {
    return _cmsDupMem(icLcmsContext(), cmsStageData(mpe), sizeof(IccPcsJoint));
}

void FreeJoint(cmsStage* mpe) {
    _cmsFree(icLcmsContext(), cmsStageData(mpe));
}

cmsStage* AllocJointStage(cmsContext ctx, const IccPcsJoint& joint) {
    void* data = _cmsDupMem(ctx, &joint, sizeof joint);
    if (data == nullptr)
        return nullptr;
    cmsStage* stage =
        _cmsStageAllocPlaceholder(ctx, kJointStage, 3, 3, EvalJoint, DupJoint, FreeJoint, data);
    if (stage == nullptr)
        _cmsFree(ctx, data);
    return stage;
}

struct LinkArgs {
    cmsContext ctx;
    cmsUInt32Number* intents;
    cmsHPROFILE* profiles;
    cmsBool* bpc;
    cmsFloat64Number* adaptation;
    cmsUInt32Number flags;

    cmsPipeline* Link(cmsUInt32Number n) const {
        return _cmsDefaultICCintents(ctx, n, intents, profiles, bpc, adaptation, flags);
    }
};

// Little CMS builds a chain one step after the other, so the link of the
// first steps alone tells where their stages end in the whole link.
bool JointPositions(const LinkArgs& args, const std::vector<PlacedJoint>& joints,
                    std::vector<cmsUInt32Number>& positions) {
    for (const PlacedJoint& j : joints) {
        cmsPipeline* head = args.Link(j.after + 1);
        if (head == nullptr)
            return false;
        positions.push_back(cmsPipelineStageCount(head));
        cmsPipelineFree(head);
    }
    return true;
}

// A copy of `whole` with the joints' stages inserted at their positions.
cmsPipeline* WithJoints(cmsContext ctx, const cmsPipeline* whole,
                        const std::vector<PlacedJoint>& joints,
                        const std::vector<cmsUInt32Number>& positions) {
    cmsPipeline* out =
        cmsPipelineAlloc(ctx, cmsPipelineInputChannels(whole), cmsPipelineOutputChannels(whole));
    if (out == nullptr)
        return nullptr;
    const cmsStage* stage = cmsPipelineGetPtrToFirstStage(whole);
    size_t next = 0;
    for (cmsUInt32Number index = 0;; ++index) {
        for (; next < joints.size() && positions[next] == index; ++next) {
            if (!cmsPipelineInsertStage(out, cmsAT_END, AllocJointStage(ctx, joints[next].joint)))
                return cmsPipelineFree(out), nullptr;
        }
        if (stage == nullptr)
            break;
        if (!cmsPipelineInsertStage(out, cmsAT_END, cmsStageDup(const_cast<cmsStage*>(stage))))
            return cmsPipelineFree(out), nullptr;
        stage = cmsStageNext(stage);
    }
    return out;
}

} // namespace

bool icLcmsStepIsInput(cmsUInt32Number index, cmsColorSpaceSignature current, cmsHPROFILE profile) {
    if (IsLinkClass(profile))
        return false;
    return index == 0 || !IsPcs(current);
}

cmsColorSpaceSignature icLcmsStepOutputSpace(cmsUInt32Number index, cmsColorSpaceSignature current,
                                             cmsHPROFILE profile) {
    const bool forward = IsLinkClass(profile) || icLcmsStepIsInput(index, current, profile);
    return forward ? cmsGetPCS(profile) : cmsGetColorSpace(profile);
}

cmsPipeline* icLcmsLinkProfiles(cmsContext ctx, cmsUInt32Number nProfiles,
                                cmsUInt32Number intents[], cmsHPROFILE profiles[], cmsBool bpc[],
                                cmsFloat64Number adaptation[], cmsUInt32Number dwFlags) {
    if (nProfiles == 0)
        return nullptr;
    // Compensation maps each step's black point onto the next one's, which
    // is what the perceptual adjustment would otherwise do for black.
    if ((dwFlags & cmsFLAGS_BLACKPOINTCOMPENSATION) != 0) {
        return _cmsDefaultICCintents(ctx, nProfiles, intents, profiles, bpc, adaptation, dwFlags);
    }
    // Little CMS turns compensation on for version 4 profiles with the
    // perceptual and saturation intents; the reference CMM never compensates.
    std::vector<cmsBool> noBpc(nProfiles, FALSE);
    const LinkArgs args{ctx, intents, profiles, noBpc.data(), adaptation, dwFlags};
    cmsPipeline* whole = args.Link(nProfiles);
    std::vector<PlacedJoint> joints = PlanJoints(nProfiles, intents, profiles);
    if (whole == nullptr || joints.empty())
        return whole;
    std::vector<cmsUInt32Number> positions;
    cmsPipeline* joined = nullptr;
    if (JointPositions(args, joints, positions))
        joined = WithJoints(ctx, whole, joints, positions);
    cmsPipelineFree(whole);
    return joined;
}
