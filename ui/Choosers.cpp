#include "Choosers.h"

#include "SelectFolderDialog.h"
#include "UiTexts.h"

#include <QDir>
#include <QFileDialog>

QString ChooserStartFolder(const std::string& folder) {
    return folder.empty() ? QDir::homePath() : QString::fromStdString(folder);
}

std::optional<std::string> CStandardChoosers::ChooseFile(QWidget* parent,
                                                         const FileChooserRequest& request) {
    QFileDialog dialog(parent, QString::fromStdString(request.title));
    // Qt's own dialog on every desktop, so that the filters match names in
    // any letter case (as the folder scan does) and the folder set below holds.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromStdString(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    dialog.setDirectory(ChooserStartFolder(request.initialFolder));
    // A name with a folder of its own opens the chooser in that folder.
    if (!request.initialName.empty()) {
        dialog.selectFile(QString::fromStdString(request.initialName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> CStandardChoosers::ChooseFolder(QWidget* parent,
                                                           const std::string& title,
                                                           const std::string& initialFolder) {
    CSelectFolderDialog dialog(false, initialFolder, txt::kFolderChooserFilter, parent, m_boxes);
    dialog.SetTitle(title);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.GetSelectedFolder();
}
