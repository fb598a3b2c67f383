#include "pdf/cPDF.h"

#include "pdf/pdf_compress.h"
#include "pdf/pdf_format.h"
#include "platform/fonts/fonts.h"
#include "platform/win/vb_number.h"

#include <cmath>

namespace tavimo {

using namespace pdf;

namespace {

std::string withoutBlanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

int roundHalfEven(double v) {
    return int(std::nearbyint(v));
}

// A face inside a collection, or a program that is not plain TrueType, cannot be embedded
// as a FontFile2 stream.
bool embeddable(const std::string& program, int faceIndex) {
    if (faceIndex != 0 || program.size() < 12)
        return false;
    return program.compare(0, 4, std::string("\0\1\0\0", 4)) == 0 ||
           program.compare(0, 4, "true") == 0;
}

} // namespace

std::int32_t cPDF::LoadFont(const std::string& BaseFont, bool bBold, bool bItalic) {
    try {
        if (!m_file)
            return 0;
        if (!m_headerDone)
            initPdfFile();
        std::string installed;
        if (!fonts::FindInstalledFont(BaseFont, installed))
            return 0;
        fonts::FontMetrics metrics;
        if (!fonts::GetFontMetrics(installed, bBold, bItalic, metrics))
            return 0;

        // Under PDF/A the font program must be in the file; read it before anything is
        // written, so a font that cannot be embedded adds nothing.
        std::string program;
        if (m_pdfAActive) {
            program = fonts::ReadFontFile(metrics.file);
            if (!embeddable(program, metrics.faceIndex))
                return 0;
        }

        if (!haveObjects(program.empty() ? 2 : 3))
            return 0;
        FontRecord record;
        record.name = installed;
        if (bBold || bItalic)
            record.name += std::string(",") + (bBold ? "Bold" : "") + (bItalic ? "Italic" : "");
        record.name = withoutBlanks(ToAnsi(record.name));
        record.firstChar = metrics.firstChar;
        record.lastChar = metrics.lastChar;
        for (int c = record.firstChar; c <= record.lastChar; ++c)
            record.widths[std::size_t(c)] = metrics.widths[std::size_t(c)];
        record.missingWidth = record.firstChar != 0 ? metrics.widths[0] : metrics.widths[255];
        int id = int(m_fonts.size()) + 1;
        std::string resource = "Font" + IntText(id);
        std::string name = EscapeName(record.name);

        std::string widths;
        widths.reserve(std::size_t(record.lastChar - record.firstChar + 1) * 5);
        for (int c = record.firstChar; c <= record.lastChar; ++c)
            widths += FormatNumber(record.widths[std::size_t(c)], 3) + " ";

        int n = beginObject(0);
        writeLine("<</Type/Font/Subtype/TrueType/Name/" + resource + "/BaseFont/" + name +
                  "/FirstChar " + IntText(record.firstChar) + "/LastChar " +
                  IntText(record.lastChar) + "/FontDescriptor " + IntText(n + 1) +
                  " 0 R/Encoding/WinAnsiEncoding/Widths [" + widths + "] >>");
        writeEndObj();
        m_fontText += "/" + resource + " " + IntText(n) + " 0 R \r";
        m_fonts.push_back(record);

        int ascent = metrics.ascent;
        int descent = metrics.descent;
        int maxWidth = metrics.maximumWidth;
        int flags = metrics.characterSet == fonts::CharacterSet::Ansi     ? 32
                    : metrics.characterSet == fonts::CharacterSet::Symbol ? 4
                                                                          : 0;
        beginObject(0);
        std::string descriptor =
            "<<\r/Type /FontDescriptor\r/FontName /" + name + "\r/MissingWidth " +
            IntText(record.missingWidth) + "\r/Ascent " + IntText(ascent) + "\r/Descent " +
            IntText(-descent) + "\r/AvgWidth " + IntText(metrics.averageWidth) + "\r/CapHeight " +
            IntText(ascent) + "\r/StemV 0\r/ItalicAngle " + IntText(bItalic ? -11 : 0) +
            "\r/Flags " + IntText(flags) + "\r/MaxWidth  " + IntText(maxWidth) + "\r/FontBBox [ " +
            IntText(roundHalfEven(-0.2 * maxWidth)) + " " + IntText(-descent) + " " +
            IntText(maxWidth - roundHalfEven(0.2 * maxWidth)) + " " + IntText(ascent) + "]\r";
        if (!program.empty())
            descriptor += "/FontFile2 " + IntText(n + 2) + " 0 R\r";
        descriptor += ">>";
        writeLine(descriptor);
        writeEndObj();

        if (!program.empty()) {
            std::string data;
            bool compressed = CompressBytes(program, data, 9);
            if (!compressed)
                data = program;
            beginObject(0);
            writeLine("<</Length " + IntText(std::int64_t(data.size())) +
                      (compressed ? "/Filter/FlateDecode" : "") + "/Length1 " +
                      IntText(std::int64_t(program.size())) + ">>stream");
            writeBytes(data);
            writeLine("endstream");
            writeEndObj();
        }
        return id;
    } catch (...) {
        return 0;
    }
}

float cPDF::textWidth(std::string_view ansi, std::int32_t fontId, float size) const {
    if (fontId < 1 || fontId > std::int32_t(m_fonts.size()))
        return 0;
    const FontRecord& font = m_fonts[std::size_t(fontId - 1)];
    double sum = 0;
    int blanks = 0;
    for (unsigned char c : ansi) {
        sum += (c >= font.firstChar && c <= font.lastChar) ? font.widths[c] : font.missingWidth;
        if (c == ' ')
            ++blanks;
    }
    double width = (sum * double(size) / 1000 + blanks * double(m_wordSpacing) +
                    double(ansi.size()) * double(m_charSpacing)) *
                   double(m_horizontalScaling) / 100;
    return float(width);
}

float cPDF::TextWidth(const std::string& strTemp, std::int32_t nFontID, float FontSize) {
    try {
        return textWidth(ToAnsi(strTemp), nFontID, FontSize);
    } catch (...) {
        return 0;
    }
}

} // namespace tavimo
