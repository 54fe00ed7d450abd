#include "HelpText.h"

#include "UiTexts.h"

std::string BuildHelpText() {
    std::string text;
    for (const char* piece : txt::kHelpPieces) {
        text += piece;
    }
    text += txt::kHelpAttributionStart;
    text += txt::kIccAddress;
    text += txt::kHelpAttributionEnd;
    return text;
}
