#include "HelpText.h"

#include "UiTexts.h"

std::string BuildHelpText() {
    std::string text;
    for (const char* piece : txt::kHelpPieces) {
        text += piece;
    }
    return text;
}
