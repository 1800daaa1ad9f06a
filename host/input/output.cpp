// output.cpp - what the host writes on the command line for applications: acutPrintf,
// acedAlert, acdbFail; the user-break query acedUsrBrk; and the names of status codes.
//
// An alert box cannot open here: its text goes to the transcript between two marker
// lines, "** ALERT: " and " **", so that a reader of the transcript can tell it from
// ordinary output.
#include "acedads.h"
#include "command_line.h"

#include <cstdarg>
#include <cstdio>
#include <string>

using host::CommandLine;

int acutPrintf(const char *format, ...) {
    if (format == nullptr)
        return 0;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return n;
    }
    std::string text;
    if (static_cast<std::size_t>(n) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(n));
    } else {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    CommandLine::current().print(text);
    return n;
}

int acedAlert(const char *str) {
    std::string text = "\n** ALERT: ";
    text += str ? str : "";
    text += " **\n";
    CommandLine::current().print(text);
    return RTNORM;
}

int acedUsrBrk() {
    return CommandLine::current().takeBreak() ? 1 : 0;
}

void acdbFail(const char *str) {
    auto &cl = CommandLine::current();
    const std::string &module = cl.runningModule();
    std::string text = "\nApplication " + (module.empty() ? "" : module + " ") + "ERROR: ";
    text += str ? str : "";
    cl.print(text);
}

const char *rtCodeName(int code) {
    switch (code) {
    case RTNORM:
        return "RTNORM";
    case RTNONE:
        return "RTNONE";
    case RTERROR:
        return "RTERROR";
    case RTCAN:
        return "RTCAN";
    case RTREJ:
        return "RTREJ";
    case RTFAIL:
        return "RTFAIL";
    case RTKWORD:
        return "RTKWORD";
    case RTREAL:
        return "RTREAL";
    case RTPOINT:
        return "RTPOINT";
    case RTSHORT:
        return "RTSHORT";
    case RTANG:
        return "RTANG";
    case RTSTR:
        return "RTSTR";
    case RTENAME:
        return "RTENAME";
    case RTPICKS:
        return "RTPICKS";
    case RTORINT:
        return "RTORINT";
    case RT3DPOINT:
        return "RT3DPOINT";
    case RTLONG:
        return "RTLONG";
    case RTVOID:
        return "RTVOID";
    case RTLB:
        return "RTLB";
    case RTLE:
        return "RTLE";
    case RTDOTE:
        return "RTDOTE";
    case RTNIL:
        return "RTNIL";
    case RTDXF0:
        return "RTDXF0";
    case RTT:
        return "RTT";
    case RTRESBUF:
        return "RTRESBUF";
    case RTMODELESS:
        return "RTMODELESS";
    default:
        return nullptr;
    }
}
