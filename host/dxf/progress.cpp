// progress.cpp - the progress hook.
#include "progress.h"

#include <utility>

namespace dxf {

namespace {
ProgressHook &hook() {
    static ProgressHook s_hook;
    return s_hook;
}
} // namespace

void setProgressHook(ProgressHook h) {
    hook() = std::move(h);
}

void reportProgress(std::size_t done, std::size_t total) {
    if (hook())
        hook()(done, total);
}

} // namespace dxf
