#include "platform/win/ui_services.h"

#include "platform/win/codepage.h"

#include <cstdio>

namespace win {
namespace {

constexpr size_t kThreadRecordLimit = 100;

thread_local std::deque<MessageRecord> t_record;

struct Services {
    std::mutex mutex;
    std::shared_ptr<MessageSink> sink;
    std::shared_ptr<FileDialogProvider> dialogs;
};

Services& services() {
    static Services instance;
    return instance;
}

template <class T, class Default> std::shared_ptr<T> current(std::shared_ptr<T> Services::*member) {
    Services& s = services();
    std::lock_guard lock(s.mutex);
    if (!(s.*member))
        s.*member = std::make_shared<Default>();
    return s.*member;
}

template <class T>
std::shared_ptr<T> replace(std::shared_ptr<T> Services::*member, std::shared_ptr<T> next) {
    Services& s = services();
    std::lock_guard lock(s.mutex);
    std::swap(s.*member, next);
    return next;
}

size_t countCharacters(const std::string& utf8) {
    size_t count = 0, pos = 0;
    while (pos < utf8.size()) {
        decodeUtf8(utf8, pos);
        ++count;
    }
    return count;
}

} // namespace

int StderrMessageSink::show(const MessageRecord& message) {
    if (message.title.empty())
        std::fprintf(stderr, "%s\n", message.text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", message.title.c_str(), message.text.c_str());
    t_record.push_back(message);
    if (t_record.size() > kThreadRecordLimit)
        t_record.pop_front();
    return IDOK;
}

std::vector<MessageRecord> StderrMessageSink::threadRecord() {
    return {t_record.begin(), t_record.end()};
}

void StderrMessageSink::clearThreadRecord() {
    t_record.clear();
}

int RecordingMessageSink::show(const MessageRecord& message) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
    return m_answer;
}

std::vector<MessageRecord> RecordingMessageSink::messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> RecordingMessageSink::texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& m : m_messages)
        out.push_back(m.text);
    return out;
}

void RecordingMessageSink::clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

std::shared_ptr<MessageSink> setMessageSink(std::shared_ptr<MessageSink> sink) {
    return replace(&Services::sink, std::move(sink));
}

std::shared_ptr<MessageSink> messageSink() {
    return current<MessageSink, StderrMessageSink>(&Services::sink);
}

int MsgBox(const std::string& text, uint32_t style, const std::string& title) {
    try {
        return messageSink()->show(MessageRecord{text, title, style});
    } catch (...) {
        return IDOK;
    }
}

void ScriptedFileDialogProvider::queueAnswer(std::string path) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(std::move(path));
}

std::string ScriptedFileDialogProvider::openFile(const OpenFileRequest& request) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    if (m_answers.empty())
        return {};
    std::string answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

std::vector<OpenFileRequest> ScriptedFileDialogProvider::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::shared_ptr<FileDialogProvider>
setFileDialogProvider(std::shared_ptr<FileDialogProvider> provider) {
    return replace(&Services::dialogs, std::move(provider));
}

std::shared_ptr<FileDialogProvider> fileDialogProvider() {
    return current<FileDialogProvider, CancellingFileDialogProvider>(&Services::dialogs);
}

std::string GetOpenFileName(const OpenFileRequest& request) {
    try {
        std::string path = fileDialogProvider()->openFile(request);
        size_t nul = path.find('\0');
        if (nul != std::string::npos)
            path.resize(nul);
        if (request.bufferChars == 0 || countCharacters(path) > request.bufferChars - 1)
            return {};
        return path;
    } catch (...) {
        return {};
    }
}

} // namespace win
