#include "platform/printer/print_dialog.h"

namespace prn {

namespace {

std::mutex& providerMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<PrintDialogProvider>& providerSlot() {
    static std::shared_ptr<PrintDialogProvider> p;
    return p;
}

} // namespace

void ScriptedPrintDialogProvider::queueAnswer(std::optional<PrintDialogChoice> choice) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(std::move(choice));
}

std::optional<PrintDialogChoice>
ScriptedPrintDialogProvider::show(const PrintDialogRequest& request) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    if (m_answers.empty())
        return std::nullopt;
    auto answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

std::vector<PrintDialogRequest> ScriptedPrintDialogProvider::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::shared_ptr<PrintDialogProvider>
setPrintDialogProvider(std::shared_ptr<PrintDialogProvider> provider) {
    std::lock_guard lock(providerMutex());
    auto previous = providerSlot();
    providerSlot() = std::move(provider);
    return previous;
}

std::shared_ptr<PrintDialogProvider> printDialogProvider() {
    std::lock_guard lock(providerMutex());
    if (!providerSlot())
        providerSlot() = std::make_shared<CancellingPrintDialogProvider>();
    return providerSlot();
}

std::optional<PrintDialogChoice> PrintDlg(const PrintDialogRequest& request) {
    try {
        auto provider = printDialogProvider();
        if (!provider)
            return std::nullopt;
        std::optional<PrintDialogChoice> choice;
        if (request.printers.empty()) {
            PrintDialogRequest described = request;
            described.printers = describePrinters();
            choice = provider->show(described);
        } else {
            choice = provider->show(request);
        }
        if (choice && choice->deviceName.size() > 31)
            choice->deviceName.resize(31);
        return choice;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace prn
