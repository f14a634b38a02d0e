#pragma once
// The texts of one column of a table, top to bottom, for window tests.

#include "SortListView.h"

#include <QStringList>

namespace vintrel::test {

inline QStringList Column(TSortListView* table, int column) {
    QStringList texts;
    for (int row = 0; row < table->rows()->rowCount(); ++row) {
        const std::string_view text = table->rows()->cell(row, column);
        texts << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    return texts;
}

} // namespace vintrel::test
