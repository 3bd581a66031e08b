#include "cellsnapshot.h"

const CellSnapshot::Reading &CellSnapshot::reading(int row, int column) const
{
    const quint64 key = (quint64(quint32(row)) << 32) | quint32(column);
    auto it = readings.find(key);
    if (it == readings.end()) {
        Reading fresh;
        if (live && live->hasItem(row, column)) {
            fresh.hasItem = true;
            fresh.text = live->text(row, column);
        }
        it = readings.insert(key, fresh);
    }
    return *it;
}
