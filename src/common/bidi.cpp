#include "common/bidi.h"

namespace tarvest {

bool hasRightToLeftLetters(QStringView text)
{
    for (const QChar ch : text) {
        switch (ch.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
            return true;
        default:
            break;
        }
    }
    return false;
}

QString isolateLeftToRight(const QString& text)
{
    if (text.isEmpty() || hasRightToLeftLetters(text))
        return text;
    return QChar(0x2066) + text + QChar(0x2069); // LEFT-TO-RIGHT ISOLATE ... POP DIRECTIONAL ISOLATE
}

} // namespace tarvest
