#include "Choosers.h"

#include "SelectFolderDialog.h"
#include "UiTexts.h"

#include <QFileDialog>

std::optional<std::string> CStandardChoosers::ChooseFile(QWidget* parent,
                                                         const FileChooserRequest& request) {
    QFileDialog dialog(parent, QString::fromStdString(request.title));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromStdString(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    if (!request.initialFolder.empty()) {
        dialog.setDirectory(QString::fromStdString(request.initialFolder));
    }
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
