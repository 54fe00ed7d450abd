#include "ConverterDlg.h"

#include "AboutDlg.h"
#include "AppNames.h"
#include "Choosers.h"
#include "ColorDirectory.h"
#include "ControlIds.h"
#include "Controls.h"
#include "ConversionDlg.h"
#include "HelpDlg.h"
#include "JobChecks.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "PathEdit.h"
#include "Resources.h"
#include "StaticLink.h"
#include "UiTexts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>

CConverterDlg::CConverterDlg(QWidget* parent, IMessageBoxes* boxes, IChoosers* choosers)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_boxes(boxes ? *boxes : StandardMessageBoxes()),
      m_ownChoosers(choosers ? nullptr : std::make_unique<CStandardChoosers>(m_boxes)),
      m_choosers(choosers ? *choosers : *m_ownChoosers), m_hIcon(AppIcon()),
      m_strColorDirectory(GetColorDirectory()) {
    setWindowTitle(QString::fromLatin1(app::kAppName));
    CreateControls();
    OnInitDialog();
}

CConverterDlg::~CConverterDlg() = default;

namespace {

// The count of images converted from the source profile while they carry
// another, or "" when there were none.
std::string OtherProfiles(const RunResult& result) {
    if (result.m_nOtherProfiles == 0)
        return std::string();
    if (result.m_nOtherProfiles == 1)
        return msg::kOtherProfileOne;
    return FormatText(msg::kOtherProfileCount, result.m_nOtherProfiles);
}

} // namespace

void CConverterDlg::OnInitDialog() {
    RestoreChoices();
    DoDataExchange(false);

    auto* aboutAction = new QAction(QString::fromLatin1(txt::kAboutMenu), this);
    aboutAction->setObjectName(QStringLiteral("aboutAction"));
    aboutAction->setData(ids::IDM_ABOUTBOX);
    // From the keyboard wherever the focus is in the window.
    aboutAction->setShortcut(QKeySequence(QString::fromLatin1(txt::kAboutShortcut)));
    connect(aboutAction, &QAction::triggered, this, &CConverterDlg::OnAboutBox);
    addAction(aboutAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // The path fields have menus of their own; About ends them too.
    for (CPathEdit* edit :
         {m_sourceImageEdit, m_sourceProfileEdit, m_destImageEdit, m_destProfileEdit}) {
        edit->AddContextAction(aboutAction);
    }
    setAcceptDrops(true);

    setWindowIcon(m_hIcon);
    m_logoLink->SetLink(std::string());
    m_textLink->SetLink(std::string());
    SetToolTips();
    m_sourceImageEdit->setFocus();
}

void CConverterDlg::SetToolTips() {
    const std::pair<QWidget*, const char*> tips[] = {
        {m_sourceImageEdit, txt::kTipSourceImage},
        {m_browseSourceImageButton, txt::kTipBrowse},
        {m_sourceProfileEdit, txt::kTipSourceProfile},
        {m_browseSourceProfileButton, txt::kTipBrowseProfiles},
        {m_destImageEdit, txt::kTipDestImage},
        {m_browseDestImageButton, txt::kTipBrowse},
        {m_destProfileEdit, txt::kTipDestProfile},
        {m_browseDestProfileButton, txt::kTipBrowseProfiles},
        {m_embedCheck, txt::kTipEmbed},
        {m_intentCombo, txt::kTipIntent},
        {m_convertButton, txt::kTipConvert},
        {m_multipleFilesCheck, txt::kTipMultipleFiles},
        {m_useEmbeddedCheck, txt::kTipUseEmbedded},
        {m_blackPointCheck, txt::kTipBlackPoint},
        {m_keepMetadataCheck, txt::kTipKeepMetadata},
        {m_compressionCombo, txt::kTipCompression},
        {m_depthCombo, txt::kTipDepth},
    };
    for (const auto& [control, tip] : tips) {
        control->setToolTip(QString::fromLatin1(tip));
        control->setToolTipDuration(10000);
    }
}

void CConverterDlg::DoDataExchange(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strSourceImage = m_sourceImageEdit->text().toStdString();
        m_strDestImage = m_destImageEdit->text().toStdString();
        m_strSourceProfile = m_sourceProfileEdit->text().toStdString();
        m_strDestProfile = m_destProfileEdit->text().toStdString();
        m_nIntent = m_intentCombo->currentIndex();
        m_bEmbedProfile = m_embedCheck->isChecked() ? 1 : 0;
        m_bMultipleFiles = m_multipleFilesCheck->isChecked() ? 1 : 0;
        ExchangeChoices(true);
        return;
    }
    m_sourceImageEdit->setText(QString::fromStdString(m_strSourceImage));
    m_destImageEdit->setText(QString::fromStdString(m_strDestImage));
    m_sourceProfileEdit->setText(QString::fromStdString(m_strSourceProfile));
    m_destProfileEdit->setText(QString::fromStdString(m_strDestProfile));
    m_intentCombo->setCurrentIndex(m_nIntent);
    m_embedCheck->setChecked(m_bEmbedProfile != 0);
    m_multipleFilesCheck->setChecked(m_bMultipleFiles != 0);
    ExchangeChoices(false);
}

void CConverterDlg::RefreshHeldValues() {
    const int intent = m_intentCombo->currentIndex();
    m_nIntent = intent == -1 ? txt::kDefaultIntent : intent;
    m_bEmbedProfile = m_embedCheck->isChecked() ? 1 : 0;
    m_bMultipleFiles = m_multipleFilesCheck->isChecked() ? 1 : 0;
    ExchangeChoices(true);
    DoDataExchange(false);
}

void CConverterDlg::accept() {
    DoDataExchange(true);
    JobSpec job;
    job.m_strSourceImage = m_strSourceImage;
    job.m_strSourceProfile = m_strSourceProfile;
    job.m_strDestProfile = m_strDestProfile;
    job.m_strDestImage = m_strDestImage;
    job.m_nIntent = m_nIntent;
    job.m_bMultipleFiles = m_bMultipleFiles != 0;
    job.m_bEmbedProfile = m_bEmbedProfile != 0;
    ApplyChoices(job);
    const JobCheckResult check = CheckJob(job);
    if (!check.ok) {
        m_boxes.Show(this, check.message, IMessageBoxes::Icon::Error);
        return;
    }
    RememberChoices();
    if (!job.m_bMultipleFiles) {
        m_strDestImage = job.m_strDestImage = check.destination;
        DoDataExchange(false);
    }

    CConversionDlg status(this, m_boxes);
    status.SetJob(job);
    if (status.exec() == QDialog::Accepted) {
        std::string text = msg::kConversionComplete;
        for (const std::string& line :
             {RunSummary(status.Result()), OtherProfiles(status.Result())})
            text += line.empty() ? "" : "\n" + line;
        m_boxes.Show(this, text, IMessageBoxes::Icon::None);
        m_strDestImage.clear();
    } else {
        m_boxes.Show(this, msg::kConversionCancelled, IMessageBoxes::Icon::Error);
    }
    DoDataExchange(false);
}

void CConverterDlg::done(int result) {
    RememberChoices();
    QDialog::done(result);
}

void CConverterDlg::OnAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

void CConverterDlg::OnHelpButton() {
    CHelpDlg help(this);
    help.exec();
}
