#include "ConversionJob.h"

#include <cmath>

#include "ConversionRun.h"

bool CConversionJob::SetJob(const std::string& sourceImage, const std::string& sourceProfile,
                            const std::string& destProfile, const std::string& destImage,
                            int intent, bool multipleFiles) {
    m_strSourceImage = sourceImage;
    m_strSourceProfile = sourceProfile;
    m_strDestProfile = destProfile;
    m_strDestImage = destImage;
    m_nIntent = intent;
    m_bMultipleFiles = multipleFiles;
    return true;
}

void CConversionJob::RunConversion() {
    if (m_bCancelRequested.load(std::memory_order_relaxed)) {
        m_bSucceeded.store(false, std::memory_order_relaxed);
        m_bStop.store(false, std::memory_order_relaxed);
        return;
    }
    CConversionRun run(*this, *m_pObserver);
    run.Run();
}

unsigned ConversionThreadProc(CConversionJob* job) {
    job->RunConversion();
    // Everything the run wrote is visible to whoever sees the flag.
    job->m_bFinished.store(true, std::memory_order_release);
    return 0;
}

int32_t RoundToInt(double value) {
    const double whole = std::floor(value);
    const double frac = value - whole;
    const int32_t f = static_cast<int32_t>(whole);
    if (value > 0)
        return frac >= 0.5 ? f + 1 : f;
    return frac > 0.5 ? f + 1 : f;
}
