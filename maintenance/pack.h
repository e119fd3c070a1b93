#pragma once
// Packing the tables: each table of the year and three of the report work
// tables rewritten in place, its deleted rows' space released and every
// index rebuilt, one line of the maintenance window after another. No
// widgets: the window and saldina-cli drive the same run.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace dm {
class TDataBase1;
}

namespace maintenance {

// One line of the maintenance window: its text, the name of its mark and
// the tables packed under it.
struct PackLine {
    QString caption;
    QString mark;
    QStringList tables;
};

// The eleven lines in the order they are shown and packed.
const std::vector<PackLine>& packLines();

// Packs every line in its order with the hooks off and the year tables
// closed; `lineDone(i)` is called once line i is packed. At the end the year
// tables are open again (each standing on its first row) and the hooks on.
//
// A table that another copy of the program holds, or that the store cannot
// rewrite, ends the run there: the store's error is thrown once the year
// tables are open again and the hooks on, so that the program goes on
// working; the lines after it are not packed.
void PackTables(dm::TDataBase1& db, const std::function<void(int line)>& lineDone = {});

} // namespace maintenance
