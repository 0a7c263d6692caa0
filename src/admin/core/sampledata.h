#pragma once
// A small made-up province for trying the program: a gazetteer of a few counties,
// districts and villages with their codes, the setting lists with their usual values,
// users of every level with their page and county rights, and a few dozen cases
// valued as the case screen values them. Meant for a new, empty database, so that a
// person trying the program finds every screen with something in it.
#include <QString>

namespace tarvest {

class Database;

struct SampleSummary {
    int villages = 0;
    int settingValues = 0;
    int users = 0;
    int cases = 0;
};

// The password of every sample user (the provisioned "admin" keeps its own).
inline const QString kSamplePassword = QStringLiteral("1");

// Makes the database ready (provisioning, which is safe to repeat) and fills it, all
// in one transaction. Throws tarvest::Error, changing nothing, when the database
// already holds cases or a statement fails.
SampleSummary fillSampleData(Database& db);

} // namespace tarvest
