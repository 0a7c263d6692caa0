#include "widgets/placechain.h"

#include "common/errors.h"
#include "widgets/dialogs.h"

#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>

namespace tarvest {

PlaceLists::PlaceLists(PlaceChain chain, QList<QComboBox*> combos, std::function<Database*()> database, QObject* parent)
    : QObject(parent), m_chain(std::move(chain)), m_combos(std::move(combos)), m_database(std::move(database))
{
    for (int i = 0; i < m_combos.size(); ++i) {
        QComboBox* c = m_combos[i];
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        if (i >= m_chain.reactingLevels || i + 1 >= m_combos.size())
            continue;
        // Only what the user does: typing, picking, or accepting an inline completion.
        connect(c->lineEdit(), &QLineEdit::textEdited, this, [this, i] { levelChanged(i); });
        connect(c, &QComboBox::textActivated, this, [this, i] { levelChanged(i); });
        if (QCompleter* completer = c->completer())
            connect(completer, qOverload<const QString&>(&QCompleter::highlighted), this,
                    [this, i] { levelChanged(i); });
    }
}

void PlaceLists::setValues(QComboBox* combo, const QStringList& values)
{
    const QString text = combo->currentText();
    combo->clear();
    combo->addItems(values);
    const int at = values.indexOf(text);
    combo->setCurrentIndex(at);
    if (at < 0)
        combo->setEditText(text);
}

void PlaceLists::clearText(QComboBox* combo)
{
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
}

void PlaceLists::fillTop()
{
    QComboBox* top = m_combos.value(0);
    Database* db = m_database ? m_database() : nullptr;
    if (!top || !db || (m_chain.fillTopOnce && top->count() > 0))
        return;
    try {
        setValues(top, m_chain.valuesFor(*db, 0, {}));
    } catch (const Error& e) {
        setValues(top, {});
        Dialogs::instance().error(e.message());
    }
}

void PlaceLists::levelChanged(int index)
{
    const int child = index + 1;
    Database* db = m_database ? m_database() : nullptr;
    if (child >= m_combos.size() || child >= m_chain.levels.size() || !db)
        return;
    QComboBox* list = m_combos[child];
    const bool clearChild = m_chain.clear == PlaceChain::TextClear::Child && !(index == 0 && m_chain.keepTextUnderTop);
    if (clearChild)
        clearText(list);

    QStringList ancestors;
    for (int i = 0; i < child; ++i)
        ancestors << m_combos[i]->currentText();
    QStringList values;
    try {
        values = m_chain.valuesFor(*db, child, ancestors);
    } catch (const Error& e) {
        setValues(list, {});
        Dialogs::instance().error(e.message());
        return;
    }
    setValues(list, values);

    if (m_chain.clear == PlaceChain::TextClear::ChildAndBelow)
        for (int i = child; i < m_combos.size(); ++i)
            clearText(m_combos[i]);
    if (m_chain.chooseSingleLast && child == m_combos.size() - 1 && values.size() == 1)
        list->setCurrentIndex(0);
}

} // namespace tarvest
