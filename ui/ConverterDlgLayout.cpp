// The main window's controls: the image fields on the left, the profile
// fields on the right, labels centred above their fields, the logo on top and
// the commands along the bottom.

#include "ConverterDlg.h"

#include "ControlIds.h"
#include "Controls.h"
#include "PathEdit.h"
#include "Resources.h"
#include "StaticLink.h"
#include "UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <iterator>

namespace {

QLabel* MakeLabel(QWidget* parent, const char* text, int id, const char* name) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    SetControl(label, id, QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

CPathEdit* MakeEdit(QWidget* parent, int id, const char* name) {
    auto* edit = new CPathEdit(parent);
    SetControl(edit, id, QString::fromLatin1(name));
    edit->setMinimumWidth(DluX(parent, 184));
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* text, int id, const char* name) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    SetControl(button, id, QString::fromLatin1(name));
    return button;
}

// "..." buttons are as tall as the field beside them and nearly square.
QPushButton* MakeBrowseButton(QWidget* parent, const QLineEdit* field, int id, const char* name) {
    QPushButton* button = MakeButton(parent, txt::kBrowse, id, name);
    const int height = field->sizeHint().height();
    button->setFixedSize(std::max(DluX(parent, 14), height), height);
    return button;
}

QCheckBox* MakeCheck(QWidget* parent, const char* text, int id, const char* name) {
    auto* check = new QCheckBox(QString::fromLatin1(text), parent);
    SetControl(check, id, QString::fromLatin1(name));
    return check;
}

} // namespace

void CConverterDlg::CreateControls() {
    CreateLabels();
    CreatePathFields();
    CreateOptionControls();
    CreateChoiceControls();
    LayOutControls();
    OrderTabs();

    connect(m_browseSourceImageButton, &QPushButton::clicked, this,
            &CConverterDlg::OnBrowseSourceImage);
    connect(m_browseDestImageButton, &QPushButton::clicked, this,
            &CConverterDlg::OnBrowseDestImage);
    connect(m_browseSourceProfileButton, &QPushButton::clicked, this,
            &CConverterDlg::OnBrowseSourceProfile);
    connect(m_browseDestProfileButton, &QPushButton::clicked, this,
            &CConverterDlg::OnBrowseDestProfile);
    connect(m_multipleFilesCheck, &QCheckBox::clicked, this, &CConverterDlg::OnMultipleFiles);
}

// The logo and the labels above the fields.
void CConverterDlg::CreateLabels() {
    m_logoLink = new CStaticLink(std::string(), this);
    SetControl(m_logoLink, ids::IDC_LOGO_LINK, QStringLiteral("logoLink"));
    m_logoLink->setPixmap(LogoPixmap(devicePixelRatioF()));

    m_sourceLabel = MakeLabel(this, txt::kSourceImageLabel, ids::IDC_SOURCE_LABEL, "sourceLabel");
    m_sourceProfileLabel =
        MakeLabel(this, txt::kSourceProfileLabel, ids::IDC_STATIC, "sourceProfileLabel");
    m_destLabel = MakeLabel(this, txt::kDestImageLabel, ids::IDC_DEST_LABEL, "destLabel");
    m_destProfileLabel =
        MakeLabel(this, txt::kDestProfileLabel, ids::IDC_STATIC, "destProfileLabel");
    m_intentLabel = MakeLabel(this, txt::kIntentLabel, ids::IDC_STATIC, "intentLabel");
}

// The four path fields, each with its "..." button.
void CConverterDlg::CreatePathFields() {
    m_sourceImageEdit = MakeEdit(this, ids::IDC_SOURCE_IMAGE, "sourceImageEdit");
    m_sourceProfileEdit = MakeEdit(this, ids::IDC_SOURCE_PROFILE, "sourceProfileEdit");
    m_destImageEdit = MakeEdit(this, ids::IDC_DEST_IMAGE, "destImageEdit");
    m_destProfileEdit = MakeEdit(this, ids::IDC_DEST_PROFILE, "destProfileEdit");
    m_browseSourceImageButton = MakeBrowseButton(
        this, m_sourceImageEdit, ids::IDC_BROWSE_SOURCE_IMAGE, "browseSourceImageButton");
    m_browseSourceProfileButton = MakeBrowseButton(
        this, m_sourceProfileEdit, ids::IDC_BROWSE_SOURCE_PROFILE, "browseSourceProfileButton");
    m_browseDestImageButton = MakeBrowseButton(this, m_destImageEdit, ids::IDC_BROWSE_DEST_IMAGE,
                                               "browseDestImageButton");
    m_browseDestProfileButton = MakeBrowseButton(
        this, m_destProfileEdit, ids::IDC_BROWSE_DEST_PROFILE, "browseDestProfileButton");
}

// The intent list and the embedding and folder-mode checks.
void CConverterDlg::CreateOptionControls() {
    m_intentCombo = new QComboBox(this);
    SetControl(m_intentCombo, ids::IDC_INTENT, QStringLiteral("intentCombo"));
    for (const char* intent : txt::kIntents) {
        m_intentCombo->addItem(QString::fromLatin1(intent));
    }
    m_embedCheck = MakeCheck(this, txt::kEmbedProfile, ids::IDC_EMBED_PROFILE, "embedCheck");
    m_multipleFilesCheck =
        MakeCheck(this, txt::kMultipleFiles, ids::IDC_MULTIPLE_FILES, "multipleFilesCheck");
}

