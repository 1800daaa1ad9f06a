// save_property.h - the save fuzz target's check: whatever drawing the reader accepts can be
// saved, as it is and after the commands that change the most (Sel giving everything a
// colour, Wpe turning every line into a polyline, ERASE of everything); each save passes the
// written-bytes check, and the text saved reads back into a drawing that saves the same text.
#pragma once

#include <string>
#include <string_view>

#include "dxf_io.h"

class AcDbDatabase;

namespace tevfuzz {

// The drawing saved as a save to a file checks it; empty text and error set when the writer
// or the written-bytes check refuses.
std::string checkedSave(AcDbDatabase &db, std::string &error);

// The drawing read from bytes, saved as a save checks it after command ("Sel", "Wpe" or
// "ERASE" acting on everything; empty: none). Empty with error set when reading, the command
// or the save fails.
std::string saveAfter(std::string_view bytes, std::string_view command, std::string &error);

// Empty when bytes are refused by the reader or keep the property; otherwise what broke and
// at which step ("after Wpe: ...").
std::string checkSaveProperty(std::string_view bytes, const dxf::ReadOptions &options);

} // namespace tevfuzz
