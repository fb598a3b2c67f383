#pragma once

// A CUPS scheduler of the test's own: its configuration, spool and logs in a private
// folder, listening only on a socket in that folder and a loopback port that the test binds
// before the scheduler starts (handed over as on-demand sockets, so it is ready at once and
// no port is guessed). Queues print to FIFOs that the test reads, so a job's output is
// complete when its writer closes. Stopped when the object goes.

#include <cups/ipp.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavimo::testing {

class PrivateCupsd {
public:
    struct Queue {
        std::string name;
        std::string ppd;     // the PPD's text
        bool collect = true; // print into a FIFO the test reads; else into /dev/null
    };

    PrivateCupsd() = default;
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Starts the scheduler with these queues, the first the default. "" on success, else
    // why it could not start.
    std::string start(const std::vector<Queue>& queues);
    void stop();

    const std::string& socketPath() const { return m_socket; }
    int port() const { return m_port; }
    // The end of the scheduler's error log, for failure messages.
    std::string logTail() const;

    struct Job {
        std::map<std::string, std::string> attributes; // as text: "copies" -> "2"
        std::string output;                            // what the queue's device received
    };
    // Runs `print` with the queue paused, reads the attributes of the job it sent, then lets
    // the queue print it and collects the output; nothing when none came within `limit`.
    std::optional<Job> collect(const std::string& queue, const std::function<void()>& print,
                               std::chrono::seconds limit = std::chrono::seconds(120));

private:
    bool queueRequest(ipp_op_t op, const std::string& queue) const;
    std::map<std::string, std::string> newestJob(const std::string& queue) const;

    std::string m_dir, m_socket;
    int m_port = 0;
    int m_pid = 0;
};

} // namespace tavimo::testing
