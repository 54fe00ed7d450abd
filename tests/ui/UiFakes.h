#pragma once
// Stand-ins for the message boxes and choosers: they record what the windows
// ask and answer from a script, so tests need no modal loop.

#include "Choosers.h"
#include "MessageBoxes.h"

#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class FakeMessageBoxes : public IMessageBoxes {
public:
    struct Shown {
        std::string text;
        Icon icon;
        Buttons buttons;
        // Compare only while the parent lives; the class name stays valid.
        QWidget* parent;
        QString parentClass;
        // The parent was visible and the call came on the interface thread.
        bool parentVisible;
        bool onInterfaceThread;
    };

    Answer Show(QWidget* parent, const std::string& text, Icon icon, Buttons buttons) override;

    // Answers for Yes/No questions, in order; No when the script runs out.
    std::deque<Answer> answers;
    // Called while a box is "up", before it is answered.
    std::function<void(const Shown&)> onShow;
    std::vector<Shown> shown;
};

class FakeChoosers : public IChoosers {
public:
    struct FolderRequest {
        std::string title;
        std::string initialFolder;
    };

    std::optional<std::string> ChooseFile(QWidget* parent,
                                          const FileChooserRequest& request) override;
    std::optional<std::string> ChooseFolder(QWidget* parent, const std::string& title,
                                            const std::string& initialFolder) override;

    // Answers, in order; a cancel when the script runs out.
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<std::string>> folderAnswers;
    std::vector<FileChooserRequest> fileRequests;
    std::vector<FolderRequest> folderRequests;
};
