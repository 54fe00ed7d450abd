#include "UiFakes.h"

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

IMessageBoxes::Answer FakeMessageBoxes::Show(QWidget* parent, const std::string& text, Icon icon,
                                             Buttons buttons) {
    const bool onInterfaceThread =
        QThread::currentThread() == QCoreApplication::instance()->thread();
    const QString parentClass =
        parent ? QString::fromLatin1(parent->metaObject()->className()) : QString();
    Shown entry{
        text, icon, buttons, parent, parentClass, parent && parent->isVisible(), onInterfaceThread};
    shown.push_back(entry);
    if (onShow) {
        onShow(entry);
    }
    if (buttons == Buttons::Ok) {
        return Answer::Ok;
    }
    if (answers.empty()) {
        return Answer::No;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> FakeChoosers::ChooseFile(QWidget*, const FileChooserRequest& request) {
    fileRequests.push_back(request);
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<std::string> FakeChoosers::ChooseFolder(QWidget*, const std::string& title,
                                                      const std::string& initialFolder) {
    folderRequests.push_back({title, initialFolder});
    if (folderAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}
