// page_files.h - the page's files, built into the executable from host/view/page.
#pragma once

#include <string_view>

namespace host::view {

struct PageFile {
    std::string_view name; // "index.html"
    std::string_view mime;
    std::string_view content;
};

// The file of that name, or nullptr.
const PageFile *findPageFile(std::string_view name);

} // namespace host::view
