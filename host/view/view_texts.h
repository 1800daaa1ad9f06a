// view_texts.h - the page's own words in the host's language.
#pragma once

#include <string>

namespace host::view {

// A JSON object from each English text of the page to its text in the host's language
// (UTF-8). Made on the command thread when the view starts; the page asks for it once.
std::string pageTextsJson();

} // namespace host::view
