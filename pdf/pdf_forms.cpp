#include "pdf/cPDF.h"

#include "pdf/pdf_format.h"

namespace tavimo {

using namespace pdf;

void cPDF::StartObject(const std::string& name, std::int32_t Options) {
    try {
        if (!m_file || name.empty())
            return;
        if (!m_headerDone)
            initPdfFile();
        if (m_formOpen)
            endForm();
        if (!haveObjects(2))
            return;
        std::string pdfName = EscapeName(ToAnsi(name));
        // The form is written whole at EndObject, so objects written meanwhile (pages, fonts)
        // never land inside its stream; its two numbers are taken now.
        int n = reserveObject();
        reserveObject();
        double m = m_margin, w = m_paperWidth, h = m_paperHeight;
        m_formHead = "<</Type/XObject/Subtype/Form/FormType 1/Name/" + pdfName + "/BBox [" +
                     FormatNumber(m, 3) + " " + FormatNumber(m, 3) + " " + FormatNumber(w - m, 3) +
                     " " + FormatNumber(h - m, 3) + "]/Matrix [1 0 0 1 0 0]/Length " +
                     IntText(n + 1) + " 0 R>>stream";
        m_formObject = n;
        m_formContent.clear();
        m_formOpen = true;
        m_formText += "/" + pdfName + " " + IntText(n) + " 0 R \r";
        m_forms.push_back({pdfName, Options});
    } catch (...) {
    }
}

void cPDF::EndObject() {
    try {
        endForm();
    } catch (...) {
    }
}

void cPDF::endForm() {
    if (!m_formOpen)
        return;
    m_formOpen = false;
    int n = m_formObject;
    std::string content;
    content.swap(m_formContent);
    if (encrypting())
        content = encryptFor(n, content);
    beginObject(n);
    writeLine(m_formHead);
    // The line end after the data is not part of it: readers (and PDF/A) expect one before
    // "endstream" outside the stream's length.
    writeBytes(content);
    writeLine("endstream");
    writeEndObj();
    beginObject(n + 1);
    writeLine(IntText(std::int64_t(content.size())));
    writeEndObj();
}

void cPDF::DrawObject(const std::string& name) {
    try {
        std::string pdfName = EscapeName(ToAnsi(name));
        bool registered = false;
        for (const auto& form : m_forms)
            registered = registered || form.name == pdfName;
        // A form never draws itself, and a name no form has would be a missing resource.
        if (!registered)
            return;
        if (m_formOpen && m_forms.back().name == pdfName)
            return;
        if (m_formOpen || m_pageOpen)
            addContent("/" + pdfName + " Do");
    } catch (...) {
    }
}

void cPDF::drawPageObjects() {
    int p = m_pages;
    for (const auto& form : m_forms) {
        std::int32_t o = form.options;
        bool draw = (o & 7) == 7 || (p % 2 == 0 && (o & 2)) ||
                    (p % 2 == 1 && (o & 4) && !((o & 8) && p == 1));
        if (draw) {
            // Straight into the new page, even while a form is open.
            m_content += "/" + form.name + " Do\r\n";
        }
    }
}

} // namespace tavimo
