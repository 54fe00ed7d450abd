#pragma once
// Message boxes go through this interface, so the windows can be driven by
// tests that answer them without a modal loop.

#include <string>

class QWidget;

class IMessageBoxes {
public:
    enum class Icon { None, Error, Question };
    enum class Buttons { Ok, YesNo };
    // What the user answered.
    enum class Answer { Ok, Yes, No };

    virtual ~IMessageBoxes() = default;
    // Shows the text captioned with the program's name, modal over the
    // parent, and returns once the user has answered. A detail (why it
    // happened) is shown on request, under the text.
    virtual Answer Show(QWidget* parent, const std::string& text, Icon icon,
                        Buttons buttons = Buttons::Ok, const std::string& detail = "") = 0;
};

// The real message boxes.
IMessageBoxes& StandardMessageBoxes();
