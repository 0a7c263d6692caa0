// Legacy Excel workbooks: the OLE2 compound file (its sector tables and directory) and the
// BIFF records inside it, from Excel 2 (a plain record stream) to Excel 97-2003 (BIFF8).
//
// The reader is lenient where spreadsheet programs are: a broken sector chain ends its
// stream, a truncated record ends the substream, counts the file declares (strings, sectors)
// are never trusted beyond the bytes that are there, and records it does not know are
// skipped. It is strict where a guess would give wrong values: an encrypted workbook is
// refused, not read as noise.
#include "common/xls_reader.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace tarvest::xls {

namespace {

[[noreturn]] void corrupt()
{
    throw Failure{Failure::Corrupt};
}

quint16 u16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}
double f64(const char* p)
{
    const quint64 bits = qFromLittleEndian<quint64>(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// ---------------------------------------------------------------- code pages

// Bytes 0x80 to 0xFF of the Windows and Macintosh code pages that legacy workbooks declare
// (0xFFFD where the code page has no character).
struct CodePage {
    quint16 id;
    char16_t high[128];
};
constexpr CodePage kCodePages[] = {
    {1250,
     {
         0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, 0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A,
         0x0164, 0x017D, 0x0179, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
         0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
         0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
         0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
         0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
         0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
         0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
         0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
         0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
     }},
    {1251,
     {
         0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
         0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
         0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
         0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
         0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
         0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
         0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
         0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
         0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
         0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
     }},
    {1252,
     {
         0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152,
         0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
         0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
         0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
         0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0,
         0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD,
         0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA,
         0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
         0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4,
         0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
     }},
    {1253,
     {
         0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0xFFFD, 0x2030, 0xFFFD, 0x2039, 0xFFFD,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
         0xFFFD, 0x203A, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
         0x00A7, 0x00A8, 0x00A9, 0xFFFD, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
         0x0384, 0x00B5, 0x00B6, 0x00B7, 0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F, 0x0390,
         0x0391, 0x0392, 0x0393, 0x0394, 0x0395, 0x0396, 0x0397, 0x0398, 0x0399, 0x039A, 0x039B, 0x039C, 0x039D,
         0x039E, 0x039F, 0x03A0, 0x03A1, 0xFFFD, 0x03A3, 0x03A4, 0x03A5, 0x03A6, 0x03A7, 0x03A8, 0x03A9, 0x03AA,
         0x03AB, 0x03AC, 0x03AD, 0x03AE, 0x03AF, 0x03B0, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03B5, 0x03B6, 0x03B7,
         0x03B8, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BE, 0x03BF, 0x03C0, 0x03C1, 0x03C2, 0x03C3, 0x03C4,
         0x03C5, 0x03C6, 0x03C7, 0x03C8, 0x03C9, 0x03CA, 0x03CB, 0x03CC, 0x03CD, 0x03CE, 0xFFFD,
     }},
    {1254,
     {
         0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
         0x0161, 0x203A, 0x0153, 0xFFFD, 0xFFFD, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
         0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
         0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0,
         0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD,
         0x00CE, 0x00CF, 0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA,
         0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
         0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4,
         0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF,
     }},
    {1255,
     {
         0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0xFFFD, 0x2039, 0xFFFD,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
         0xFFFD, 0x203A, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x20AA, 0x00A5, 0x00A6,
         0x00A7, 0x00A8, 0x00A9, 0x00D7, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
         0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00F7, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x05B0,
         0x05B1, 0x05B2, 0x05B3, 0x05B4, 0x05B5, 0x05B6, 0x05B7, 0x05B8, 0x05B9, 0xFFFD, 0x05BB, 0x05BC, 0x05BD,
         0x05BE, 0x05BF, 0x05C0, 0x05C1, 0x05C2, 0x05C3, 0x05F0, 0x05F1, 0x05F2, 0x05F3, 0x05F4, 0xFFFD, 0xFFFD,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x05D0, 0x05D1, 0x05D2, 0x05D3, 0x05D4, 0x05D5, 0x05D6, 0x05D7,
         0x05D8, 0x05D9, 0x05DA, 0x05DB, 0x05DC, 0x05DD, 0x05DE, 0x05DF, 0x05E0, 0x05E1, 0x05E2, 0x05E3, 0x05E4,
         0x05E5, 0x05E6, 0x05E7, 0x05E8, 0x05E9, 0x05EA, 0xFFFD, 0xFFFD, 0x200E, 0x200F, 0xFFFD,
     }},
    {1256,
     {
         0x20AC, 0x067E, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0679, 0x2039, 0x0152,
         0x0686, 0x0698, 0x0688, 0x06AF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x06A9, 0x2122,
         0x0691, 0x203A, 0x0153, 0x200C, 0x200D, 0x06BA, 0x00A0, 0x060C, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
         0x00A7, 0x00A8, 0x00A9, 0x06BE, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
         0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x061B, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x061F, 0x06C1,
         0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627, 0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D,
         0x062E, 0x062F, 0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x00D7, 0x0637, 0x0638, 0x0639,
         0x063A, 0x0640, 0x0641, 0x0642, 0x0643, 0x00E0, 0x0644, 0x00E2, 0x0645, 0x0646, 0x0647, 0x0648, 0x00E7,
         0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x0649, 0x064A, 0x00EE, 0x00EF, 0x064B, 0x064C, 0x064D, 0x064E, 0x00F4,
         0x064F, 0x0650, 0x00F7, 0x0651, 0x00F9, 0x0652, 0x00FB, 0x00FC, 0x200E, 0x200F, 0x06D2,
     }},
    {1257,
     {
         0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, 0xFFFD, 0x2030, 0xFFFD, 0x2039, 0xFFFD,
         0x00A8, 0x02C7, 0x00B8, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
         0xFFFD, 0x203A, 0xFFFD, 0x00AF, 0x02DB, 0xFFFD, 0x00A0, 0xFFFD, 0x00A2, 0x00A3, 0x00A4, 0xFFFD, 0x00A6,
         0x00A7, 0x00D8, 0x00A9, 0x0156, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00C6, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
         0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00F8, 0x00B9, 0x0157, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00E6, 0x0104,
         0x012E, 0x0100, 0x0106, 0x00C4, 0x00C5, 0x0118, 0x0112, 0x010C, 0x00C9, 0x0179, 0x0116, 0x0122, 0x0136,
         0x012A, 0x013B, 0x0160, 0x0143, 0x0145, 0x00D3, 0x014C, 0x00D5, 0x00D6, 0x00D7, 0x0172, 0x0141, 0x015A,
         0x016A, 0x00DC, 0x017B, 0x017D, 0x00DF, 0x0105, 0x012F, 0x0101, 0x0107, 0x00E4, 0x00E5, 0x0119, 0x0113,
         0x010D, 0x00E9, 0x017A, 0x0117, 0x0123, 0x0137, 0x012B, 0x013C, 0x0161, 0x0144, 0x0146, 0x00F3, 0x014D,
         0x00F5, 0x00F6, 0x00F7, 0x0173, 0x0142, 0x015B, 0x016B, 0x00FC, 0x017C, 0x017E, 0x02D9,
     }},
    {1258,
     {
         0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0xFFFD, 0x2039, 0x0152,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
         0xFFFD, 0x203A, 0x0153, 0xFFFD, 0xFFFD, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
         0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
         0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0,
         0x00C1, 0x00C2, 0x0102, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x0300, 0x00CD,
         0x00CE, 0x00CF, 0x0110, 0x00D1, 0x0309, 0x00D3, 0x00D4, 0x01A0, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA,
         0x00DB, 0x00DC, 0x01AF, 0x0303, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
         0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x0301, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x00F1, 0x0323, 0x00F3, 0x00F4,
         0x01A1, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x01B0, 0x20AB, 0x00FF,
     }},
    {10000,
     {
         0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
         0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
         0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
         0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
         0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
         0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
         0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
         0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
         0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
         0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
     }},
    {874,
     {
         0x20AC, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2026, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0xFFFD,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x00A0, 0x0E01, 0x0E02, 0x0E03, 0x0E04, 0x0E05, 0x0E06,
         0x0E07, 0x0E08, 0x0E09, 0x0E0A, 0x0E0B, 0x0E0C, 0x0E0D, 0x0E0E, 0x0E0F, 0x0E10, 0x0E11, 0x0E12, 0x0E13,
         0x0E14, 0x0E15, 0x0E16, 0x0E17, 0x0E18, 0x0E19, 0x0E1A, 0x0E1B, 0x0E1C, 0x0E1D, 0x0E1E, 0x0E1F, 0x0E20,
         0x0E21, 0x0E22, 0x0E23, 0x0E24, 0x0E25, 0x0E26, 0x0E27, 0x0E28, 0x0E29, 0x0E2A, 0x0E2B, 0x0E2C, 0x0E2D,
         0x0E2E, 0x0E2F, 0x0E30, 0x0E31, 0x0E32, 0x0E33, 0x0E34, 0x0E35, 0x0E36, 0x0E37, 0x0E38, 0x0E39, 0x0E3A,
         0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x0E3F, 0x0E40, 0x0E41, 0x0E42, 0x0E43, 0x0E44, 0x0E45, 0x0E46, 0x0E47,
         0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C, 0x0E4D, 0x0E4E, 0x0E4F, 0x0E50, 0x0E51, 0x0E52, 0x0E53, 0x0E54,
         0x0E55, 0x0E56, 0x0E57, 0x0E58, 0x0E59, 0x0E5A, 0x0E5B, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD,
     }},
};

// Code page 32768 is the Macintosh one, 32769 Windows Latin; a missing CODEPAGE record
// means Windows Latin (1252).
const CodePage* codePage(quint16 id)
{
    if (id == 32768)
        id = 10000;
    else if (id == 32769 || id == 367 || id == 1200)
        id = 1252;
    for (const CodePage& cp : kCodePages)
        if (cp.id == id)
            return &cp;
    return nullptr; // decoded as Windows Latin
}

QString decodeBytes(const char* p, qsizetype n, quint16 id)
{
    const CodePage* cp = codePage(id);
    if (!cp)
        cp = codePage(1252);
    QString s(n, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(s.data());
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        out[i] = b < 0x80 ? char16_t(b) : cp->high[b - 0x80];
    }
    return s;
}

// ---------------------------------------------------------------- compound file

constexpr quint32 kEndOfChain = 0xFFFFFFFE;

class CompoundFile {
public:
    explicit CompoundFile(const QByteArray& file) : m_file(file)
    {
        if (file.size() < 512)
            corrupt();
        const char* h = file.constData();
        const quint16 shift = u16(h + 0x1E), miniShift = u16(h + 0x20);
        if (shift < 7 || shift > 16 || miniShift > shift)
            corrupt();
        m_sectorSize = qint64(1) << shift;
        m_miniSize = qint64(1) << miniShift;
        m_miniCutoff = u32(h + 0x38);
        // A last sector cut short still counts: what is there of it is read.
        m_sectors = (file.size() - 1) / m_sectorSize;
        if (m_sectors <= 0)
            corrupt();

        // The sector table: its sectors are listed in the header and then in a chain of
        // list sectors, each ending with the number of the next one.
        std::vector<quint32> fatSectors;
        for (int i = 0; i < 109; ++i)
            addFatSector(fatSectors, u32(h + 0x4C + 4 * i));
        quint32 next = u32(h + 0x44);
        std::vector<bool> seen(size_t(m_sectors), false);
        const qint64 perSector = m_sectorSize / 4;
        while (next < quint32(m_sectors) && !seen[next]) {
            seen[next] = true;
            const QByteArray s = sector(next);
            if (s.size() < m_sectorSize)
                break;
            for (qint64 i = 0; i + 1 < perSector; ++i)
                addFatSector(fatSectors, u32(s.constData() + 4 * i));
            next = u32(s.constData() + 4 * (perSector - 1));
        }
        for (quint32 id : fatSectors) {
            const QByteArray s = sector(id);
            for (qint64 i = 0; i + 4 <= s.size(); i += 4)
                m_fat.push_back(u32(s.constData() + i));
        }
        if (m_fat.empty())
            corrupt();

        const QByteArray dir = chain(m_fat, u32(h + 0x30), -1, false);
        for (qint64 at = 0; at + 128 <= dir.size(); at += 128)
            m_entries.push_back(entry(dir.constData() + at));
        if (m_entries.empty() || m_entries[0].type != 5)
            corrupt();
        m_miniFat.clear();
        const QByteArray miniFat = chain(m_fat, u32(h + 0x3C), -1, false);
        for (qint64 i = 0; i + 4 <= miniFat.size(); i += 4)
            m_miniFat.push_back(u32(miniFat.constData() + i));
        m_miniStream = chain(m_fat, m_entries[0].start, m_entries[0].size, false);
    }

    // The streams directly below the root storage, by name.
    QStringList rootStreams() const
    {
        QStringList names;
        for (int i : rootChildren())
            if (m_entries[size_t(i)].type == 2)
                names.append(m_entries[size_t(i)].name);
        return names;
    }

    QByteArray stream(const QString& name) const
    {
        for (int i : rootChildren()) {
            const Entry& e = m_entries[size_t(i)];
            if (e.type == 2 && e.name == name) {
                if (e.size < m_miniCutoff)
                    return chain(m_miniFat, e.start, e.size, true);
                return chain(m_fat, e.start, e.size, false);
            }
        }
        return {};
    }

private:
    struct Entry {
        QString name;
        quint8 type = 0;
        quint32 left = 0, right = 0, child = 0, start = 0;
        qint64 size = 0;
    };

    static Entry entry(const char* p)
    {
        Entry e;
        const int nameBytes = std::min<int>(u16(p + 0x40), 64);
        QString name;
        for (int i = 0; i + 1 < nameBytes; i += 2) {
            const char16_t c = u16(p + i);
            if (c == 0)
                break;
            name.append(QChar(c));
        }
        e.name = name;
        e.type = quint8(p[0x42]);
        e.left = u32(p + 0x44);
        e.right = u32(p + 0x48);
        e.child = u32(p + 0x4C);
        e.start = u32(p + 0x74);
        e.size = u32(p + 0x78); // the high half is not used by files of 512-byte sectors
        return e;
    }

    void addFatSector(std::vector<quint32>& list, quint32 id) const
    {
        if (id < quint32(m_sectors) && list.size() < size_t(m_sectors))
            list.push_back(id);
    }

    QByteArray sector(quint32 id) const
    {
        const qint64 at = (qint64(id) + 1) * m_sectorSize;
        if (at >= m_file.size())
            return {};
        return m_file.mid(at, std::min(m_sectorSize, m_file.size() - at));
    }

    // The bytes of a chain of sectors (or of mini sectors in the mini stream), at most
    // `size` of them when it is not -1. A chain that breaks or comes round again ends there.
    QByteArray chain(const std::vector<quint32>& table, quint32 start, qint64 size, bool mini) const
    {
        QByteArray out;
        const qint64 unit = mini ? m_miniSize : m_sectorSize;
        const qint64 units = mini ? qint64(m_miniStream.size()) / unit : m_sectors;
        std::vector<bool> seen(size_t(std::min<qint64>(units, qint64(table.size()))), false);
        quint32 id = start;
        while (id != kEndOfChain && id < seen.size() && !seen[id] && (size < 0 || out.size() < size)) {
            seen[id] = true;
            if (mini)
                out += m_miniStream.mid(qint64(id) * unit, unit);
            else
                out += sector(id);
            id = table[id];
        }
        if (size >= 0 && out.size() > size)
            out.truncate(size);
        return out;
    }

    // The entries of the root's red-black tree of children, each once.
    std::vector<int> rootChildren() const
    {
        std::vector<int> out;
        std::vector<bool> seen(m_entries.size(), false);
        std::vector<quint32> todo{m_entries[0].child};
        while (!todo.empty()) {
            const quint32 i = todo.back();
            todo.pop_back();
            if (i >= m_entries.size() || seen[i])
                continue;
            seen[i] = true;
            out.push_back(int(i));
            todo.push_back(m_entries[i].left);
            todo.push_back(m_entries[i].right);
        }
        return out;
    }

    const QByteArray& m_file;
    qint64 m_sectorSize = 512;
    qint64 m_miniSize = 64;
    qint64 m_miniCutoff = 4096;
    qint64 m_sectors = 0;
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    std::vector<Entry> m_entries;
    QByteArray m_miniStream;
};

// ---------------------------------------------------------------- BIFF records

namespace rec {
constexpr quint16 Formula2 = 0x0006, Eof = 0x000A, Format2 = 0x001E, DateMode = 0x0022, FilePass = 0x002F,
                  Continue = 0x003C, CodePage = 0x0042, BoundSheet = 0x0085, MulRk = 0x00BD, RString = 0x00D6,
                  Xf = 0x00E0, MergedCells = 0x00E5, Sst = 0x00FC, LabelSst = 0x00FD, Number = 0x0203, Label = 0x0204,
                  BoolErr = 0x0205, Formula3 = 0x0206, String = 0x0207, Xf3 = 0x0243, Rk = 0x027E, Formula4 = 0x0406,
                  Format = 0x041E, Xf4 = 0x0443;
// Excel 2's cell records, with three bytes of cell attributes in place of an XF index.
constexpr quint16 Integer2 = 0x0002, Number2 = 0x0003, Label2 = 0x0004, BoolErr2 = 0x0005, String2 = 0x0007;
} // namespace rec

bool isBof(quint16 type)
{
    return type == 0x0009 || type == 0x0209 || type == 0x0409 || type == 0x0809;
}

struct Record {
    quint16 type = 0;
    const char* data = nullptr;
    qsizetype size = 0;
};

// Walks the records from an offset. A record cut off by the end of the stream ends the walk.
class Records {
public:
    Records(const QByteArray& stream, qint64 from) : m_s(stream), m_at(from) {}

    bool next(Record& r)
    {
        if (m_at < 0 || m_at + 4 > m_s.size())
            return false;
        const char* p = m_s.constData() + m_at;
        r.type = u16(p);
        r.size = u16(p + 2);
        if (m_at + 4 + r.size > m_s.size())
            return false;
        r.data = p + 4;
        m_at += 4 + r.size;
        return true;
    }

    // The CONTINUE records that follow, each as a segment of the record before them.
    void continuations(std::vector<QByteArrayView>& segments)
    {
        Record r;
        for (;;) {
            const qint64 at = m_at;
            if (!next(r))
                return;
            if (r.type != rec::Continue) {
                m_at = at;
                return;
            }
            segments.emplace_back(r.data, r.size);
        }
    }

private:
    const QByteArray& m_s;
    qint64 m_at;
};

// Reads across a record and its CONTINUE records. Only a string's characters care where a
// segment ends: each CONTINUE holding more of them starts with its own 8/16-bit flag.
class Segments {
public:
    explicit Segments(std::vector<QByteArrayView> segments) : m_segs(std::move(segments)) {}

    bool atEnd()
    {
        settle();
        return m_seg >= m_segs.size();
    }
    quint8 u8()
    {
        settle();
        if (m_seg >= m_segs.size())
            corrupt();
        return quint8(m_segs[m_seg][m_at++]);
    }
    quint16 u16v()
    {
        const quint16 lo = u8();
        return quint16(lo | (quint16(u8()) << 8));
    }
    quint32 u32v()
    {
        const quint32 lo = u16v();
        return lo | (quint32(u16v()) << 16);
    }
    void skip(qint64 n)
    {
        while (n > 0) {
            settle();
            if (m_seg >= m_segs.size())
                corrupt();
            const qint64 take = std::min<qint64>(n, m_segs[m_seg].size() - m_at);
            m_at += take;
            n -= take;
        }
    }

    // A BIFF8 string: its length (one or two bytes), flags, then optional run and far-east
    // counts, the characters, and the runs and far-east data after them, skipped.
    QString unicode(bool longLength)
    {
        const quint32 cch = longLength ? u16v() : u8();
        const quint8 flags = u8();
        const quint32 runs = (flags & 0x08) ? u16v() : 0;
        const quint32 extSize = (flags & 0x04) ? u32v() : 0;
        QString s = chars(cch, flags & 0x01);
        skip(qint64(runs) * 4);
        skip(extSize);
        return s;
    }

private:
    void settle()
    {
        while (m_seg < m_segs.size() && m_at >= m_segs[m_seg].size()) {
            ++m_seg;
            m_at = 0;
        }
    }

    QString chars(quint32 cch, bool wide)
    {
        QString s;
        s.reserve(qsizetype(std::min<quint32>(cch, 8224)));
        quint32 left = cch;
        while (left > 0) {
            if (m_seg >= m_segs.size())
                corrupt();
            if (m_at >= m_segs[m_seg].size()) {
                // The characters go on in the next CONTINUE, after its own 8/16-bit flag.
                do
                    ++m_seg;
                while (m_seg < m_segs.size() && m_segs[m_seg].isEmpty());
                m_at = 0;
                if (m_seg >= m_segs.size())
                    corrupt();
                wide = quint8(m_segs[m_seg][m_at++]) & 0x01;
                continue;
            }
            const QByteArrayView seg = m_segs[m_seg];
            const qint64 avail = (seg.size() - m_at) / (wide ? 2 : 1);
            if (avail == 0) { // half a wide character at a segment's end: padding
                m_at = seg.size();
                continue;
            }
            const quint32 take = quint32(std::min<qint64>(avail, left));
            const char* p = seg.data() + m_at;
            if (wide)
                for (quint32 i = 0; i < take; ++i)
                    s.append(QChar(char16_t(quint8(p[2 * i]) | (quint8(p[2 * i + 1]) << 8))));
            else
                for (quint32 i = 0; i < take; ++i)
                    s.append(QChar(char16_t(quint8(p[i]))));
            m_at += qsizetype(take) * (wide ? 2 : 1);
            left -= take;
        }
        return s;
    }

    std::vector<QByteArrayView> m_segs;
    size_t m_seg = 0;
    qsizetype m_at = 0;
};

// A byte string of BIFF2 to BIFF5, in the workbook's code page.
QString byteString(const Record& r, qsizetype at, bool longLength, quint16 codePage)
{
    const qsizetype lenSize = longLength ? 2 : 1;
    if (at + lenSize > r.size)
        corrupt();
    const qsizetype n = longLength ? u16(r.data + at) : quint8(r.data[at]);
    // A length past the record's end is taken as far as the record goes.
    return decodeBytes(r.data + at + lenSize, std::min(n, r.size - at - lenSize), codePage);
}

// An RK number: a 30-bit integer or the top 30 bits of a double, perhaps divided by 100.
double rkValue(quint32 rk)
{
    double v;
    if (rk & 0x02) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100.0 : v;
}

QString errorText(quint8 code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    case 0x2B:
        return QStringLiteral("#GETTING_DATA");
    default:
        return QStringLiteral("#N/A");
    }
}

// The merged ranges of a worksheet. The cells are gathered, then swept in row order while
// a Fenwick tree over the columns counts the ranges that cover each column of the current
// row: a cell is hidden when a range covers it of which it is not the top-left cell. The
// sweep costs (ranges + cells) x log(columns), however the ranges overlap.
class Merges {
public:
    struct Range {
        quint32 r1, r2, c1, c2;
    };
    void add(const Range& m)
    {
        if (m.r1 <= m.r2 && m.c1 <= m.c2 && (m.r1 != m.r2 || m.c1 != m.c2))
            m_ranges.push_back(m);
    }
    bool empty() const { return m_ranges.empty(); }

    // Hands on, in row order, the cells no range hides; `cells` is used up.
    void deliverVisible(std::vector<Cell>& cells, const std::function<void(Cell&&)>& deliver)
    {
        // A stable sort: of two values given for one cell, the later one still wins.
        std::stable_sort(cells.begin(), cells.end(),
                         [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; });
        std::vector<const Range*> byFirst, byLast;
        QHash<quint64, int> topLeft;
        for (const Range& m : m_ranges) {
            byFirst.push_back(&m);
            byLast.push_back(&m);
            ++topLeft[(quint64(m.r1) << 32) | m.c1];
        }
        std::sort(byFirst.begin(), byFirst.end(), [](const Range* a, const Range* b) { return a->r1 < b->r1; });
        std::sort(byLast.begin(), byLast.end(), [](const Range* a, const Range* b) { return a->r2 < b->r2; });
        m_tree.assign(kColumns + 1, 0);
        size_t added = 0, removed = 0;
        for (Cell& c : cells) {
            while (added < byFirst.size() && byFirst[added]->r1 <= c.row)
                cover(*byFirst[added++], 1);
            while (removed < byLast.size() && byLast[removed]->r2 < c.row)
                cover(*byLast[removed++], -1);
            if (c.col < kColumns) {
                const qint64 over = count(c.col) - topLeft.value((quint64(c.row) << 32) | c.col);
                if (over > 0)
                    continue;
            }
            deliver(std::move(c));
        }
        cells.clear();
    }

private:
    static constexpr quint32 kColumns = 65536; // a range's columns are 16-bit

    void cover(const Range& m, int by)
    {
        update(m.c1, by);
        if (m.c2 + 1 < kColumns)
            update(m.c2 + 1, -by);
    }
    void update(quint32 col, int by)
    {
        for (quint32 i = col + 1; i <= kColumns; i += i & (~i + 1))
            m_tree[i] += by;
    }
    qint64 count(quint32 col) const
    {
        qint64 sum = 0;
        for (quint32 i = col + 1; i > 0; i -= i & (~i + 1))
            sum += m_tree[i];
        return sum;
    }

    std::vector<Range> m_ranges;
    std::vector<qint64> m_tree;
};

} // namespace

