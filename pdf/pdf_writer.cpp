#include "pdf/cPDF.h"

#include "pdf/pdf_compress.h"
#include "pdf/pdf_format.h"
#include "pdf/rc4.h"

#include <cerrno>
#include <ctime>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tavimo {

using namespace pdf;

namespace {

// Object numbers and the page count are 16-bit values in the file layout readers expect.
constexpr int kMaxObjectNumber = 32767;

PdfLocalTime systemLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    PdfLocalTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.utcOffsetMinutes = int(local.tm_gmtoff / 60);
    return t;
}

PdfEnvironment defaultEnvironment() {
    PdfEnvironment e;
    e.clock = systemLocalTime;
    auto generator = std::make_shared<std::mt19937>(std::random_device{}());
    e.random = [generator] { return std::uint32_t((*generator)()); };
    return e;
}

} // namespace

cPDF::cPDF() : m_environment(defaultEnvironment()) {}

cPDF::~cPDF() {
    try {
        finishDocument();
    } catch (...) {
    }
    closeFile();
}

void cPDF::SetEnvironment(PdfEnvironment environment) {
    PdfEnvironment defaults = defaultEnvironment();
    m_environment.clock = environment.clock ? std::move(environment.clock) : defaults.clock;
    m_environment.random = environment.random ? std::move(environment.random) : defaults.random;
}

// ---- settings ----

void cPDF::XMP(const std::string& sXMP) {
    m_xmp = sXMP;
}

void cPDF::PdfA(bool bPdfA) {
    m_pdfA = bPdfA;
}

void cPDF::CompressLevel(std::int32_t nLevel) {
    if (nLevel >= 0 && nLevel <= 9)
        m_compressLevel = nLevel;
}

void cPDF::JpegQuality(std::int32_t nQuality) {
    if (nQuality >= 0 && nQuality <= 100)
        m_jpegQuality = nQuality;
}

void cPDF::PaperWidth(float vData) {
    m_paperWidth = vData;
    m_paperSize = 255;
}

void cPDF::PaperHeight(float vData) {
    m_paperHeight = vData;
    m_paperSize = 255;
}

void cPDF::PaperSize(std::int32_t New_PaperSize) {
    m_paperSize = New_PaperSize;
    switch (New_PaperSize) {
    case 0:
        m_paperWidth = 595.2f;
        m_paperHeight = 842;
        break;
    case 1:
        m_paperWidth = 842;
        m_paperHeight = 1190.5f;
        break;
    case 2:
        m_paperWidth = 612;
        m_paperHeight = 792;
        break;
    case 3:
        m_paperWidth = 612;
        m_paperHeight = 864;
        break;
    default:
        break;
    }
}

std::int32_t cPDF::PdfGetNativePdf() const {
    return m_file ? fileno(m_file) : 0;
}

// ---- object writer ----

void cPDF::writeRaw(std::string_view bytes) {
    if (!m_file)
        return;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        throw WriteError{};
    m_position += bytes.size();
}

void cPDF::writeLine(std::string_view text) {
    if (!m_file)
        return;
    writeRaw(text);
    writeRaw("\r\n");
}

int cPDF::beginObject(int number) {
    if (!m_file)
        return 0;
    if (number == 0)
        number = m_highest + 1;
    if (number > kMaxObjectNumber)
        throw WriteError{};
    if (number > m_highest) {
        m_highest = number;
        m_offsets.resize(std::size_t(number) + 1, -1);
    }
    m_offsets[std::size_t(number)] = std::int64_t(m_position);
    writeLine(IntText(number) + " 0 obj");
    return number;
}

bool cPDF::haveObjects(int count) const {
    // The open page's two objects are spoken for.
    return m_highest + count + (m_pageOpen ? 2 : 0) <= kMaxObjectNumber;
}

int cPDF::reserveObject() {
    if (!m_file)
        return 0;
    if (m_highest + 1 > kMaxObjectNumber)
        throw WriteError{};
    ++m_highest;
    m_offsets.resize(std::size_t(m_highest) + 1, -1);
    return m_highest;
}

std::string cPDF::encryptFor(int objectNumber, std::string_view data) const {
    return Rc4::crypt(ObjectKey(m_security, objectNumber), data);
}

