#pragma once
// The program's string resources: texts looked up by a numeric id, as the
// hyperlink labels do with their own control id.

#include <string>

// The text kept for the id, or empty when there is none.
std::string LoadStringResource(int id);
