// session_lock.h - the lock a session keeps beside the drawing it has open ("plan.dxf.lock"),
// naming the user, the machine and the process, so that a second session knows the drawing
// is taken and by whom. A lock whose process is gone (on this machine) is taken over.
#pragma once

#include <memory>
#include <string>

namespace host::platform {

// Who holds a lock, as the lock file says.
struct LockHolder {
    std::string user;
    std::string machine;
    long pid = 0;
    // "ivan on cad-7 (process 4711)"
    std::string describe() const;
};

class SessionLock {
public:
    enum class Outcome {
        Taken,       // the lock is ours until this goes away
        HeldByOther, // another session has the drawing: `holder` says who
        NotPossible, // no lock can be made there (a read-only folder): nobody else can save
                     // there either, so the drawing is opened as it is
    };
    // Takes the lock of drawing (its link target, when drawing is a symbolic link).
    static std::unique_ptr<SessionLock> take(const std::string &drawing, Outcome &outcome,
                                             LockHolder &holder);
    // The lock file of drawing.
    static std::string lockPath(const std::string &drawing);
    // Removes the lock file, when it still names this process.
    ~SessionLock();
    SessionLock(const SessionLock &) = delete;
    SessionLock &operator=(const SessionLock &) = delete;

    const std::string &path() const { return path_; }

private:
    explicit SessionLock(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

} // namespace host::platform
