// What the window tests drive the windows through: message boxes and choosers
// that write down what they were asked and answer from a script (so no modal
// loop is needed), and a stand-in for the run on the status window's worker.
// It also brings in the windows and the support library the tests use.
#pragma once

#include <QtTest>
#include <QtWidgets>

#include "Choosers.h"
#include "ConversionDlg.h"
#include "ConverterDlg.h"
#include "MessageBoxes.h"
#include "SelectFolderDialog.h"
#include "StaticLink.h"
#include "Support.h"

inline const auto Q = [](const std::string& text) { return QString::fromStdString(text); };

// Each box as "<icon>[ yes/no] <window>: <text>[ | <detail>]", the window being the class of
// the parent, or "unseen" when the parent is not on screen, is under another modal
// window, or the box was asked for off the interface thread (the user would not see
// it, or it would race).
class FakeBoxes : public IMessageBoxes {
public:
    QStringList shown;
    Answer answer = Answer::No;           // to every Yes/No question
    std::function<void()> onShow = [] {}; // runs while the box is "up"

    Answer Show(QWidget* parent, const std::string& text, Icon icon, Buttons buttons,
                const std::string& detail) override {
        // Over its owner, which is the window on top: a box owned by a window under a modal
        // one, or by none, is placed away from where the user is looking.
        QWidget* const modal = QApplication::activeModalWidget();
        const bool seen = parent && parent->isVisible() &&
                          (!modal || modal == parent->window()) &&
                          qApp->thread() == QThread::currentThread();
        shown << QString("%1%2 %3: %4")
                         .arg(QStringList{"plain", "error", "question"}[int(icon)],
                              buttons == Buttons::YesNo ? " yes/no" : "",
                              seen ? parent->metaObject()->className() : "unseen", Q(text)) +
                     (detail.empty() ? QString() : " | " + Q(detail));
        onShow();
        return buttons == Buttons::Ok ? Answer::Ok : answer;
    }
};

// Each chooser as "<open|save|folder>|<title>|<start folder>[|<name>|<filters>|<suffix>]";
// the answers are the paths chosen, in order, "cancel" or running out cancelling.
class FakeChoosers : public IChoosers {
public:
    QStringList asked, answers;

    std::optional<std::string> ChooseFile(QWidget*, const FileChooserRequest& r) override {
        return Ask(QString(r.save ? "save" : "open") +
                   Q("|" + r.title + "|" + r.initialFolder + "|" + r.initialName + "|" + r.filter +
                     "|" + r.defaultSuffix));
    }
    std::optional<std::string> ChooseFolder(QWidget*, const std::string& title,
                                            const std::string& folder) override {
        return Ask(Q("folder|" + title + "|" + folder));
    }
    std::optional<std::string> Ask(const QString& request) {
        asked << request;
        const QString answer = answers.isEmpty() ? "cancel" : answers.takeFirst();
        return answer == "cancel" ? std::nullopt : std::optional(answer.toStdString());
    }
};

// The run on the status window's worker thread, played by the test: does `work`,
// then waits until `end` says how the run ended (1 failed, 2 succeeded) and
// returns as a run does.
using ScriptedWork = std::function<void(RunProgress&, IConversionObserver&)>;
inline CConversionDlg::ThreadProc Scripted(std::atomic<int>& end, ScriptedWork work) {
    return [&end, work](const JobSpec&, RunControl&, RunProgress& progress,
                        IConversionObserver& observer) {
        work(progress, observer);
        while (end == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        RunResult result;
        result.m_bSucceeded = end == 2;
        return result;
    };
}
