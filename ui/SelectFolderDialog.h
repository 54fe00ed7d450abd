#pragma once
// The folder chooser of folder mode: a file dialog that lists folders only,
// with a "Current Folder" box that follows browsing and takes typed paths,
// and a "Select" button that validates the folder, offers to create it, and
// ends with the folder followed by exactly one '/'.

#include <QFileDialog>

#include <optional>
#include <string>

class IMessageBoxes;
class QLineEdit;

class CSelectFolderDialog : public QFileDialog {
    Q_OBJECT

public:
    CSelectFolderDialog(bool listFiles, const std::string& initialFolder, const std::string& filter,
                        QWidget* parent, IMessageBoxes& boxes);

    // The caption; "Select folder" until changed.
    void SetTitle(const std::string& title);
    // The folder chosen, ending in '/'; empty unless "Select" succeeded.
    std::string GetSelectedFolder() const { return m_strSelectedFolder; }

    // "Select" (the button or Enter).
    void accept() override;

private:
    // The folder highlighted in the list (a new one, just made, included),
    // or "" when none is.
    std::string HighlightedFolder() const;
    void OnInitDone(const std::string& initialFolder);
    void OnFolderChange(const QString& folder);
    // The folder to return for the path typed or browsed, after the questions
    // and messages; nothing when the dialog is to stay open.
    std::optional<std::string> CheckFolder(std::string path);

    IMessageBoxes& m_boxes;
    bool m_bListFiles;
    std::string m_strSelectedFolder;
    QLineEdit* m_pFolderEdit = nullptr;
    std::string m_strTitle;
};
