#include "pdf/cPDF.h"

#include "pdf/pdf_format.h"
#include "resources/resources.h"

#include <cstdio>
#include <cstdlib>

namespace tavimo {

using namespace pdf;

namespace {

std::string two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v % 100);
    return b;
}

std::string four(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%04d", v);
    return b;
}

void replaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
    std::size_t at = 0;
    while ((at = text.find(placeholder, at)) != std::string::npos) {
        text.replace(at, placeholder.size(), value);
        at += value.size();
    }
}

// Characters XML 1.0 cannot hold at all (controls other than tab, CR, LF) become '?'.
std::string xmpValue(std::string_view ansi) {
    std::string utf8 = AnsiToUtf8(ansi);
    for (char& c : utf8)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n')
            c = '?';
    return XmlEscape(utf8);
}

} // namespace

std::string cPDF::infoDate(const PdfLocalTime& t) const {
    int offset = t.utcOffsetMinutes;
    char sign = offset < 0 ? '-' : '+';
    offset = std::abs(offset);
    return "D:" + four(t.year) + two(t.month) + two(t.day) + two(t.hour) + two(t.minute) +
           two(t.second) + sign + two(offset / 60) + "'" + two(offset % 60) + "'";
}

std::string cPDF::xmpDate(const PdfLocalTime& t) const {
    int offset = t.utcOffsetMinutes;
    char sign = offset < 0 ? '-' : '+';
    offset = std::abs(offset);
    return four(t.year) + "-" + two(t.month) + "-" + two(t.day) + "T" + two(t.hour) + ":" +
           two(t.minute) + ":" + two(t.second) + sign + two(offset / 60) + ":" + two(offset % 60);
}

std::string cPDF::newUuid() {
    unsigned char bytes[16];
    for (int i = 0; i < 16; i += 4) {
        std::uint32_t r = m_environment.random();
        for (int k = 0; k < 4; ++k)
            bytes[i + k] = static_cast<unsigned char>(r >> (8 * k));
    }
    // A random (version 4, RFC 4122 variant) identifier.
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::string hex = BytesToHex(std::string_view(reinterpret_cast<char*>(bytes), 16));
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
           hex.substr(16, 4) + "-" + hex.substr(20);
}

std::string cPDF::buildPdfaXmp(const PdfLocalTime& t) {
    auto resource = resources::PdfaXmpTemplate();
    std::string text(reinterpret_cast<const char*>(resource.data()), resource.size());
    // The packet is UTF-8 XML: the values go in as their characters, XML-escaped, while the
    // Info dictionary keeps its Windows-1252 bytes.
    replaceAll(text, "XXX_AUTHOR_XXX", xmpValue(m_author));
    replaceAll(text, "XXX_TITLE_XXX", xmpValue(m_title));
    replaceAll(text, "XXX_CREATOR_XXX", xmpValue(m_creator));
    replaceAll(text, "XXX_SUBJECT_XXX", xmpValue(m_subject));
    replaceAll(text, "XXX_KEYWORDS_XXX", xmpValue(m_keywords));
    std::string date = xmpDate(t);
    replaceAll(text, "XXX_CREATIONDATE_XXX", date);
    replaceAll(text, "XXX_MODIFYDATE_XXX", date);
    replaceAll(text, "XXX_METADATADATE_XXX", date);
    replaceAll(text, "XXX_PRODUCER_XXX", XmlEscape(kProducer));
    replaceAll(text, "XXX_DOCUMENTUUID_XXX", "uuid: " + newUuid());
    replaceAll(text, "XXX_SESSIONUUID_XXX", "uuid: " + newUuid());
    return text;
}

void cPDF::InitPdfFile() {
    try {
        initPdfFile();
    } catch (...) {
    }
}

