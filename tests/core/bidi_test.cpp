// Left-to-right runs inside right-to-left text.
#include "common/bidi.h"

#include <gtest/gtest.h>

using namespace tarvest;

TEST(Bidi, IsolatesOnlyTextsWithoutRightToLeftLetters)
{
    const QString lri(QChar(0x2066)), pdi(QChar(0x2069));
    struct Case {
        QString in, out;
    };
    const Case cases[] = {
        {"2024-04-05 11:47:09", lri + "2024-04-05 11:47:09" + pdi},
        {"192.168.1.10", lri + "192.168.1.10" + pdi},
        {"4662/ص", "4662/ص"},
        {QStringLiteral("ورود admin"), QStringLiteral("ورود admin")},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isolateLeftToRight(c.in), c.out) << c.in.toStdString();
    EXPECT_TRUE(hasRightToLeftLetters(QStringLiteral("x ک")));
    EXPECT_FALSE(hasRightToLeftLetters(QStringLiteral("1403/01/05")));
}
