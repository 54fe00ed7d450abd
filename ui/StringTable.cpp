#include "StringTable.h"

#include "ControlIds.h"
#include "UiTexts.h"

std::string LoadStringResource(int id) {
    switch (id) {
    case ids::IDS_ABOUTBOX:
        return txt::kAboutMenu;
    case ids::IDC_LOGO_LINK:
    case ids::IDC_TEXT_LINK:
        return txt::kMakerAddress;
    default:
        return std::string();
    }
}
