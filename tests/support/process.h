// Child processes for real test peers: started on loopback, stopped by their PID.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (searched in PATH) with stdout and stderr appended to log_path.
    bool Start(const std::vector<std::string>& argv, const std::string& log_path);
    // SIGTERM, then SIGKILL after grace_ms; reaps the child. Safe to call twice.
    void Stop(int grace_ms = 3000);
    // SIGKILL at once, as a crashed server would vanish.
    void Kill();
    bool Running();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// Runs a command through /bin/sh and returns its exit status (-1 when it could not run).
int RunCommand(const std::string& command);
// Runs a command and returns its standard output.
std::string CaptureCommand(const std::string& command);

}  // namespace testsupport
