#include "JobChecks.h"

#include "Messages.h"
#include "PathIdentity.h"

std::string WithTifExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    // Only a period inside the file name itself counts, and not its first
    // character: "my.photos/out" keeps its folder, ".tif" stays a name.
    std::string result = path;
    if (dot != std::string::npos && dot > nameStart)
        result.erase(dot);
    return result + ".tif";
}

JobCheckResult CheckJob(const JobSpec& job, const PathDisplay& displayPath) {
    const std::string& sourceImage = job.m_strSourceImage;
    const std::string& destImage = job.m_strDestImage;
    const bool multipleFiles = job.m_bMultipleFiles;
    const bool noSourceProfile = job.m_strSourceProfile.empty() && !job.m_bEmbeddedSourceProfile;
    JobCheckResult result;
    const char* noun = multipleFiles ? msg::kNounFolders : msg::kNounImages;
    if (sourceImage.empty() || destImage.empty() || noSourceProfile ||
        job.m_strDestProfile.empty()) {
        result.message = FormatText(msg::kMissingFields, noun);
        return result;
    }
    // A single image is never written into a folder's hidden ".tif".
    if (!multipleFiles && (destImage.back() == '/' || IsExistingFolder(destImage) ||
                           IsExistingFolder(WithTifExtension(destImage)))) {
        const std::string shown = displayPath ? displayPath(destImage) : destImage;
        result.message = FormatText(msg::kDestIsFolder, shown.c_str());
        return result;
    }
    const std::string dest = multipleFiles ? destImage : WithTifExtension(destImage);
    if (IsSamePath(sourceImage, dest)) {
        result.message = FormatText(msg::kSameSourceAndDest, noun);
        return result;
    }
    result.ok = true;
    result.destination = dest;
    return result;
}
