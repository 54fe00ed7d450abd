#include "SelectFolderDialog.h"

#include "Choosers.h"
#include "ControlIds.h"
#include "Controls.h"
#include "MessageBoxes.h"
#include "PathUtils.h"
#include "UiTexts.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool PathExists(const std::string& path) {
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Puts the widget into the grid cell of the one it stands in for.
void TakePlace(QWidget* dialog, QWidget* old, QWidget* replacement) {
    auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
    const int index = grid ? grid->indexOf(old) : -1;
    if (index < 0) {
        return;
    }
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    grid->addWidget(replacement, row, column, rowSpan, columnSpan);
}

} // namespace

CSelectFolderDialog::CSelectFolderDialog(bool listFiles, const std::string& initialFolder,
                                         const std::string& filter, QWidget* parent,
                                         IMessageBoxes& boxes)
    : QFileDialog(parent), m_boxes(boxes), m_bListFiles(listFiles),
      m_strTitle(txt::kSelectFolderTitle) {
    // The platform's own dialogs cannot carry the Current Folder box.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, !m_bListFiles);
    if (m_bListFiles && !filter.empty()) {
        setNameFilter(QString::fromStdString(filter));
    }
    setDirectory(ChooserStartFolder(initialFolder));
    OnInitDone(initialFolder);
    connect(this, &QFileDialog::directoryEntered, this, &CSelectFolderDialog::OnFolderChange);
}

void CSelectFolderDialog::OnInitDone(const std::string& initialFolder) {
    setLabelText(QFileDialog::Accept, QString::fromLatin1(txt::kSelect));
    setLabelText(QFileDialog::FileName, QString::fromLatin1(txt::kCurrentFolder));
    setWindowTitle(QString::fromStdString(m_strTitle));

    // The dialog's own name box selects entries of the list; the Current
    // Folder box takes its place and shows the folder being browsed.
    m_pFolderEdit = new QLineEdit(QString::fromStdString(initialFolder), this);
    SetControl(m_pFolderEdit, ids::IDC_CURRENT_FOLDER, QStringLiteral("folderEdit"));
    if (auto* nameEdit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        TakePlace(this, nameEdit, m_pFolderEdit);
        nameEdit->hide();
        setTabOrder(nameEdit, m_pFolderEdit);
    }
    if (auto* nameLabel = findChild<QLabel*>(QStringLiteral("fileNameLabel"))) {
        nameLabel->setBuddy(m_pFolderEdit);
    }
    if (!m_bListFiles || nameFilters().isEmpty()) {
        if (auto* typeLabel = findChild<QLabel*>(QStringLiteral("fileTypeLabel"))) {
            typeLabel->hide();
        }
        if (auto* typeCombo = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            typeCombo->hide();
        }
    }
}

void CSelectFolderDialog::SetTitle(const std::string& title) {
    m_strTitle = title;
    setWindowTitle(QString::fromStdString(m_strTitle));
}

void CSelectFolderDialog::OnFolderChange(const QString& folder) {
    if (m_pFolderEdit) {
        m_pFolderEdit->setText(folder);
    }
}

std::string CSelectFolderDialog::HighlightedFolder() const {
    const QStringList picked = selectedFiles();
    const QString browsed = directory().absolutePath();
    if (picked.size() != 1 || QDir(picked.first()) == QDir(browsed)) {
        return std::string();
    }
    const std::string path = picked.first().toStdString();
    return IsFolder(path) ? path : std::string();
}

void CSelectFolderDialog::accept() {
    std::string path = m_pFolderEdit->text().toStdString();
    // The box follows the folder browsed until something is typed in it; a
    // folder highlighted in the list, new or old, is then the one chosen.
    const QString browsed = directory().absolutePath();
    if (path.empty() || QDir(QString::fromStdString(path)) == QDir(browsed)) {
        const std::string highlighted = HighlightedFolder();
        path = highlighted.empty() ? browsed.toStdString() : highlighted;
    }
    if (const std::optional<std::string> folder = CheckFolder(path)) {
        m_strSelectedFolder = *folder;
        QDialog::accept();
    }
}

std::optional<std::string> CSelectFolderDialog::CheckFolder(std::string path) {
    if (path.find("//") != std::string::npos) {
        m_boxes.Show(this, txt::kInvalidFolder, IMessageBoxes::Icon::Error);
        return std::nullopt;
    }
    // A typed name is taken inside the folder being browsed.
    if (path.front() != '/') {
        path = directory().absoluteFilePath(QString::fromStdString(path)).toStdString();
    }
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (!PathExists(path)) {
        const std::string question = path + "\n\n" + txt::kCreateFolderQuestion;
        if (m_boxes.Show(this, question, IMessageBoxes::Icon::Question,
                         IMessageBoxes::Buttons::YesNo) == IMessageBoxes::Answer::Yes) {
            CreateFolderChain(path + "/");
            if (!PathExists(path)) {
                m_boxes.Show(this, std::string(txt::kCouldNotCreateFolder) + "\n" + path,
                             IMessageBoxes::Icon::None);
                return std::nullopt;
            }
        }
    } else if (!IsFolder(path)) {
        // A file is no place to put images in.
        m_boxes.Show(this, txt::kInvalidFolder, IMessageBoxes::Icon::Error);
        return std::nullopt;
    }
    return path == "/" ? path : path + "/";
}
