#pragma once

// The print dialog, as a service: the headless default answers "cancelled"; tests script
// the answers; a host with a user interface installs its own provider.

#include "platform/printer/printer.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace prn {

// Dialog flags, with their usual values.
inline constexpr uint32_t PD_NOSELECTION = 0x4;
inline constexpr uint32_t PD_RETURNIC = 0x200;
inline constexpr uint32_t PD_USEDEVMODECOPIESANDCOLLATE = 0x40000;
inline constexpr uint32_t PD_DISABLEPRINTTOFILE = 0x80000;
inline constexpr uint32_t PD_HIDEPRINTTOFILE = 0x100000;

// What the dialog is asked to show. All four page numbers 0: no page range is offered.
struct PrintDialogRequest {
    uint32_t ownerWindow = 0;
    uint32_t flags = 0;
    uint16_t fromPage = 0, toPage = 0, minPage = 0, maxPage = 0;
    std::string printerName; // the printer the dialog opens on (the default printer)
    // The printers to choose from, with their capabilities and defaults, the default marked;
    // PrintDlg fills it in when it is empty.
    std::vector<PrinterDescription> printers;
};

// The user's choice: the printer and its settings as a device mode carries them, and the
// pages chosen (0, 0 when the dialog offered no range).
struct PrintDialogChoice {
    std::string deviceName;
    int16_t copies = 1;
    int16_t orientation = 1;
    int16_t duplex = 1;
    int16_t paperSize = 9;
    int16_t color = 2;
    int16_t printQuality = -4;
    int16_t defaultSource = 7;
    uint16_t fromPage = 0, toPage = 0;
};

class PrintDialogProvider {
public:
    virtual ~PrintDialogProvider() = default;
    // The choice, or nothing when the user cancelled.
    virtual std::optional<PrintDialogChoice> show(const PrintDialogRequest& request) = 0;
};

// The headless default: every dialog is cancelled.
class CancellingPrintDialogProvider : public PrintDialogProvider {
public:
    std::optional<PrintDialogChoice> show(const PrintDialogRequest&) override {
        return std::nullopt;
    }
};

// A test provider: answers the queued choices in order (nullopt is a cancel; cancel once the
// queue is empty) and records every request.
class ScriptedPrintDialogProvider : public PrintDialogProvider {
public:
    void queueAnswer(std::optional<PrintDialogChoice> choice);
    std::optional<PrintDialogChoice> show(const PrintDialogRequest& request) override;
    std::vector<PrintDialogRequest> requests() const;

private:
    mutable std::mutex m_mutex;
    std::deque<std::optional<PrintDialogChoice>> m_answers;
    std::vector<PrintDialogRequest> m_requests;
};

// Installs the process's provider; null puts the default back. Returns the previous one.
std::shared_ptr<PrintDialogProvider>
setPrintDialogProvider(std::shared_ptr<PrintDialogProvider> provider);
std::shared_ptr<PrintDialogProvider> printDialogProvider();

// Runs the dialog through the current provider, as the system dialog hands its answer
// back: the device name passes through the device mode's 32-character field, so a longer
// name comes back cut to its first 31 characters. Nothing when cancelled or when the
// provider fails. Never throws.
std::optional<PrintDialogChoice> PrintDlg(const PrintDialogRequest& request);

} // namespace prn
