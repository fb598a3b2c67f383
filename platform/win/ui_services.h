#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace win {

// ---- Message boxes ----------------------------------------------------------------------

// Button sets and answers, with their usual values.
inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_OKCANCEL = 0x1;
inline constexpr uint32_t MB_YESNO = 0x4;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageRecord {
    std::string text;
    std::string title; // empty = the default title
    uint32_t style = MB_OK;
};

// Where message boxes go. A sink must never block (there may be no user) and answers the
// button "pressed". Calls may come from any thread.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual int show(const MessageRecord& message) = 0;
};

// The default sink: writes "title: text" (or the text alone) as one line to stderr, keeps
// the last 100 messages of the calling thread, and answers IDOK.
class StderrMessageSink : public MessageSink {
public:
    int show(const MessageRecord& message) override;
    // The calling thread's recent messages, oldest first.
    static std::vector<MessageRecord> threadRecord();
    static void clearThreadRecord();
};

// A test sink: records every message (all threads) and answers `answer`.
class RecordingMessageSink : public MessageSink {
public:
    explicit RecordingMessageSink(int answer = IDOK) : m_answer(answer) {}
    int show(const MessageRecord& message) override;
    std::vector<MessageRecord> messages() const;
    std::vector<std::string> texts() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<MessageRecord> m_messages;
    int m_answer;
};

// Installs the process's sink; null puts the default back. Returns the previous one.
std::shared_ptr<MessageSink> setMessageSink(std::shared_ptr<MessageSink> sink);
std::shared_ptr<MessageSink> messageSink();

// Shows a message through the current sink and returns its answer; IDOK when the sink
// fails. Never throws.
int MsgBox(const std::string& text, uint32_t style = MB_OK, const std::string& title = {});

// ---- Open-file dialog -------------------------------------------------------------------

struct OpenFileRequest {
    uint32_t ownerWindow = 0;
    uint32_t instance = 0;
    std::string title = "Open File";
    std::string filter;       // empty = no filter
    size_t bufferChars = 256; // room for the path, its terminating NUL included
    uint32_t flags = 0x6;     // hide the read-only box, prompt before overwriting
};

// Asks the user for a file. Answers the chosen path, or empty when cancelled.
class FileDialogProvider {
public:
    virtual ~FileDialogProvider() = default;
    virtual std::string openFile(const OpenFileRequest& request) = 0;
};

// The headless default: every dialog is cancelled.
class CancellingFileDialogProvider : public FileDialogProvider {
public:
    std::string openFile(const OpenFileRequest&) override { return {}; }
};

// A test provider: answers queued paths in order (cancel once the queue is empty) and
// records every request.
class ScriptedFileDialogProvider : public FileDialogProvider {
public:
    void queueAnswer(std::string path);
    std::string openFile(const OpenFileRequest& request) override;
    std::vector<OpenFileRequest> requests() const;

private:
    mutable std::mutex m_mutex;
    std::deque<std::string> m_answers;
    std::vector<OpenFileRequest> m_requests;
};

// Installs the process's provider; null puts the default back. Returns the previous one.
std::shared_ptr<FileDialogProvider>
setFileDialogProvider(std::shared_ptr<FileDialogProvider> provider);
std::shared_ptr<FileDialogProvider> fileDialogProvider();

// Runs the open-file dialog through the current provider, as the system dialog behaves:
// the path up to its first NUL; empty when cancelled, when the provider fails, or when the
// path needs more than bufferChars - 1 characters (the dialog refuses a path that does not
// fit its buffer). Never throws.
std::string GetOpenFileName(const OpenFileRequest& request);

} // namespace win