void cPDF::initPdfFile() {
    // Without a file nothing is written and the header stays pending, so a document opened
    // later on this instance still gets its header.
    if (!m_file || m_headerDone)
        return;
    m_headerDone = true;
    PdfLocalTime now = m_environment.clock();
    m_images.clear();

    std::string header;
    if (encrypting()) {
        m_pdfAActive = false;
        m_security =
            ComputeEncryptionKeys(m_rights, m_encryption, m_ownerPassword, m_userPassword, m_id1);
        header = (m_encryption == 1 ? "%PDF-1.3\r%" : "%PDF-1.4\r%") + std::string(kProducer);
    } else if (m_pdfA) {
        m_pdfAActive = true;
        header = "%PDF-1.4\r%\xE2\xE3\xCF\xD3";
    } else {
        m_pdfAActive = false;
        header = "%PDF-1.3\r%" + std::string(kProducer);
    }
    writeLine(header);

    m_highest = 0;
    beginObject(1);
    auto value = [this](std::string_view ansi) {
        std::string text = InfoText(ansi);
        // UTF-16 bytes may be CR or LF, which must not be folded by a reader.
        bool unicode = text.size() >= 2 && text[0] == '\xFE' && text[1] == '\xFF';
        return encodeTextValue(text, 1, !unicode);
    };
    std::string info = "<</Title(" + value(m_title) + ")/Author(" + value(m_author) + ")/Creator(" +
                       value(m_creator) + ")/Producer(" + value(kProducer) + ")/Subject(" +
                       value(m_subject) + ")/Keywords(" + value(m_keywords) + ")/CreationDate(" +
                       value(infoDate(now)) + ")>>";
    writeLine(info);
    writeEndObj();

    bool metadata = !m_xmp.empty() || m_pdfAActive;
    beginObject(2);
    std::string catalog = "<</PageMode/UseNone/ViewerPreferences<</HideWindowUI false"
                          "/DisplayDocTitle true/HideToolbar false>>";
    if (metadata)
        catalog += "/Metadata 5 0 R";
    catalog += "/Pages 3 0 R/PageLayout/OneColumn/Type/Catalog";
    if (m_pdfAActive)
        catalog += "/OutputIntents 6 0 R";
    catalog += ">>";
    writeLine(catalog);
    writeEndObj();

    // Objects 3 (page tree) and 4 (resources) are written when the document closes.
    m_highest = 4;
    m_offsets.resize(5, -1);

    if (metadata) {
        std::string xmp = m_pdfAActive ? buildPdfaXmp(now) : m_xmp;
        int n = beginObject(0);
        if (encrypting())
            xmp = encryptFor(n, xmp);
        writeLine("<</Subtype/XML/Length " + IntText(std::int64_t(xmp.size())) +
                  "/Type/Metadata>>stream\r\n" + xmp + "\r\nendstream");
        writeEndObj();
        if (m_pdfAActive) {
            int intent = beginObject(0);
            writeLine("[<</Info(sRGB IEC61966-2.1)/S/GTS_PDFA1/OutputConditionIdentifier(Custom)"
                      "/OutputCondition()/DestOutputProfile " +
                      IntText(intent + 1) + " 0 R/Type/OutputIntent/RegistryName()>>]");
            writeEndObj();
            auto profile = resources::SrgbProfileCompressed();
            beginObject(0);
            writeLine("<</Length " + IntText(std::int64_t(profile.size())) +
                      "/Filter/FlateDecode/N 3>>stream");
            writeBytes(
                std::string_view(reinterpret_cast<const char*>(profile.data()), profile.size()));
            writeLine("endstream");
            writeEndObj();
        }
    }

    if (encrypting()) {
        m_encryptObject = beginObject(0);
        std::string dictionary = "<< /Filter /Standard \r/O (" + EscapeText(m_security.ownerValue) +
                                 ")\r/U (" + EscapeText(m_security.userValue) + ")\r/P " +
                                 IntText(m_security.permissions) + "\r";
        dictionary += m_encryption == 1 ? "/V 1 /R 2 >>" : "/V 2 /R 3 /Length 128 >>";
        writeLine(dictionary);
        writeEndObj();
    }
}

} // namespace tavimo
