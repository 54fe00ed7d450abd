#pragma once
// What the window tests share: a sandbox for the settings and the colour
// profile folder, and the main window with scripted boxes and choosers.

#include "ConverterDlg.h"
#include "UiFakes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <string>

// Settings (Qt's own included) go to a fresh folder instead of the user's;
// $XDG_DATA_HOME points at a folder whose icc/ subfolder is the colour profile
// folder; $HOME is an empty folder of its own.
class UiSandbox {
public:
    UiSandbox();
    std::string ColorFolder() const;
    // The settings file the program writes.
    QString SettingsFile() const;

private:
    QTemporaryDir m_dir;
};

// The main window with scripted message boxes and choosers, or with the
// real choosers.
struct MainWindow {
    explicit MainWindow(bool realChoosers = false)
        : dialog(nullptr, &boxes, realChoosers ? nullptr : &choosers) {}

    FakeMessageBoxes boxes;
    FakeChoosers choosers;
    CConverterDlg dialog;

    QLineEdit* Edit(const char* name) const {
        return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QCheckBox* Check(const char* name) const {
        return dialog.findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    QPushButton* Button(const char* name) const {
        return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QLabel* Label(const char* name) const {
        return dialog.findChild<QLabel*>(QString::fromLatin1(name));
    }
    QComboBox* Intent() const { return dialog.findChild<QComboBox*>("intentCombo"); }
    void Click(const char* buttonName) const;
    void Fill(const std::string& source, const std::string& sourceProfile, const std::string& dest,
              const std::string& destProfile) const;
    // The texts of the boxes shown so far.
    std::vector<std::string> Texts() const;
};
