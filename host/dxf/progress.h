// progress.h - how far a long read or save has come, for a person watching: the host
// installs a hook; the reader reports bytes read of the file's size, the writer bytes
// written (of an unknown total, 0). Reports come every few megabytes, so the hook costs
// nothing measurable.
#pragma once
#include <cstddef>
#include <functional>

namespace dxf {

using ProgressHook = std::function<void(std::size_t done, std::size_t total)>;

// Installs hook (an empty one removes it). The host has one command line, so one hook.
void setProgressHook(ProgressHook hook);
// Reports progress to the hook, if any.
void reportProgress(std::size_t done, std::size_t total);

// Bytes between two reports.
constexpr std::size_t kProgressStep = std::size_t(4) << 20;

} // namespace dxf
