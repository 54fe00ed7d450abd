#pragma once
// File and folder choosers go through this interface, so the main window can
// be driven by tests that answer them without a modal loop.

#include <optional>
#include <string>

class QWidget;

// One file chooser, as the main window asks for it.
struct FileChooserRequest {
    // A save chooser (which asks before replacing a file) rather than an open
    // chooser (which accepts existing files only).
    bool save = false;
    std::string title;
    // Where the chooser opens; empty for the user's home folder.
    std::string initialFolder;
    // The name the chooser shows at first: the field's current text.
    std::string initialName;
    // Qt name filters separated by ";;", e.g. "TIF Files (*.tif *.tiff);;All files (*)".
    std::string filter;
    // Added to a typed name without an extension.
    std::string defaultSuffix;
};

class IChoosers {
public:
    virtual ~IChoosers() = default;
    // The full path chosen, or nothing when the chooser was cancelled.
    virtual std::optional<std::string> ChooseFile(QWidget* parent,
                                                  const FileChooserRequest& request) = 0;
    // The folder chosen, ending in exactly one '/', or nothing when cancelled.
    virtual std::optional<std::string> ChooseFolder(QWidget* parent, const std::string& title,
                                                    const std::string& initialFolder) = 0;
};

class IMessageBoxes;
class QString;

// The folder a chooser opens in: the one given, or the user's home folder
// when none is given. Always set explicitly, so that where Qt's own dialog
// last was (which it keeps for every program) never decides it.
QString ChooserStartFolder(const std::string& folder);

// The real choosers; the folder chooser asks its questions through boxes.
class CStandardChoosers : public IChoosers {
public:
    explicit CStandardChoosers(IMessageBoxes& boxes) : m_boxes(boxes) {}
    std::optional<std::string> ChooseFile(QWidget* parent,
                                          const FileChooserRequest& request) override;
    std::optional<std::string> ChooseFolder(QWidget* parent, const std::string& title,
                                            const std::string& initialFolder) override;

private:
    IMessageBoxes& m_boxes;
};