std::string cPDF::encodeTextValue(std::string_view text, int objectNumber, bool shortEscape) const {
    if (encrypting()) {
        // Cipher bytes may be CR or LF, which a reader would fold by its end-of-line rule:
        // they are always escaped.
        return EscapeText(encryptFor(objectNumber, text));
    }
    return shortEscape ? EscapeString(text) : EscapeText(text);
}

// ---- lifecycle ----

void cPDF::resetDocument() {
    m_headerDone = false;
    m_pdfAActive = false;
    m_highest = 0;
    m_offsets.assign(1, -1);
    m_pages = 0;
    m_kids.clear();
    m_pageOpen = false;
    m_content.clear();
    m_charSpacing = m_wordSpacing = 0;
    m_horizontalScaling = 100;
    m_fontText.clear();
    m_imageText.clear();
    m_formText.clear();
    m_images.clear();
    m_fonts.clear();
    m_forms.clear();
    m_formOpen = false;
    m_formObject = 0;
    m_formContent.clear();
    m_formHead.clear();
    m_security = SecurityValues{};
    m_encryptObject = 0;
    m_position = 0;
}

void cPDF::closeFile() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool cPDF::NewPdf(const std::string& sFilename, const std::string& sTitle,
                  const std::string& sAuthor, const std::string& sCreator,
                  const std::string& sKeywords, const std::string& sSubject,
                  std::int32_t nPdfEncryption, std::int32_t nPDFRight,
                  const std::string& sUserpassWord, const std::string& sOwnerPassword) {
    try {
        // An unknown mode would leave every encrypted string and stream empty.
        if (nPdfEncryption < 0 || nPdfEncryption > 2)
            return false;
        // The open document is finished under its own settings and identifier before any of
        // the new document's values are stored.
        try {
            finishDocument();
        } catch (...) {
        }
        closeFile();
        resetDocument();

        m_title = ToAnsi(sTitle);
        m_author = ToAnsi(sAuthor);
        m_creator = ToAnsi(sCreator);
        m_keywords = ToAnsi(sKeywords);
        m_subject = ToAnsi(sSubject);
        m_encryption = nPdfEncryption;
        m_rights = nPDFRight;
        m_ownerPassword = ToAnsi(sOwnerPassword);
        m_userPassword = ToAnsi(sUserpassWord);
        m_path = sFilename;

        static constexpr char kHex[] = "0123456789ABCDEF";
        m_id1.clear();
        m_id2.clear();
        for (int i = 0; i < 32; ++i) {
            m_id1 += kHex[m_environment.random() >> 28];
            m_id2 += kHex[m_environment.random() >> 28];
        }

        if (m_path.empty())
            return false;
        struct stat info {};
        if (lstat(m_path.c_str(), &info) == 0 &&
            (S_ISDIR(info.st_mode) || unlink(m_path.c_str()) != 0))
            return false;
        m_file = std::fopen(m_path.c_str(), "w+b");
        if (!m_file)
            return false;
        // Output is written in many small pieces; a large buffer keeps system calls few.
        std::setvbuf(m_file, nullptr, _IOFBF, 1 << 16);
        return true;
    } catch (...) {
        closeFile();
        return false;
    }
}

std::int16_t cPDF::BeginPage() {
    try {
        if (!m_file)
            return 0;
        if (!m_headerDone)
            initPdfFile();
        if (m_pageOpen)
            endPage();
        // A page takes two objects when it ends; one that could not be written is not begun.
        if (m_pages >= kMaxObjectNumber || !haveObjects(2))
            return 0;
        beginPageBody();
        return m_pages;
    } catch (...) {
        return 0;
    }
}

void cPDF::beginPageBody() {
    ++m_pages;
    m_content.clear();
    m_pageWidth = m_paperWidth;
    m_pageHeight = m_paperHeight;
    m_pageMargin = m_margin;
    m_charSpacing = 0;
    m_wordSpacing = 0;
    m_horizontalScaling = 100;
    m_pageOpen = true;
    drawPageObjects();
}

void cPDF::EndPage() {
    try {
        endPage();
    } catch (...) {
    }
}

