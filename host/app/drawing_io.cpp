// drawing_io.cpp - the app's seam to the drawing layers.
#include "drawing_io.h"
#include "command_line.h"
#include "host_commands.h"
#include "misuse.h"

#include "dbapserv.h"
#include "dbmain.h"

namespace host {

std::unique_ptr<AcDbDatabase> openDrawing(const std::string &path, std::string &error) {
    if (path.empty())
        return std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/true);
    error = path + ": reading drawings is not built into this host yet";
    return nullptr;
}

bool saveDrawing(AcDbDatabase &, const std::string &path, std::string &error) {
    error = path + ": saving drawings is not built into this host yet";
    return false;
}

bool writePicture(AcDbDatabase &, const std::string &path, std::string &error) {
    error = path + ": pictures are not built into this host yet";
    return false;
}

void reportLeftOpen(std::string_view command) {
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    if (db == nullptr)
        return;
    for (const std::string &line : tev::db::objectsLeftOpen(*db))
        CommandLine::current().printUtf8("\n** " + std::string(command) + " left " + line + "\n");
}

void registerDrawingCommands() {}

} // namespace host
