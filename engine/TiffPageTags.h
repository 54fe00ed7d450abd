#pragma once
// What places one image among the others of its file: whether it is a page
// or a reduced-resolution copy, its page number and name. Read from every
// directory of a source and written into the matching one of its
// destination, so that a converted file has the same pages in the same roles.

#include <cstdint>
#include <string>

struct TiffPageTags {
    bool hasNewSubfileType = false;
    uint32_t newSubfileType = 0;
    bool hasSubfileType = false;
    uint16_t subfileType = 0;
    bool hasPageNumber = false;
    uint16_t pageNumber = 0, pageCount = 0;
    bool hasPageName = false;
    std::string pageName;
};