// ---------------------------------------------------------------- workbook

Workbook::Workbook(QByteArray file, qint64 budget) : m_budget(budget)
{
    if (file.size() >= 8 && file.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"))) {
        const CompoundFile cf(file);
        QString chosen;
        bool encrypted = false;
        for (const QString& name : cf.rootStreams()) {
            if (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) == 0)
                chosen = name;
            else if (chosen.isEmpty() && name.compare(QLatin1String("Book"), Qt::CaseInsensitive) == 0)
                chosen = name;
            else if (name == QLatin1String("EncryptedPackage"))
                encrypted = true; // an encrypted .xlsx travels in a compound file
        }
        if (chosen.isEmpty())
            throw Failure{encrypted ? Failure::Encrypted : Failure::Corrupt};
        m_stream = cf.stream(chosen);
    } else {
        m_stream = std::move(file); // a bare record stream
    }
    readGlobals();
}

void Workbook::spend(qint64 bytes)
{
    m_budget -= bytes;
    if (m_budget < 0)
        throw Failure{Failure::TooBig};
}

void Workbook::readGlobals()
{
    Records records(m_stream, 0);
    Record r;
    if (!records.next(r) || !isBof(r.type) || r.size < 4)
        corrupt();
    const quint16 version = u16(r.data);
    const quint16 kind = u16(r.data + 2);
    switch (r.type) {
    case 0x0009:
        m_biff = 2;
        break;
    case 0x0209:
        m_biff = 3;
        break;
    case 0x0409:
        m_biff = 4;
        break;
    default:
        m_biff = version == 0x0600 || (version != 0x0500 && r.size >= 16) ? 8 : 5;
    }
    if (m_biff <= 4) {
        if (kind != 0x0010) // a BIFF4 workbook of several sheets, a chart or macro sheet
            corrupt();
        m_plainWorksheet = true;
    } else if (kind == 0x0010) {
        m_plainWorksheet = true; // a lone Excel 5 worksheet without workbook globals
    }

    QHash<int, QString> formatCodes; // by id (BIFF5 and later) or by order (BIFF2 to BIFF4)
    std::vector<int> xfFormats;
    bool sawSheetList = false;
    int depth = 1;
    while (depth > 0 && records.next(r)) {
        if (isBof(r.type)) {
            ++depth;
            continue;
        }
        if (r.type == rec::Eof) {
            --depth;
            continue;
        }
        if (depth > 1)
            continue;
        // Formats and XFs are kept for the cells: what they take counts like the strings.
        if (r.type == rec::Format2 || r.type == rec::Format || r.type == rec::Xf || r.type == rec::Xf3
            || r.type == rec::Xf4)
            spend(2 * qint64(r.size) + 64);
        switch (r.type) {
        case rec::FilePass:
            throw Failure{Failure::Encrypted};
        case rec::CodePage:
            if (r.size >= 2)
                m_codePage = u16(r.data);
            break;
        case rec::DateMode:
            if (r.size >= 2)
                m_dates1904 = u16(r.data) == 1;
            break;
        case rec::Format2:
            if (m_biff <= 3) {
                const int id = int(formatCodes.size());
                formatCodes.insert(id, byteString(r, 0, false, m_codePage));
            }
            break;
        case rec::Format:
            if (m_biff == 4) {
                const int id = int(formatCodes.size());
                formatCodes.insert(id, byteString(r, 2, false, m_codePage));
            } else if (m_biff >= 5 && r.size >= 2) {
                const int id = u16(r.data);
                if (m_biff == 8) {
                    Segments s({QByteArrayView(r.data + 2, r.size - 2)});
                    formatCodes.insert(id, s.unicode(true));
                } else {
                    formatCodes.insert(id, byteString(r, 2, false, m_codePage));
                }
            }
            break;
        case rec::Xf3:
        case rec::Xf4:
            if (r.size >= 2 && m_biff >= 3 && m_biff <= 4)
                xfFormats.push_back(quint8(r.data[1]));
            break;
        case rec::Xf:
            if (r.size >= 4 && m_biff >= 5)
                xfFormats.push_back(u16(r.data + 2));
            break;
        case rec::BoundSheet:
            if (m_biff >= 5 && !m_plainWorksheet && r.size >= 8) {
                sawSheetList = true;
                const qint64 offset = u32(r.data);
                const quint8 type = quint8(r.data[5]);
                QString name;
                if (m_biff == 8) {
                    Segments s({QByteArrayView(r.data + 6, r.size - 6)});
                    name = s.unicode(false);
                } else {
                    name = byteString(r, 6, false, m_codePage);
                }
                if (type == 0) { // a worksheet
                    spend(2 * name.size() + 64);
                    m_names.append(name);
                    m_sheetOffsets.append(offset);
                }
            }
            break;
        case rec::Sst:
            if (m_biff == 8 && r.size >= 8) {
                std::vector<QByteArrayView> segments{QByteArrayView(r.data + 8, r.size - 8)};
                records.continuations(segments);
                qint64 bytes = 0;
                for (const auto& s : segments)
                    bytes += s.size();
                const quint32 count = u32(r.data + 4);
                m_sst.reserve(qsizetype(std::min<qint64>(count, bytes / 3)));
                Segments s(std::move(segments));
                // The count a writer declares is often wrong: the strings there are, are
                // read, and a table cut short keeps the strings before the cut.
                try {
                    for (quint32 i = 0; i < count && !s.atEnd(); ++i) {
                        QString text = s.unicode(true);
                        spend(2 * text.size() + 32 + qint64(sizeof(QString)));
                        m_sst.append(std::move(text));
                    }
                } catch (const Failure& f) {
                    if (f.reason != Failure::Corrupt)
                        throw;
                }
            }
            break;
        default:
            break;
        }
    }

    // Each cell's format: BIFF2 cells name their format directly, later ones through an XF.
    auto format = [&](int id) {
        NumberFormat f;
        if (m_biff >= 5)
            f.builtinId = id;
        const auto it = formatCodes.constFind(id);
        if (it != formatCodes.cend()) {
            f.code = *it;
            f.hasCode = true;
        }
        return f;
    };
    if (m_biff == 2) {
        for (int id = 0; id < 64; ++id)
            m_formats.append(format(id));
    } else {
        for (int id : xfFormats)
            m_formats.append(format(id));
    }
    if (!m_plainWorksheet && !sawSheetList)
        corrupt(); // every workbook lists its sheets; a stream cut before the list is damaged
    if (m_plainWorksheet) {
        m_names = {QStringLiteral("Sheet1")};
        m_sheetOffsets = {0};
    }
}

