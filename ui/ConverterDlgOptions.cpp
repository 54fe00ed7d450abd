// The main window's choices beyond the paths: the source's embedded profile,
// black-point compensation, metadata, compression and depth; what the job
// takes from them; and the profiles and choices remembered between sessions.

#include "ConverterDlg.h"

#include "ControlIds.h"
#include "Controls.h"
#include "ConversionJob.h"
#include "Settings.h"
#include "UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>
#include <iterator>

namespace {

// The compression of each entry of the window's list.
constexpr TiffCompression kCompressionCodes[] = {kCompressNone, kCompressLzw, kCompressDeflate,
                                                 kCompressZstd};
static_assert(std::size(kCompressionCodes) == std::size(txt::kCompressions));
constexpr int kDepthBits[] = {0, 8, 16};
static_assert(std::size(kDepthBits) == std::size(txt::kDepths));

QCheckBox* MakeCheck(QWidget* parent, const char* text, const char* name) {
    auto* check = new QCheckBox(QString::fromLatin1(text), parent);
    SetControl(check, ids::IDC_STATIC, QString::fromLatin1(name));
    return check;
}

template <size_t N>
QComboBox* MakeList(QWidget* parent, const char* const (&entries)[N], const char* name) {
    auto* combo = new QComboBox(parent);
    SetControl(combo, ids::IDC_STATIC, QString::fromLatin1(name));
    for (const char* entry : entries)
        combo->addItem(QString::fromLatin1(entry));
    return combo;
}

// Entries of the options section.
constexpr const char* kSourceProfileEntry = "Source Profile";
constexpr const char* kDestProfileEntry = "Destination Profile";
constexpr const char* kIntentEntry = "Intent";
constexpr const char* kUseEmbeddedEntry = "Use Embedded Profile";
constexpr const char* kEmbedEntry = "Embed Profile";
constexpr const char* kBlackPointEntry = "Black Point Compensation";
constexpr const char* kKeepMetadataEntry = "Keep Metadata";
constexpr const char* kCompressionEntry = "Compression";
constexpr const char* kDepthEntry = "Output Depth";

// A remembered index from 0 to count - 1, or fallback when none (or no such
// index) was stored.
int ReadIndex(const char* entry, int count, int fallback) {
    const std::string text = ReadSetting(txt::kOptionsSection, entry);
    if (text.size() != 1 || text[0] < '0' || text[0] >= '0' + count)
        return fallback;
    return text[0] - '0';
}

void WriteIndex(const char* entry, int index) {
    WriteSetting(txt::kOptionsSection, entry, std::to_string(index));
}

} // namespace

void CConverterDlg::CreateChoiceControls() {
    m_useEmbeddedCheck = MakeCheck(this, txt::kUseEmbedded, "useEmbeddedCheck");
    m_blackPointCheck = MakeCheck(this, txt::kBlackPoint, "blackPointCheck");
    m_keepMetadataCheck = MakeCheck(this, txt::kKeepMetadata, "keepMetadataCheck");
    m_compressionCombo = MakeList(this, txt::kCompressions, "compressionCombo");
    m_depthCombo = MakeList(this, txt::kDepths, "depthCombo");
    // Compensation has no meaning for absolute colorimetric.
    connect(m_intentCombo, &QComboBox::currentIndexChanged, this,
            [this](int intent) { m_blackPointCheck->setEnabled(intent != txt::kAbsoluteIntent); });
}

// "Compression [None]   Output depth [As source]", under the embedding checks.
QLayout* CConverterDlg::CreateOutputRow() {
    auto* row = new QHBoxLayout;
    row->setSpacing(DluX(this, 4));
    for (auto [text, combo] : {std::pair{txt::kCompressionLabel, m_compressionCombo},
                               std::pair{txt::kDepthLabel, m_depthCombo}}) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setBuddy(combo);
        row->addWidget(label);
        row->addWidget(combo);
        row->addSpacing(DluX(this, 6));
    }
    row->addStretch(1);
    return row;
}

void CConverterDlg::ExchangeChoices(bool saveAndValidate) {
    if (saveAndValidate) {
        m_bUseEmbedded = m_useEmbeddedCheck->isChecked();
        m_bBlackPoint = m_blackPointCheck->isChecked();
        m_bKeepMetadata = m_keepMetadataCheck->isChecked();
        m_nCompression = std::max(0, m_compressionCombo->currentIndex());
        m_nDepth = std::max(0, m_depthCombo->currentIndex());
        return;
    }
    m_useEmbeddedCheck->setChecked(m_bUseEmbedded);
    m_blackPointCheck->setChecked(m_bBlackPoint);
    m_blackPointCheck->setEnabled(m_nIntent != txt::kAbsoluteIntent);
    m_keepMetadataCheck->setChecked(m_bKeepMetadata);
    m_compressionCombo->setCurrentIndex(m_nCompression);
    m_depthCombo->setCurrentIndex(m_nDepth);
}

void CConverterDlg::ApplyChoices(JobSpec& job) const {
    job.m_bEmbeddedSourceProfile = m_bUseEmbedded;
    job.m_bBlackPointCompensation = m_bBlackPoint;
    job.m_bKeepMetadata = m_bKeepMetadata;
    job.m_nCompression = kCompressionCodes[m_nCompression];
    job.m_nOutputDepth = kDepthBits[m_nDepth];
}

void CConverterDlg::RestoreChoices() {
    m_strSourceProfile = ReadSetting(txt::kOptionsSection, kSourceProfileEntry);
    m_strDestProfile = ReadSetting(txt::kOptionsSection, kDestProfileEntry);
    m_nIntent = ReadIndex(kIntentEntry, int(std::size(txt::kIntents)), txt::kDefaultIntent);
    m_bUseEmbedded = ReadIndex(kUseEmbeddedEntry, 2, 0) != 0;
    m_bEmbedProfile = ReadIndex(kEmbedEntry, 2, 0);
    m_bBlackPoint = ReadIndex(kBlackPointEntry, 2, 0) != 0;
    m_bKeepMetadata = ReadIndex(kKeepMetadataEntry, 2, 0) != 0;
    m_nCompression = ReadIndex(kCompressionEntry, int(std::size(txt::kCompressions)), 0);
    m_nDepth = ReadIndex(kDepthEntry, int(std::size(txt::kDepths)), 0);
}

void CConverterDlg::RememberChoices() {
    DoDataExchange(true);
    WriteSetting(txt::kOptionsSection, kSourceProfileEntry, m_strSourceProfile);
    WriteSetting(txt::kOptionsSection, kDestProfileEntry, m_strDestProfile);
    WriteIndex(kIntentEntry, m_nIntent);
    WriteIndex(kUseEmbeddedEntry, m_bUseEmbedded);
    WriteIndex(kEmbedEntry, m_bEmbedProfile);
    WriteIndex(kBlackPointEntry, m_bBlackPoint);
    WriteIndex(kKeepMetadataEntry, m_bKeepMetadata);
    WriteIndex(kCompressionEntry, m_nCompression);
    WriteIndex(kDepthEntry, m_nDepth);
}
