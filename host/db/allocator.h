// allocator.h - control of the database allocator (AcDbObject::operator new) for tests:
// count allocations, make the Nth fail, and check that nothing leaked.
#pragma once

namespace tev::db::alloc {

// Makes the nth allocation from now fail (1 = the next one); with persistent every one
// after it fails too. 0 turns failures off.
void failAt(long n, bool persistent = false);
// Allocations since the last reset(), failed ones included.
long allocationCount();
// Allocations that failed since the last reset().
long failureCount();
// Objects allocated and not yet deleted (by anyone), since the program began.
long liveObjects();
// Turns failures off and zeroes the counts. Objects already made stay valid.
void reset();

// While one exists, the host's own allocations (building a drawing, reading a file) never
// fail and are not counted, so that failures reach the code under test only.
class Exempt {
public:
    Exempt();
    ~Exempt();
    Exempt(const Exempt &) = delete;
    Exempt &operator=(const Exempt &) = delete;
};

// Fails the nth allocation for the life of the scope, then resets, also when a test ends
// early.
class ScopedFailure {
public:
    explicit ScopedFailure(long n, bool persistent = false) { failAt(n, persistent); }
    ~ScopedFailure() { reset(); }
    ScopedFailure(const ScopedFailure &) = delete;
    ScopedFailure &operator=(const ScopedFailure &) = delete;
};

} // namespace tev::db::alloc