void Workbook::readSheet(qsizetype index, const std::function<void(Cell&&)>& deliver) const
{
    if (index < 0 || index >= m_sheetOffsets.size())
        corrupt();
    const qint64 start = m_sheetOffsets[index];
    Record r;
    {
        Records check(m_stream, start);
        if (!check.next(r) || !isBof(r.type))
            corrupt();
    }

    // First the merged ranges, which come after the cells they cover.
    Merges merges;
    {
        Records records(m_stream, start);
        records.next(r);
        int depth = 1;
        while (depth > 0 && records.next(r)) {
            if (isBof(r.type))
                ++depth;
            else if (r.type == rec::Eof)
                --depth;
            else if (depth == 1 && r.type == rec::MergedCells && r.size >= 2) {
                const qsizetype n = std::min<qsizetype>(u16(r.data), (r.size - 2) / 8);
                for (qsizetype i = 0; i < n; ++i) {
                    const char* p = r.data + 2 + 8 * i;
                    merges.add({u16(p), u16(p + 2), u16(p + 4), u16(p + 6)});
                }
            }
        }
    }

    const bool biff2 = m_biff == 2;
    // Without merged ranges every cell goes straight on; with them they are gathered first.
    std::vector<Cell> gathered;
    auto put = [&](Cell&& c) {
        if (merges.empty())
            deliver(std::move(c));
        else
            gathered.push_back(std::move(c));
    };
    auto place = [&](Cell& c, const Record& rr, qsizetype need) {
        if (rr.size < need)
            return false;
        c.row = u16(rr.data);
        c.col = u16(rr.data + 2);
        c.format = biff2 ? quint8(rr.data[5]) & 0x3F : u16(rr.data + 4);
        return true;
    };
    auto number = [&](const Record& rr, qsizetype at, double v) {
        Cell c;
        if (!place(c, rr, at))
            return;
        c.isNumber = true;
        c.number = v;
        put(std::move(c));
    };
    auto text = [&](const Record& rr, qsizetype at, QString t) {
        Cell c;
        if (!place(c, rr, at))
            return;
        c.text = std::move(t);
        put(std::move(c));
    };
    const qsizetype head = biff2 ? 7 : 6; // row, column, XF index or cell attributes

    // A formula whose result is a text: the text comes in the STRING record after it.
    std::optional<Cell> pendingString;

    Records records(m_stream, start);
    records.next(r);
    int depth = 1;
    while (depth > 0 && records.next(r)) {
        if (isBof(r.type)) {
            ++depth;
            continue;
        }
        if (r.type == rec::Eof) {
            --depth;
            continue;
        }
        if (depth > 1)
            continue;
        switch (r.type) {
        case rec::Number:
            if (!biff2 && r.size >= 14)
                number(r, 6, f64(r.data + 6));
            break;
        case rec::Number2:
            if (biff2 && r.size >= 15)
                number(r, 7, f64(r.data + 7));
            break;
        case rec::Integer2:
            if (biff2 && r.size >= 9)
                number(r, 7, u16(r.data + 7));
            break;
        case rec::Rk:
            if (r.size >= 10)
                number(r, 6, rkValue(u32(r.data + 6)));
            break;
        case rec::MulRk:
            if (r.size >= 6) {
                const quint16 row = u16(r.data), first = u16(r.data + 2);
                const qsizetype n = (r.size - 6) / 6;
                for (qsizetype i = 0; i < n; ++i) {
                    const char* p = r.data + 4 + 6 * i;
                    Cell c;
                    c.row = row;
                    c.col = first + quint32(i);
                    c.format = u16(p);
                    c.isNumber = true;
                    c.number = rkValue(u32(p + 2));
                    put(std::move(c));
                }
            }
            break;
        case rec::LabelSst:
            if (r.size >= 10) {
                const quint32 i = u32(r.data + 6);
                text(r, 6, i < quint32(m_sst.size()) ? m_sst[i] : QString());
            }
            break;
        case rec::Label:
        case rec::RString:
            if (biff2)
                break;
            if (m_biff == 8) {
                std::vector<QByteArrayView> segments{QByteArrayView(r.data, r.size)};
                const Record label = r;
                records.continuations(segments);
                if (label.size < 8)
                    break;
                Segments s(std::move(segments));
                s.skip(6);
                text(label, 6, s.unicode(true));
            } else {
                text(r, 6, byteString(r, 6, true, m_codePage));
            }
            break;
        case rec::Label2:
            if (biff2)
                text(r, 7, byteString(r, 7, false, m_codePage));
            break;
        case rec::BoolErr:
        case rec::BoolErr2:
            if ((r.type == rec::BoolErr) != biff2 && r.size >= head + 2) {
                const quint8 value = quint8(r.data[head]);
                const bool error = r.data[head + 1] != 0;
                text(r, head, error ? errorText(value) : QString::number(value ? 1 : 0));
            }
            break;
        case rec::Formula2:
        case rec::Formula3:
        case rec::Formula4:
            if (r.size >= head + 8) {
                const char* res = r.data + head;
                Cell c;
                place(c, r, head);
                pendingString.reset();
                if (quint8(res[6]) == 0xFF && quint8(res[7]) == 0xFF) {
                    switch (quint8(res[0])) {
                    case 0: // a text, in the STRING record that follows
                        pendingString = std::move(c);
                        break;
                    case 1:
                        c.text = QString::number(res[2] ? 1 : 0);
                        put(std::move(c));
                        break;
                    case 2:
                        c.text = errorText(quint8(res[2]));
                        put(std::move(c));
                        break;
                    default: // an empty text
                        break;
                    }
                } else {
                    c.isNumber = true;
                    c.number = f64(res);
                    put(std::move(c));
                }
            }
            break;
        case rec::String:
        case rec::String2:
            if (pendingString) {
                Cell c = std::move(*pendingString);
                pendingString.reset();
                if (m_biff == 8) {
                    std::vector<QByteArrayView> segments{QByteArrayView(r.data, r.size)};
                    records.continuations(segments);
                    Segments s(std::move(segments));
                    c.text = s.unicode(true);
                } else {
                    c.text = byteString(r, 0, r.type == rec::String, m_codePage);
                }
                put(std::move(c));
            }
            break;
        default:
            break;
        }
    }
    if (!merges.empty())
        merges.deliverVisible(gathered, deliver);
}

} // namespace tarvest::xls
