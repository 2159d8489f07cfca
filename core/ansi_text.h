// Case-insensitive comparison and blank trimming of the program's byte texts.
#pragma once

#include <string>
#include <string_view>

// ASCII letters fold; other bytes compare as they are.
bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

// Removes spaces, tabs, CR and LF at both ends.
std::string TrimBlanks(std::string_view text);
