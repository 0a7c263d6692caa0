// The program's look: the Persian texts of Qt's standard buttons are whole words,
// without keyboard mnemonics that break the joining of their first letter.
#include "widgets/appearance.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace tarvest;

namespace {

bool mnemonicInsidePersian(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        const char16_t next = text[i + 1].unicode();
        if (text[i] == u'&' && next >= 0x0600 && next <= 0x06FF)
            return true;
    }
    return false;
}

// The look is the whole application's; the test gives back what it changed.
class Appearance : public ::testing::Test {
protected:
    void SetUp() override { applyInterfaceLook(*qApp); }
    void TearDown() override
    {
        QApplication::setFont(m_font);
        QApplication::setLayoutDirection(m_direction);
    }

private:
    QFont m_font = QApplication::font();
    Qt::LayoutDirection m_direction = QApplication::layoutDirection();
};

} // namespace

TEST_F(Appearance, QuestionBoxButtonsReadBaleAndNa)
{
    QMessageBox box(QMessageBox::Warning, "t", "?", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("بله"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("نه"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("انصراف"));
    QMessageBox ok(QMessageBox::Information, "t", "!", QMessageBox::Ok);
    EXPECT_FALSE(ok.button(QMessageBox::Ok)->text().contains(u'&'));
}

TEST_F(Appearance, QtsOwnPersianTextsCarryNoMnemonicInsideAWord)
{
    const struct {
        const char* context;
        const char* source;
    } texts[] = {
        {"QLineEdit", "&Undo"},   {"QLineEdit", "&Redo"},         {"QLineEdit", "Cu&t"},
        {"QLineEdit", "&Copy"},   {"QLineEdit", "&Paste"},        {"QFileDialog", "&Open"},
        {"QFileDialog", "&Save"}, {"QFileDialog", "&New Folder"}, {"QFileDialog", "&Delete"},
    };
    for (const auto& t : texts) {
        const QString shown = QCoreApplication::translate(t.context, t.source);
        EXPECT_FALSE(mnemonicInsidePersian(shown)) << t.source << " -> " << shown.toStdString();
    }
}
