#pragma once
// Binds a screen's place fields (editable drop-down lists) to a place chain: when the
// user types in or picks from one list, the list below it is refilled from the
// gazetteer under the texts above. A screen setting a field's text itself refills
// nothing.
#include "db/places.h"

#include <QList>
#include <QObject>

#include <functional>

class QComboBox;

namespace tarvest {

class Database;

class PlaceLists : public QObject {
    Q_OBJECT
public:
    // `combos` are the screen's fields, one per level of the chain, top to bottom.
    // `database` gives the connection at the moment of each lookup.
    PlaceLists(PlaceChain chain, QList<QComboBox*> combos, std::function<Database*()> database,
               QObject* parent = nullptr);

    // Fills the top list; the screen calls it when it is shown. A chain that fills its
    // top once leaves a list that already holds values as it is.
    void fillTop();
    // The reaction to a change of level `index`: refills the list below it. Runs on
    // the user's typing and picking; a screen may call it after setting texts itself.
    void levelChanged(int index);

    const PlaceChain& chain() const { return m_chain; }
    QComboBox* combo(int index) const { return m_combos.value(index); }

private:
    // Replaces the list's values; the text standing in the field stays.
    static void setValues(QComboBox* combo, const QStringList& values);
    static void clearText(QComboBox* combo);

    PlaceChain m_chain;
    QList<QComboBox*> m_combos;
    std::function<Database*()> m_database;
};

} // namespace tarvest
