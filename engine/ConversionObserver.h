#pragma once
// What a run asks of whoever shows it: the status window, the command-line
// tool or a test. Called on the worker thread; each call returns only when
// the request has been carried out.

#include <string>

class IConversionObserver {
public:
    virtual ~IConversionObserver() = default;
    // Shows the text with the error icon, and under it why it happened when
    // the cause is not empty; returns once it has been dismissed.
    virtual void ShowMessage(const std::string& text, const std::string& cause) = 0;
    // A remark on an image that is converted all the same.
    virtual void ShowNote(const std::string&) {}
    virtual void SetFileNameLabel(const std::string& text) = 0;
    virtual void SetFileCountLabel(const std::string& text) = 0;
    // A path as it is to appear in a message; a terminal shows control
    // characters escaped.
    virtual std::string DisplayPath(const std::string& path) const { return path; }
};