void cPDF::endPage() {
    if (!m_pageOpen || !m_file)
        return;
    int n = beginObject(0);
    m_kids += IntText(n) + " 0 R ";
    std::string w = FormatNumber(m_pageWidth, 3);
    std::string h = FormatNumber(m_pageHeight, 3);
    std::string m = FormatNumber(m_pageMargin, 3);
    std::string wm = FormatNumber(double(m_pageWidth) - double(m_pageMargin), 3);
    std::string hm = FormatNumber(double(m_pageHeight) - double(m_pageMargin), 3);
    std::string page = "<</Type/Page/Parent 3 0 R/Contents " + IntText(n + 1) +
                       " 0 R/MediaBox [0 0 " + w + " " + h + "]/CropBox [" + m + " " + m + " " +
                       wm + " " + hm + "]";
    if (m_orientation == 1)
        page += "/Rotate 90";
    page += ">>";
    writeLine(page);
    writeEndObj();

    beginObject(n + 1);
    std::string compressed;
    // An empty page has nothing to compress and is written as an empty plain stream.
    if (m_compressData && !m_content.empty() && CompressBytes(m_content, compressed, 9)) {
        // The length is written the way the page streams always were: after a blank.
        writeLine("<</Length  " + IntText(std::int64_t(compressed.size())) +
                  "/Filter /FlateDecode>>stream");
        if (encrypting())
            compressed = encryptFor(n + 1, compressed);
        writeBytes(compressed);
    } else {
        writeLine("<</Length  " + IntText(std::int64_t(m_content.size())) + ">>stream");
        writeLine(encrypting() ? encryptFor(n + 1, m_content) : m_content);
    }
    m_content.clear();
    writeRaw("endstream\rendobj\r");
    m_pageOpen = false;
}

void cPDF::ClosePdfFile() {
    try {
        finishDocument();
    } catch (...) {
    }
    closeFile();
}

void cPDF::finishDocument() {
    if (!m_file)
        return;
    if (!m_headerDone)
        initPdfFile();
    if (m_formOpen)
        endForm();
    if (m_pageOpen)
        endPage();

    beginObject(4);
    std::string resources = "<<";
    if (!m_fontText.empty())
        resources += "/Font<<" + m_fontText + ">>";
    resources += "/ProcSet [/PDF/Text";
    if (!m_imageText.empty())
        resources += "/ImageB/ImageC/ImageI";
    resources += " ]";
    if (!m_imageText.empty() || !m_formText.empty())
        resources += "/XObject <<" + m_imageText + m_formText + ">>";
    resources += ">>";
    writeLine(resources);
    writeEndObj();

    int resourcesNumber = 4;
    beginObject(3);
    writeLine("<</Type/Pages/Count " + IntText(m_pages) + "/Kids [" + m_kids + "]/Resources " +
              IntText(resourcesNumber) + " 0 R>>");
    writeEndObj();

    std::uint64_t xref = m_position;
    writeLine("xref");
    writeLine("0 " + IntText(m_highest + 1));
    writeLine("0000000000 65535 f");
    std::string entries;
    entries.reserve(std::size_t(m_highest) * 20);
    for (int i = 1; i <= m_highest; ++i) {
        std::int64_t offset = m_offsets[std::size_t(i)];
        if (offset < 0) {
            // A number no object took is listed as free, so the table stays well formed.
            entries += "0000000000 65535 f\r\n";
            continue;
        }
        char line[32];
        std::snprintf(line, sizeof line, "%010lld 00000 n\r\n", static_cast<long long>(offset));
        entries += line;
    }
    writeRaw(entries);

    std::string trailer = "trailer\r\n<</Size " + IntText(m_highest + 1) + "/Root 2 0 R/Info 1 0 R";
    if (encrypting()) {
        std::string x = BytesToHex(m_id1);
        trailer += "/Encrypt " + IntText(m_encryptObject) + " 0 R /ID [<" + x + "><" + x + ">]>>";
    } else if (m_pdfAActive) {
        trailer += "/ID[<" + m_id1 + "><" + m_id2 + ">]>>";
    } else {
        trailer += ">>";
    }
    writeLine(trailer);
    writeLine("startxref");
    writeLine(IntText(std::int64_t(xref)));
    writeLine("%%EOF");
    if (std::fflush(m_file) != 0)
        throw WriteError{};
    closeFile();
}

} // namespace tavimo
