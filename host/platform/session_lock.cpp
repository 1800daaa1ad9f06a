// session_lock.cpp - the lock file beside a drawing: written whole under a name of its own,
// then linked to the lock's name, which fails when a lock is there already, so that a lock
// is never seen half-written and two sessions never both take it.
#include "session_lock.h"

#include "files.h"
#include "process.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace host::platform {

namespace {

namespace fs = std::filesystem;

std::string lockText() {
    return "user=" + userName() + "\nmachine=" + machineName() +
           "\npid=" + std::to_string(processId()) + "\n";
}

// False when the file cannot be read (gone, or being replaced).
bool readHolder(const std::string &path, LockHolder &holder) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    holder = {};
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "user")
            holder.user = value;
        else if (key == "machine")
            holder.machine = value;
        else if (key == "pid")
            holder.pid = std::atol(value.c_str());
    }
    return true;
}

bool ours(const LockHolder &h) {
    return h.machine == machineName() && h.pid == processId();
}

// A lock of this machine whose process has ended (or one with no process in it).
bool stale(const LockHolder &h) {
    return h.machine == machineName() && !processRunning(h.pid);
}

// Writes the lock's text under a name of its own beside the lock.
bool writeDraft(const std::string &draft) {
    std::ofstream out(draft, std::ios::binary | std::ios::trunc);
    out << lockText();
    out.close();
    return static_cast<bool>(out);
}

} // namespace

std::string LockHolder::describe() const {
    return (user.empty() ? std::string("?") : user) + " on " +
           (machine.empty() ? std::string("?") : machine) + " (process " + std::to_string(pid) +
           ")";
}

std::string SessionLock::lockPath(const std::string &drawing) {
    return besideName(resolveLinks(drawing), ".lock");
}

std::unique_ptr<SessionLock> SessionLock::take(const std::string &drawing, Outcome &outcome,
                                               LockHolder &holder) {
    const std::string path = lockPath(drawing);
    const std::string draft = besideName(path, "." + std::to_string(processId()));
    outcome = Outcome::NotPossible;
    if (!writeDraft(draft)) {
        std::error_code ec;
        fs::remove(draft, ec);
        return nullptr;
    }
    std::unique_ptr<SessionLock> lock;
    for (int attempt = 0; attempt < 3 && !lock; ++attempt) {
        std::error_code ec;
        fs::create_hard_link(draft, path, ec);
        if (!ec) {
            lock.reset(new SessionLock(path));
            break;
        }
        if (!fs::exists(path, ec)) {
            if (ec || !fs::exists(draft, ec))
                break;
            // Hard links refused (some file systems): the draft is renamed into place
            // when no lock is there, which leaves a moment in which two could take it.
            fs::rename(draft, path, ec);
            if (!ec)
                lock.reset(new SessionLock(path));
            break;
        }
        if (!readHolder(path, holder))
            continue; // gone meanwhile: try again
        if (ours(holder)) {
            lock.reset(new SessionLock(path));
            break;
        }
        if (!stale(holder)) {
            outcome = Outcome::HeldByOther;
            break;
        }
        // Its process is gone: the lock is taken over, and is ours if it names us then.
        fs::rename(draft, path, ec);
        LockHolder now;
        if (!ec && readHolder(path, now) && ours(now))
            lock.reset(new SessionLock(path));
        else if (readHolder(path, holder))
            outcome = Outcome::HeldByOther;
        break;
    }
    std::error_code ec;
    fs::remove(draft, ec); // a link or a copy; the lock has its own name
    if (lock)
        outcome = Outcome::Taken;
    return lock;
}

SessionLock::~SessionLock() {
    LockHolder holder;
    if (readHolder(path_, holder) && ours(holder)) {
        std::error_code ec;
        fs::remove(path_, ec);
    }
}

} // namespace host::platform
