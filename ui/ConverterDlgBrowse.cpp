// The main window's choosers and its folder-mode switch.

#include "ConverterDlg.h"

#include "Choosers.h"
#include "PathEdit.h"
#include "PathUtils.h"
#include "Settings.h"
#include "UiTexts.h"

#include <QCheckBox>
#include <QLabel>

struct CConverterDlg::ImageSide {
    std::string CConverterDlg::*field;
    const char* entry;
    const char* folderTitle;
    bool save;
    const char* fileTitle;
};

struct CConverterDlg::ProfileSide {
    std::string CConverterDlg::*field;
    std::string CConverterDlg::*folder;
    const char* title;
};

void CConverterDlg::OnBrowseSourceImage() {
    BrowseImage({&CConverterDlg::m_strSourceImage, txt::kSourcePathEntry, txt::kSourceFolderTitle,
                 false, txt::kSourceImageTitle});
}

void CConverterDlg::OnBrowseDestImage() {
    BrowseImage({&CConverterDlg::m_strDestImage, txt::kDestPathEntry, txt::kDestFolderTitle, true,
                 txt::kDestImageTitle});
}

void CConverterDlg::OnBrowseSourceProfile() {
    BrowseProfile({&CConverterDlg::m_strSourceProfile, &CConverterDlg::m_strSourceProfileFolder,
                   txt::kSourceProfileTitle});
}

void CConverterDlg::OnBrowseDestProfile() {
    BrowseProfile({&CConverterDlg::m_strDestProfile, &CConverterDlg::m_strDestProfileFolder,
                   txt::kDestProfileTitle});
}

void CConverterDlg::TakePathTexts() {
    m_strSourceImage = m_sourceImageEdit->text().toStdString();
    m_strDestImage = m_destImageEdit->text().toStdString();
    m_strSourceProfile = m_sourceProfileEdit->text().toStdString();
    m_strDestProfile = m_destProfileEdit->text().toStdString();
}

void CConverterDlg::BrowseImage(const ImageSide& side) {
    TakePathTexts();
    std::string& field = this->*side.field;
    std::string start = ReadSetting(txt::kImageFoldersSection, side.entry);
    if (start.empty() || !FolderExists(start)) {
        start.clear();
    }
    if (m_multipleFilesCheck->isChecked()) {
        m_bMultipleFiles = 1;
        if (const auto folder = m_choosers.ChooseFolder(this, side.folderTitle, start)) {
            field = *folder;
            WriteSetting(txt::kImageFoldersSection, side.entry, field);
        }
    } else {
        m_bMultipleFiles = 0;
        FileChooserRequest request;
        request.save = side.save;
        request.title = side.fileTitle;
        request.initialFolder = start;
        request.initialName = field;
        request.filter = txt::kTifFilter;
        request.defaultSuffix = txt::kTifSuffix;
        if (const auto file = m_choosers.ChooseFile(this, request)) {
            field = *file;
            WriteSetting(txt::kImageFoldersSection, side.entry, GetFolderPart(field));
        }
    }
    RefreshHeldValues();
}

void CConverterDlg::BrowseProfile(const ProfileSide& side) {
    TakePathTexts();
    std::string& field = this->*side.field;
    std::string& folder = this->*side.folder;
    if (folder.empty()) {
        folder = m_strColorDirectory;
    }
    FileChooserRequest request;
    request.title = side.title;
    request.initialFolder = folder;
    request.initialName = field;
    request.filter = txt::kIccFilter;
    request.defaultSuffix = txt::kIccSuffix;
    if (const auto file = m_choosers.ChooseFile(this, request)) {
        field = *file;
        folder = GetFolderPart(field);
    }
    RefreshHeldValues();
}

void CConverterDlg::OnMultipleFiles() {
    // Leaving folder mode keeps the folders as typed, ready to be completed
    // with an image name.
    std::string source = m_sourceImageEdit->text().toStdString();
    std::string dest = m_destImageEdit->text().toStdString();
    if (m_multipleFilesCheck->isChecked()) {
        m_sourceLabel->setText(QString::fromLatin1(txt::kSourceFolderLabel));
        m_destLabel->setText(QString::fromLatin1(txt::kDestFolderLabel));
        if (FileExists(source)) {
            source = GetFolderPart(source);
        }
        if (FileExists(dest)) {
            dest = GetFolderPart(dest);
        }
        m_sourceImageEdit->setToolTip(QString::fromLatin1(txt::kTipSourceFolder));
        m_destImageEdit->setToolTip(QString::fromLatin1(txt::kTipDestFolder));
    } else {
        m_sourceLabel->setText(QString::fromLatin1(txt::kSourceImageLabel));
        m_destLabel->setText(QString::fromLatin1(txt::kDestImageLabel));
        m_destImageEdit->setToolTip(QString::fromLatin1(txt::kTipDestImage));
        m_sourceImageEdit->setToolTip(QString::fromLatin1(txt::kTipSourceImage));
    }
    m_sourceImageEdit->setText(QString::fromStdString(source));
    m_strSourceImage = source;
    m_destImageEdit->setText(QString::fromStdString(dest));
    m_strDestImage = dest;
}
