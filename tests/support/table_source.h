#pragma once
// An in-memory table for the spreadsheet export tests.
#include "common/spreadsheet.h"

#include <QList>

namespace tarvest::testing {

struct TableSource : SheetSource {
    QStringList names;
    QList<QStringList> data;
    QList<int> numberColumns; // written as numeric cells

    Kind columnKind(int c) const override { return numberColumns.contains(c) ? Number : Text; }
    int columnCount() const override { return int(names.size()); }
    QString columnName(int c) const override { return names.at(c); }
    int rowCount() const override { return int(data.size()); }
    QString text(int r, int c) const override { return data.at(r).value(c); }
};

} // namespace tarvest::testing