// The image side in column 0, its buttons in 1, a gap in 2, the profile side
// in 3 and its buttons in 4; the command row spans them all.
void CConverterDlg::LayOutControls() {
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(DluX(this, 4));
    grid->setVerticalSpacing(DluY(this, 2));
    grid->setColumnMinimumWidth(2, DluX(this, 9));
    grid->addWidget(m_logoLink, 0, 0, 1, 5, Qt::AlignHCenter);
    grid->addWidget(m_sourceLabel, 1, 0, Qt::AlignHCenter);
    grid->addWidget(m_sourceProfileLabel, 1, 3, Qt::AlignHCenter);
    grid->addWidget(m_sourceImageEdit, 2, 0);
    grid->addWidget(m_browseSourceImageButton, 2, 1);
    grid->addWidget(m_sourceProfileEdit, 2, 3);
    grid->addWidget(m_browseSourceProfileButton, 2, 4);
    grid->addWidget(m_multipleFilesCheck, 3, 0, Qt::AlignLeft);
    grid->addWidget(m_useEmbeddedCheck, 3, 3, Qt::AlignLeft);
    grid->setRowMinimumHeight(4, DluY(this, 4));
    grid->addWidget(m_destLabel, 5, 0, Qt::AlignHCenter);
    grid->addWidget(m_destProfileLabel, 5, 3, Qt::AlignHCenter);
    grid->addWidget(m_destImageEdit, 6, 0);
    grid->addWidget(m_browseDestImageButton, 6, 1);
    grid->addWidget(m_destProfileEdit, 6, 3);
    grid->addWidget(m_browseDestProfileButton, 6, 4);
    grid->setRowMinimumHeight(7, DluY(this, 12));
    grid->addWidget(m_intentLabel, 8, 3, Qt::AlignHCenter);
    grid->addWidget(m_embedCheck, 9, 0, Qt::AlignLeft);
    grid->addWidget(m_intentCombo, 9, 3);
    grid->addWidget(m_keepMetadataCheck, 10, 0, Qt::AlignLeft);
    grid->addWidget(m_blackPointCheck, 10, 3, Qt::AlignLeft);
    grid->addLayout(CreateOutputRow(), 11, 0, 1, 2);
    grid->setRowMinimumHeight(12, DluY(this, 8));
    grid->addLayout(CreateBottomRow(), 13, 0, 1, 5);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

// Tab goes down the image side and the profile side row by row, then the
// intent, compensation, embedding, metadata, output choices and commands; labels, links and the
// logo take no focus.
void CConverterDlg::OrderTabs() {
    QWidget* const tabOrder[] = {
        m_sourceImageEdit,
        m_browseSourceImageButton,
        m_sourceProfileEdit,
        m_browseSourceProfileButton,
        m_useEmbeddedCheck,
        m_destImageEdit,
        m_browseDestImageButton,
        m_destProfileEdit,
        m_browseDestProfileButton,
        m_intentCombo,
        m_blackPointCheck,
        m_embedCheck,
        m_keepMetadataCheck,
        m_compressionCombo,
        m_depthCombo,
        m_convertButton,
        m_quitButton,
        m_helpButton,
        m_multipleFilesCheck,
    };
    for (size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
}

// Help on the left, Convert and Quit in the middle, the text link on the right.
QLayout* CConverterDlg::CreateBottomRow() {
    m_helpButton = MakeButton(this, txt::kHelp, ids::IDC_HELP_BUTTON, "helpButton");
    m_convertButton = MakeButton(this, txt::kConvert, ids::IDOK, "convertButton");
    m_quitButton = MakeButton(this, txt::kQuit, ids::IDCANCEL, "quitButton");
    for (QPushButton* button : {m_helpButton, m_convertButton, m_quitButton}) {
        button->setMinimumWidth(DluX(this, 50));
    }
    m_convertButton->setDefault(true);
    connect(m_convertButton, &QPushButton::clicked, this, &CConverterDlg::accept);
    connect(m_quitButton, &QPushButton::clicked, this, &CConverterDlg::reject);
    connect(m_helpButton, &QPushButton::clicked, this, &CConverterDlg::OnHelpButton);

    m_textLink = new CStaticLink(std::string(), this);
    SetControl(m_textLink, ids::IDC_TEXT_LINK, QStringLiteral("textLink"));
    m_textLink->setText(QString::fromLatin1(txt::kMakerAddress));
    m_textLink->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* commands = new QHBoxLayout;
    commands->setSpacing(DluX(this, 16));
    commands->addWidget(m_convertButton);
    commands->addWidget(m_quitButton);

    auto* row = new QGridLayout;
    row->addWidget(m_helpButton, 0, 0, Qt::AlignLeft);
    row->addLayout(commands, 0, 1, Qt::AlignHCenter);
    row->addWidget(m_textLink, 0, 2, Qt::AlignRight);
    for (int column = 0; column < 3; ++column) {
        row->setColumnStretch(column, 1);
    }
    return row;
}
