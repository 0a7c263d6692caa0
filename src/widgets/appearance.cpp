#include "widgets/appearance.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>
#include <QLibraryInfo>
#include <QTranslator>

namespace tarvest {

namespace {

bool isArabicScript(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0600 && u <= 0x06FF) || (u >= 0xFB50 && u <= 0xFEFF);
}

// A keyboard mnemonic ("&") in front of a Persian letter breaks the joining of that
// letter with its neighbours ("&بله" shows a detached first letter), and a Persian
// layout gives it no use; it is dropped. "&&" (a literal ampersand) stays.
QString withoutPersianMnemonics(const QString& text)
{
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            if (text[i + 1] == u'&') {
                out += u"&&";
                ++i;
                continue;
            }
            if (isArabicScript(text[i + 1]))
                continue;
        }
        out += text[i];
    }
    return out;
}

// Qt's own Persian texts, with the standard buttons in the words this program uses
// and without mnemonics inside Persian words.
class PersianQtTexts final : public QTranslator {
public:
    bool load() { return m_qt.load(QStringLiteral("qtbase_fa"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)); }

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* disambiguation, int n) const override
    {
        if (qstrcmp(context, "QPlatformTheme") == 0) {
            static const QHash<QByteArray, QString> buttons = {
                {"OK", QStringLiteral("تاييد")},
                {"&OK", QStringLiteral("تاييد")},
                {"Cancel", QStringLiteral("انصراف")},
                {"&Cancel", QStringLiteral("انصراف")},
                {"&Yes", QStringLiteral("بله")},
                {"&No", QStringLiteral("نه")},
                {"Yes to &All", QStringLiteral("بله براي همه")},
                {"N&o to All", QStringLiteral("نه براي همه")},
                {"Close", QStringLiteral("بستن")},
                {"&Close", QStringLiteral("بستن")},
                {"Save", QStringLiteral("ذخيره")},
                {"&Save", QStringLiteral("ذخيره")},
                {"Save All", QStringLiteral("ذخيره همه")},
                {"Open", QStringLiteral("باز كردن")},
                {"Apply", QStringLiteral("اعمال")},
                {"Discard", QStringLiteral("صرف نظر")},
                {"Help", QStringLiteral("راهنما")},
                {"Abort", QStringLiteral("لغو")},
                {"Retry", QStringLiteral("تلاش دوباره")},
                {"Ignore", QStringLiteral("ناديده گرفتن")},
                {"Reset", QStringLiteral("بازنشاني")},
                {"Restore Defaults", QStringLiteral("بازگرداني پيش فرض ها")},
            };
            const auto it = buttons.constFind(QByteArray(sourceText));
            if (it != buttons.constEnd())
                return *it;
        }
        return withoutPersianMnemonics(m_qt.translate(context, sourceText, disambiguation, n));
    }

private:
    QTranslator m_qt;
};

} // namespace

void applyInterfaceLook(QApplication& app)
{
    QApplication::setLayoutDirection(Qt::RightToLeft);
    static PersianQtTexts qtFarsi;
    static bool installed = false;
    if (!installed) {
        qtFarsi.load(); // without Qt's file the standard buttons are still Persian
        app.installTranslator(&qtFarsi);
        installed = true;
    }
    const QStringList families = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("Noto Naskh Arabic UI"), QStringLiteral("Nazli")}) {
        if (families.contains(family)) {
            QApplication::setFont(QFont(family, 10));
            break;
        }
    }
}

} // namespace tarvest
