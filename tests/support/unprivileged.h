#pragma once
// Cases about refused reads and writes: file permissions do not bind the superuser, and CI runs
// as root. There such a case runs again, in a child process as the unprivileged user "nobody",
// so the refusal paths are checked on every run.

namespace vistrel::testing {

// As root: runs the current test once more as "nobody" (through setpriv), records a failure with
// the child's output unless it passes there, and returns true; the caller then returns at once.
// As any other user: returns false and the caller goes on with the case itself.
bool rerunWithoutPrivileges();

}  // namespace vistrel::testing
