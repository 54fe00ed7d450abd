// Files dropped on the main window outside its fields, or given to the
// program when it starts.

#include "ConverterDlg.h"

#include "DroppedPaths.h"
#include "PathEdit.h"
#include "PathIdentity.h"
#include "PathUtils.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QFileInfo>

void CConverterDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (PlaceDroppedFiles(DroppedLocalPaths(*event->mimeData()), false)) {
        event->acceptProposedAction();
    }
}

void CConverterDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (PlaceDroppedFiles(DroppedLocalPaths(*event->mimeData()), false)) {
        event->acceptProposedAction();
    }
}

void CConverterDlg::dropEvent(QDropEvent* event) {
    if (PlaceDroppedFiles(DroppedLocalPaths(*event->mimeData()), true)) {
        event->acceptProposedAction();
    }
}

void CConverterDlg::OpenPath(const std::string& path) {
    std::string absolute = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    const bool folder = IsExistingFolder(absolute);
    if (folder && absolute.back() != '/')
        absolute += '/';
    if (m_multipleFilesCheck->isChecked() != folder) {
        m_multipleFilesCheck->setChecked(folder);
        OnMultipleFiles();
    }
    m_sourceImageEdit->setText(QString::fromStdString(absolute));
    m_strSourceImage = absolute;
}

bool CConverterDlg::PlaceDroppedFiles(const std::vector<std::string>& paths, bool place) {
    bool placed = false;
    bool imageTaken = false;
    bool sourceProfileFree = m_sourceProfileEdit->text().isEmpty();
    bool destProfileFree = m_destProfileEdit->text().isEmpty();
    for (const std::string& path : paths) {
        CPathEdit* field = nullptr;
        std::string text = path;
        if (IsTiffName(path) && !imageTaken) {
            imageTaken = true;
            field = m_sourceImageEdit;
            // In folder mode the field names the image's folder.
            if (m_multipleFilesCheck->isChecked()) {
                text = GetFolderPart(path);
            }
        } else if (IsProfileName(path) && sourceProfileFree) {
            sourceProfileFree = false;
            field = m_sourceProfileEdit;
        } else if (IsProfileName(path) && destProfileFree) {
            destProfileFree = false;
            field = m_destProfileEdit;
        }
        if (field && place) {
            field->setText(QString::fromStdString(text));
        }
        placed = placed || field;
    }
    return placed;
}
